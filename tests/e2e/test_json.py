"""The JSON mode (/json first) against the scripted agent: one document per
command, valid against the schema, with the values the text mode shows, typed;
the result code as the exit code of a one-shot run; JSON Lines from the
interactive shell; valid documents whatever the agent sends."""
# ctest: TIMEOUT=600
import json
import time

import pytest

from conftest import answer, windows_path
from helpers.json_output import VALIDATOR, document, documents, envelope, exit_status
from test_product import STATUS
from test_scan import COMMAND as SCAN, SCAN_OUTPUT, SILENT_SCAN, TASK_ID, scan
from test_support import WAITING_COMMANDS, ended, state

DELIVERED = [{"type": "local", "path": "C:\\out\\a.zip", "error": 0},
             {"type": "httpPost", "error": 12002, "httpResponse": {"code": 504}},
             {"type": "ftp", "error": 5}]
CATALOGUE = [{"id": "net", "displayName": "Network", "description": "Name resolution"},
             {"id": "upd", "displayName": "Update", "description": ""}]
SUMMARY = {"status": "finished", "runStatus": 0, "logPath": "C:\\logs\\scan.log", "scannedItems": 10,
           "remainingIssues": 3, "resolvedIssues": 12, "notScannedObjects": 7}

# (id, arguments, script answers, result, message, data). Every command's
# success path, its agent's refusals with and without words, and a response
# that does not come.
CASES = [
    ("version", ["GetVersion", "product"], {"Product/GetStatus": answer(STATUS)}, 0, "success",
     {"version": "1.2.3.4"}),
    ("version_number", ["GetVersion", "antivirus"], {"Product/GetStatus": answer(STATUS)}, 0, "success",
     {"version": "42"}),
    ("version_agent_error", ["GetVersion", "product"], {"Product/GetStatus": answer(error=-5)}, -5, "-5", {}),
    ("version_timeout", ["GetVersion", "product"], {"Product/GetStatus": {"status": 1460}}, 1460,
     "response timeout", {}),
    ("version_bad_selector", ["GetVersion", "Product"], {"Product/GetStatus": answer(STATUS)}, 87,
     "invalid parameter", {}),
    ("update_status", ["GetUpdateStatus", "product"], {"Product/GetStatus": answer(STATUS)}, 0, "success",
     {"lastSucceededTime": 5, "lastAttemptedTime": 30, "lastError": 7}),
    ("update_status_lacks_record", ["GetUpdateStatus", "product"],
     {"Product/GetStatus": answer({"Locations": {"Product": {}}})}, 5023, "5023", {}),
    ("start_update", ["StartUpdate", "force"], {"Update/StartUpdate": answer({})}, 0, "success", {"accepted": True}),
    ("start_update_admin", ["StartUpdate"], {"Update/StartUpdate": answer(error=288)}, 740, "elevation required",
     {"accepted": False, "explanation": "Administrative privileges are required!"}),
    ("start_update_other", ["StartUpdate"], {"Update/StartUpdate": answer(error=31)}, 31, "31", {"accepted": False}),
    ("in_progress", ["IsUpdateInProgress"], {"Update/IsInstallerRunning": answer({"response": False}),
                                             "Update/IsDownloaderRunning": answer({"response": 2})}, 0, "success",
     {"inProgress": True, "installerRunning": False, "downloaderRunning": True}),
    ("in_progress_error", ["IsUpdateInProgress"], {"Update/IsInstallerRunning": answer(error=4),
                                                   "Update/IsDownloaderRunning": answer({"response": True})},
     5023, "5023", {}),
    ("restart_needed", ["IsUpdateRestartNeeded"],
     {"Product.RestartManager/IsRestartNeeded": answer({"isRestartNeeded": True, "reasons": [3, 1]})}, 0, "success",
     {"restartNeeded": True, "reasons": [3, 1]}),
    ("restart_not_needed", ["IsUpdateRestartNeeded"],
     {"Product.RestartManager/IsRestartNeeded": answer({"isRestartNeeded": False})}, 0, "success",
     {"restartNeeded": False}),
    ("restart_timeout", ["IsUpdateRestartNeeded"], {"Product.RestartManager/IsRestartNeeded": {"status": 1460}},
     1460, "response timeout", {}),
    ("get_state", ["Support.GetState"], {"Product.Support/GetState": answer(
        {"state": "active", "scenarios": ["a", "b"], "troubleshoot": {"stoppable": 1}})}, 0, "success",
     {"state": "active", "scenarios": ["a", "b"], "stoppable": True}),
    ("get_state_malformed", ["Support.GetState"], {"Product.Support/GetState": answer({})}, 0, "success",
     {"state": "error", "scenarios": [], "stoppable": False}),
    ("get_state_error", ["Support.GetState"], {"Product.Support/GetState": answer(error=-5)}, -5, "-5",
     {"explanation": "Failed to get current status!"}),
    ("get_scenarios", ["Support.GetScenarios"], {"Product.Support/GetScenarios": answer({"scenariosList": CATALOGUE})},
     0, "success", {"scenarios": [{"id": "net", "name": "Network", "description": "Name resolution"},
                                  {"id": "upd", "name": "Update", "description": ""}]}),
    ("get_scenarios_malformed", ["Support.GetScenarios"],
     {"Product.Support/GetScenarios": answer({"scenariosList": [{"id": "x"}]})}, 87, "invalid parameter", {}),
    ("start_session", ["Support.StartSession", "scenario=a"], {"Product.Support/StartSession": answer(
        {}, notifications=[state("pending", 200), state("active", 500)])}, 0, "success",
     {"wait": "completed", "status": "success"}),
    ("start_session_ended_quietly", ["Support.StartSession", "scenario=a"], {"Product.Support/StartSession": answer(
        {}, notifications=[state("idle", 300)])}, 0, "success", {"wait": "completed"}),
    ("start_session_failed", ["Support.StartSession", "scenario=a"], {"Product.Support/StartSession": answer(
        {}, notifications=[ended(300, status="error")])}, 0, "success", {"wait": "completed", "status": "fail"}),
    ("start_session_no_scenario", ["Support.StartSession", "timeout=1"], {}, 87, "invalid parameter",
     {"explanation": "Parameter scenario not found."}),
    ("start_session_bad_timeout", ["Support.StartSession", "scenario=a", "timeout=1h"], {}, 87, "invalid parameter",
     {"explanation": "Invalid value for timeout parameter."}),
    ("start_session_bad_path", ["Support.StartSession", "scenario=a", 'outputPath=C:\\"no" way'],
     {"Product.Support/StartSession": answer(error=-161)}, -161, "-161",
     {"explanation": "\"C:\\no way\" is an invalid or inaccessible path. Please try again with another one.",
      "outputPath": "C:\\no way"}),
    ("start_session_disk_space", ["Support.StartSession", "scenario=a"],
     {"Product.Support/StartSession": answer({"diskSpaceNeeded": 5368709120}, error=-112)}, -112, "-112",
     {"explanation": "There is not enough space on the system partition, 5GB needed.",
      "diskSpaceNeededBytes": 5368709120, "diskSpaceNeededGB": 5}),
    ("start_session_disk_space_unknown", ["Support.StartSession", "scenario=a"],
     {"Product.Support/StartSession": answer({"diskSpaceNeeded": "a lot"}, error=-112)}, -112, "-112",
     {"explanation": "There is not enough space on the system partition."}),
    ("start_session_timeout", ["Support.StartSession", "scenario=a"], {"Product.Support/StartSession": {"status": 1460}},
     1460, "response timeout", {}),
    ("start_session_no_connection", ["Support.StartSession", "scenario=a"],
     {"instance": [{"status": 0}, {"status": 5}]}, 1627, "command failed",
     {"explanation": "Failed to initialize integration module."}),
    ("collect", ["Support.Collect"], {"Product.Support/StartSession": answer(
        {}, notifications=[ended(400, status="finished", deliveredTo=DELIVERED)])}, 0, "success",
     {"wait": "completed", "deliveries": [
         {"type": "local", "path": "C:\\out\\a.zip", "error": 0, "status": "success"},
         {"type": "httpPost", "path": "", "error": 12002, "status": "fail"},
         {"type": "ftp", "path": "", "error": 5, "status": "fail"}]}),
    ("collect_undecodable", ["Support.Collect"], {"Product.Support/StartSession": answer(
        {}, notifications=[ended(400, status="finished", deliveredTo=[{"type": "local", "path": "C:\\a"}])])},
     0, "success", {"wait": "completed", "status": "fail"}),
    ("collect_in_progress", ["Support.Collect"], {"Product.Support/StartSession": answer(error=-1056)}, -1056,
     "-1056", {"explanation": "A support session is already in progress. Please wait until it is finished."}),
    ("abort", ["Support.AbortSession"], {"Product.Support/AbortSession": answer(
        {}, notifications=[ended(300, status="aborted")])}, 0, "success", {"wait": "completed", "status": "done"}),
    ("abort_forced", ["Support.AbortSession"], {"Product.Support/AbortSession": answer(
        {}, notifications=[ended(300, status="forceAborted")])}, 0, "success",
     {"wait": "completed", "status": "forceAborted"}),
    ("abort_none", ["Support.AbortSession"], {"Product.Support/AbortSession": answer(error=-5023)}, -5023, "-5023",
     {"explanation": "There is no support session in progress."}),
    ("abort_admin", ["Support.AbortSession"], {"Product.Support/AbortSession": answer(error=288)}, 740,
     "elevation required", {"explanation": "Administrative privileges are required!"}),
    ("force_abort", ["Support.ForceAbortSession"], {"Product.Support/ForceAbortSession": answer(
        {}, notifications=[ended(300, status="forceAborted")])}, 0, "success", {"wait": "completed", "status": "done"}),
    ("force_abort_other_ending", ["Support.ForceAbortSession"], {"Product.Support/ForceAbortSession": answer(
        {}, notifications=[ended(300, status="aborted")])}, 0, "success", {"wait": "completed"}),
    ("force_abort_too_early", ["Support.ForceAbortSession"],
     {"Product.Support/ForceAbortSession": answer(error=-170)}, -170, "-170",
     {"explanation": "The force cancel command minimal time did not elapsed from the last abort/forceAbort command."}),
    ("force_abort_no_connection", ["Support.ForceAbortSession"],
     {"Product.Support/ForceAbortSession": answer(error=2250)}, 2250, "no connection",
     {"explanation": "There is no connection with Tessaro Services."}),
    ("end_session", ["Support.EndSession"], {"Product.Support/EndTroubleshoot": answer(
        {}, notifications=[ended(300, status="finished", deliveredTo=DELIVERED[:1])])}, 0, "success",
     {"wait": "completed",
      "deliveries": [{"type": "local", "path": "C:\\out\\a.zip", "error": 0, "status": "success"}]}),
    ("end_session_none", ["Support.EndSession"], {"Product.Support/EndTroubleshoot": answer(error=-1168)}, -1168,
     "-1168", {"explanation": "There is no support session in progress."}),
    ("end_session_timeout", ["Support.EndSession"], {"Product.Support/EndTroubleshoot": {"status": 1460}}, 1460,
     "response timeout", {}),
    ("scan_no_parameters", [SCAN], {}, 160, "bad arguments", {"explanation": "No parameters found!"}),
    ("scan_wrong_value", [SCAN, "custom", "rootkitAction=delete"], {}, 160, "bad arguments",
     {"explanation": "Wrong value for rootkitAction!"}),
    ("scan_without_custom", [SCAN, "path=C:\\x"], {}, 160, "bad arguments", {}),
    ("scan_no_connection", [SCAN, "custom"], {"instance": [{"status": 0}, {"status": 5}]}, 2250, "no connection",
     {"explanation": "Failed to connect!"}),
    ("scan_post_refused", [SCAN, "custom"], {"FileScan.OnDemand/RunScanTask": {"post_status": 1460}}, 1359, "1359",
     {"explanation": "Excute command failed!"}),
    ("scan", [SCAN, "custom", "path=C:\\a"], scan(delay_ms=300), 0, "success", {"summary": SUMMARY}),
    ("scan_other_status", [SCAN, "custom"], scan(delay_ms=300, runstatus=5), 0, "success",
     {"summary": dict(SUMMARY, status="", runStatus=5)}),
    ("scan_incomplete", [SCAN, "custom"], scan(delay_ms=300, summary={"totalscanned": -1}), 1359, "1359",
     {"error": 1359}),
    ("invalid_command", ["NoSuchCommand", "x"], {}, 1, "invalid command", {}),
    ("names_are_case_sensitive", ["getversion", "product"], {}, 1, "invalid command", {}),
]


def split_script(script):
    """Answers and, apart, the instance answers of a case's script."""
    script = dict(script)
    instance = script.pop("instance", None)
    return {"answers": script, **({"instance": instance} if instance else {})}


def task_id_of(data):
    """Takes the scan's task identifier out of its data, checked."""
    task_id = data.pop("taskId")
    assert TASK_ID.fullmatch(task_id)
    return task_id


@pytest.mark.parametrize("args, script, code, message, data", [case[1:] for case in CASES],
                         ids=[case[0] for case in CASES])
def test_every_command_answers_with_one_document(install, agent, args, script, code, message, data):
    agent.script(split_script(script))
    found = document(install.run("/json", "/c", *args))
    if args[0] == SCAN and len(args) > 1:
        task_id = task_id_of(found["data"])
        # The task the data names is the one the agent was asked to run.
        posted = [call[2] for call in agent.calls("post") if call[1] == "RunScanTask"]
        assert [task["customScanTask"]["taskId"] for task in posted] in ([], [task_id])
    assert found == envelope(args[0], args[1:], code, message, data)


def test_the_text_mode_of_the_same_commands_is_unchanged(install, agent):
    # The switch changes only the form: the same requests reach the agent.
    agent.script({"answers": {"Product/GetStatus": answer(STATUS), "Update/StartUpdate": answer({})}})
    text = [install.run("/c", "GetUpdateStatus", "product"), install.run("/c", "StartUpdate", "force")]
    text_requests = [entry["document"] for entry in agent.entries("request")]
    agent.log_path.unlink()
    as_json = [install.run("/json", "/c", "GetUpdateStatus", "product"), install.run("/json", "/c", "StartUpdate", "force")]
    assert [(r.stdout, r.returncode) for r in text] == [
        (b"lastSucceededTime: 5\r\nlastAttemptedTime: 30\r\nlastError: 7", 0), (b"error 0", 0)]
    assert [document(r)["result"] for r in as_json] == [0, 0]
    assert [entry["document"] for entry in agent.entries("request")] == text_requests


def test_the_full_exit_code_reaches_cmd(install, agent, tmp_path):
    # A batch file as a script would write it; cmd sees all 32 bits.
    agent.script({"answers": {"Product.Support/AbortSession": answer(error=-5023)}})
    batch = tmp_path / "abort.cmd"
    out = tmp_path / "out.json"
    batch.write_bytes((f'@echo off\r\n"{windows_path(install.exe)}" /json /c Support.AbortSession > "{windows_path(out)}"\r\n'
                       'echo %ERRORLEVEL%\r\n').encode())
    result = install.run_batch(batch)
    assert result.stdout == b"-5023\r\n"
    [found] = documents(out.read_bytes())
    assert found["result"] == -5023


def test_interactive_json_lines(install, agent):
    agent.script({"answers": {"Product/GetStatus": answer(STATUS), "Update/StartUpdate": [answer(error=1552), answer({})]}})
    lines = ["GetVersion product", "", "Nope x", "  ", "StartUpdate", "help", "GetVersion", "\t", "StartUpdate",
             "exit", "GetVersion antivirus"]
    result = install.run("/json", stdin="\n".join(lines) + "\n")
    assert result.returncode == 0
    found = documents(result.stdout)
    assert [(d["command"], d["arguments"], d["result"]) for d in found] == [
        ("GetVersion", ["product"], 0), ("Nope", ["x"], 1), ("", [""], 1), ("StartUpdate", [], 1552),
        ("help", [], 0), ("GetVersion", [], 87), ("\t", [], 1), ("StartUpdate", [], 0)]
    assert found[3]["data"] == {"accepted": False, "explanation": "An update process is already running!"}
    assert [c["name"] for c in found[4]["data"]["commands"]] == COMMANDS


def test_a_cancelled_command_is_reported_and_ends_the_shell(install, agent):
    agent.script({"answers": SILENT_SCAN})
    console = install.start("/json")
    console.send(f"{SCAN} custom\n")
    assert agent.wait_for("post")
    time.sleep(1.5)
    console.interrupt()
    console.send("GetVersion product\n")
    result = console.finish(timeout=60, close_input=False)
    assert result.returncode == 0
    [found] = documents(result.stdout)
    task_id_of(found["data"])
    assert found == envelope(SCAN, ["custom"], 1223, "cancelled", {"error": 1223, "description": "Scan interrupted."})


@pytest.mark.parametrize("command, method", WAITING_COMMANDS)
def test_ctrl_c_in_a_support_wait_keeps_result_0_and_says_so(install, agent, command, method):
    agent.script({"answers": {"Product.Support/" + method: answer({})}})
    console = install.start("/json", "/c", command, "scenario=a")
    assert agent.wait_for("request")
    time.sleep(0.5)
    console.interrupt()
    found = document(console.finish(timeout=30, close_input=False))
    assert found == envelope(command, ["scenario=a"], 0, "success", {"wait": "interrupted"})


def test_ctrl_c_in_a_scan_is_cancelled(install, agent):
    agent.script({"answers": SILENT_SCAN})
    console = install.start("/json", "/c", SCAN, "custom")
    assert agent.wait_for("post")
    time.sleep(1.5)
    console.interrupt()
    result = console.finish(timeout=30, close_input=False)
    found = document(result)
    assert (found["result"], found["data"]["error"]) == (1223, 1223)
    assert exit_status(1223) == result.returncode


def test_a_response_later_than_its_limit_is_a_timeout(install, agent):
    agent.script({"answers": {"Product/GetStatus": answer(STATUS, delay_ms=7000)}})
    started = time.monotonic()
    found = document(install.run("/json", "/c", "GetVersion", "product"))
    assert 4.5 < time.monotonic() - started < 15
    assert found == envelope("GetVersion", ["product"], 1460, "response timeout", {})


def raw_status(version_json):
    """A GetStatus answer whose version is the given JSON text, bytes and all."""
    return (b'{"response":{"type":"tesdk","data":{"Product":[{"@name":"GetStatus","error":0,"output":'
            b'{"Locations":{"Product":{"Version":' + version_json + b'}}}}]}}}')


@pytest.mark.parametrize("version_json, version", [
    # Invalid UTF-8 (a lone continuation byte, a truncated sequence, 0xFF) and
    # control characters, escaped or raw, as the agent may send them.
    (b'"a\x80b\xc3\xff\x01\\u001b[31m\\"q\\"\\\\\\n\tz\xc3\xa9\xe2\x82\xac"',
     "a\ufffdb\ufffd\ufffd\x01\x1b[31m\"q\"\\\n\tz\u00e9\u20ac"),
    (b'"' + b"x" * 300000 + b'"', "x" * 300000),
], ids=["invalid_utf8_and_control_characters", "very_long"])
def test_whatever_the_agent_sends_the_document_is_valid(install, agent, version_json, version):
    # The script is written as bytes: the stand-in passes them on unchanged.
    raw = raw_status(version_json)
    agent.script_path.write_bytes(b'{"answers":{"Product/GetStatus":{"raw":"' +
                                  raw.replace(b"\\", b"\\\\").replace(b'"', b'\\"') + b'"}}}')
    result = install.run("/json", "/c", "GetVersion", "product")
    found = document(result)
    assert found["data"] == {"version": version}
    # Control characters travel escaped: the line holds none.
    assert not any(byte < 0x20 for byte in result.stdout[:-2])


def test_paths_with_quotes_backslashes_and_control_characters(install, agent):
    events = [ended(300, status="finished", deliveredTo=[
        {"type": "local", "path": "C:\\a \"b\"\\\u0007c\\\u00e9\U0001f600", "error": 0}])]
    agent.script({"answers": {"Product.Support/EndTroubleshoot": answer({}, notifications=events)}})
    found = document(install.run("/json", "/c", "Support.EndSession"))
    assert found["data"]["deliveries"][0]["path"] == "C:\\a \"b\"\\\u0007c\\\u00e9\U0001f600"


@pytest.mark.parametrize("wrong", [
    envelope("GetVersion", ["product"], 0, "success", {}),                      # success without its value
    envelope("GetVersion", ["product"], 0, "success", {"version": 1}),          # a version as a number
    envelope("GetVersion", ["product"], 0, "success", {"version": "1", "x": 1}),  # a member it does not have
    envelope("Nope", [], 87, "invalid command", {}),                           # invalid, yet not 1
    envelope("Nope", [], 1, "invalid command", {"explanation": "x"}),          # invalid, yet data
    envelope(None, [], 0, "success", {}),                                      # no command, yet success
    envelope("Support.GetHistory", [], 0, "success", {"workerExitCode": 3}),   # a failed worker as success
    envelope("Support.EndSession", [], 0, "success", {"wait": "maybe"}),
    dict(envelope("GetVersion", [], 87, "invalid parameter", {}), schemaVersion=2),
    {k: v for k, v in envelope("GetVersion", [], 87, "invalid parameter", {}).items() if k != "data"},
], ids=lambda wrong: json.dumps(wrong)[:60])
def test_the_schema_refuses_what_the_console_must_not_write(wrong):
    assert list(VALIDATOR.iter_errors(wrong))


# Every registered command, in the order the usage lists them.
COMMANDS = sorted(["FileScan.OnDemand.RunScanTask", "IsUpdateRestartNeeded", "StartUpdate", "IsUpdateInProgress",
                   "GetVersion", "GetUpdateStatus", "Support.StartSession", "Support.AbortSession",
                   "Support.ForceAbortSession", "Support.GetState", "Support.GetScenarios", "Support.EndSession",
                   "Support.Collect", "Support.GetHistory"])
