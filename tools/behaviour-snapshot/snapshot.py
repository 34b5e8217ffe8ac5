#!/usr/bin/python3
"""Runs a fixed set of console command lines against the scripted and the
simulated agent and writes, per case, the exact stdout and stderr bytes, the
exit code and the documents that reached the agent. Two snapshots of two
builds compare with `diff -r`; a refactoring must leave them identical.

  tools/behaviour-snapshot/snapshot.py OUT_DIR        (from the source root,
  with build/ built; PRODUCT_BIN_DIR and PRODUCT_WINE_RUN as for the e2e tests)

Values that differ from run to run (task identifiers, request identifiers,
temporary folders, times) are replaced by placeholders before writing."""
import json
import os
import re
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
os.environ.setdefault("PRODUCT_BIN_DIR", str(ROOT / "build" / "bin"))
os.environ.setdefault("PRODUCT_WINE_RUN", str(ROOT / "build" / "wine-run"))
os.environ.setdefault("WINEPREFIX", str(ROOT / "build" / "wineprefix"))
os.environ.setdefault("WINEDEBUG", "-all")
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from conftest import AGENT_FILES, CONSOLE_FILES, Agent, Install, answer, windows_path  # noqa: E402
from test_support import ended, event, state  # noqa: E402

# Times the simulated agent stamps (seconds since 1970, ten digits).
TIME = re.compile(rb"\b1[0-9]{9}\b")
GUID = re.compile(rb"[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}")

STATUS = {"Locations": {
    "Product": {"Version": "1.2.3.4",
                "check": {"error": 0, "lastSucceededTime": 10, "time": 20},
                "update": {"error": 7, "lastSucceededTime": 5, "time": 30}},
    "Antivirus": {"Version": 42,
                  "check": {"error": 3, "lastSucceededTime": 10, "time": 20}}}}


def policy(delay_ms=0):
    return event("FileScan.OnDemand.ScanLog.Policy",
                 {"taskid": "${input:customScanTask/taskId}", "logfilepath": "C:\\logs\\scan.log",
                  "runstatus": 0, "extraData": {"summary": {"totalscanned": 10, "stillinfected": 1,
                                                            "disinfected": 3, "deleted": 4}}}, delay_ms)


SCAN = {"FileScan.OnDemand/RunScanTask": answer({"scanSummary": {"IOErrors": 1}}, delay_ms=200,
                                                notifications=[policy(200)]),
        "FileScan.OnDemand/GetScanProgress": answer({"progress": [{"progressError": 0}]}),
        "FileScan.OnDemand/StopScanTask": {"no_answer": True}}

# (name, script answers, arguments, standard input)
SCRIPTED = [
    ("version_product", {"Product/GetStatus": answer(STATUS)}, ["/c", "GetVersion", "product"], ""),
    ("version_antivirus", {"Product/GetStatus": answer(STATUS)}, ["/c", "GetVersion", "antivirus"], ""),
    ("version_bad_selector", {"Product/GetStatus": answer(STATUS)}, ["/c", "GetVersion", "Product"], ""),
    ("version_no_selector", {"Product/GetStatus": answer(STATUS)}, ["/c", "GetVersion"], ""),
    ("version_agent_error", {"Product/GetStatus": answer(error=-5)}, ["/c", "GetVersion", "product"], ""),
    ("version_timeout", {"Product/GetStatus": {"status": 1460}}, ["/c", "GetVersion", "product"], ""),
    ("version_not_answered", {"Product/GetStatus": {"raw": "{\"data\":{}}"}}, ["/c", "GetVersion", "product"], ""),
    ("update_status_product", {"Product/GetStatus": answer(STATUS)}, ["/c", "GetUpdateStatus", "product"], ""),
    ("update_status_lacks_record", {"Product/GetStatus": answer(STATUS)}, ["/c", "GetUpdateStatus", "antivirus"], ""),
    ("start_update", {"Update/StartUpdate": answer({})}, ["/c", "StartUpdate", "force"], ""),
    ("start_update_admin", {"Update/StartUpdate": answer(error=288)}, ["/c", "StartUpdate"], ""),
    ("start_update_running", {"Update/StartUpdate": answer(error=1552)}, ["/c", "StartUpdate"], ""),
    ("start_update_disabled", {"Update/StartUpdate": answer(error=5023)}, ["/c", "StartUpdate"], ""),
    ("start_update_other", {"Update/StartUpdate": answer(error=99)}, ["/c", "StartUpdate"], ""),
    ("in_progress_true", {"Update/IsInstallerRunning": answer({"response": False}),
                          "Update/IsDownloaderRunning": answer({"response": True})}, ["/c", "IsUpdateInProgress"], ""),
    ("in_progress_error", {"Update/IsInstallerRunning": answer({"response": False}),
                           "Update/IsDownloaderRunning": answer(error=4)}, ["/c", "IsUpdateInProgress"], ""),
    ("in_progress_bad_value", {"Update/IsInstallerRunning": answer({"response": 1}),
                               "Update/IsDownloaderRunning": answer({"response": True})}, ["/c", "IsUpdateInProgress"], ""),
    ("restart_true", {"Product.RestartManager/IsRestartNeeded": answer({"isRestartNeeded": True, "reasons": [3, 1]})},
     ["/c", "IsUpdateRestartNeeded"], ""),
    ("restart_false", {"Product.RestartManager/IsRestartNeeded": answer({"isRestartNeeded": False})},
     ["/c", "IsUpdateRestartNeeded"], ""),
    ("restart_error", {"Product.RestartManager/IsRestartNeeded": answer(error=21)}, ["/c", "IsUpdateRestartNeeded"], ""),
    ("get_state", {"Product.Support/GetState": answer({"state": "active", "scenarios": ["a", "b"],
                                                        "troubleshoot": {"stoppable": True}})},
     ["/c", "Support.GetState"], ""),
    ("get_state_error", {"Product.Support/GetState": answer(error=-5)}, ["/c", "Support.GetState"], ""),
    ("get_scenarios", {"Product.Support/GetScenarios": answer({"scenarios": ["net", "upd"]})},
     ["/c", "Support.GetScenarios"], ""),
    ("get_scenarios_error", {"Product.Support/GetScenarios": answer(error=13)}, ["/c", "Support.GetScenarios"], ""),
    ("start_session", {"Product.Support/StartSession": answer({}, notifications=[state("pending", 200),
                                                                                 state("active", 400)])},
     ["/c", "Support.StartSession", "scenario=a", "scenarioId=b", "outputPath=C:\\out"], ""),
    ("start_session_admin", {"Product.Support/StartSession": answer(error=288)},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("start_session_space", {"Product.Support/StartSession": answer({"diskSpaceNeeded": 5368709120}, error=-112)},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("collect", {"Product.Support/StartSession": answer({}, notifications=[
        state("active", 100), ended(300, status="finished",
                                    deliveredTo=[{"type": "local", "path": "C:\\out\\a.zip", "error": 0}])])},
     ["/c", "Support.Collect", "scenario=x", "timeout=1"], ""),
    ("abort", {"Product.Support/AbortSession": answer({}, notifications=[ended(300, status="forceAborted")])},
     ["/c", "Support.AbortSession"], ""),
    ("abort_none", {"Product.Support/AbortSession": answer(error=-5023)}, ["/c", "Support.AbortSession"], ""),
    ("force_abort", {"Product.Support/ForceAbortSession": answer(error=-170)}, ["/c", "Support.ForceAbortSession"], ""),
    ("end_session", {"Product.Support/EndTroubleshoot": answer({}, notifications=[
        ended(300, status="finished", deliveredTo=[{"type": "local", "path": "C:\\out\\s.zip", "error": 0}])])},
     ["/c", "Support.EndSession"], ""),
    ("end_session_none", {"Product.Support/EndTroubleshoot": answer(error=-1168)}, ["/c", "Support.EndSession"], ""),
    # Every agent code a command of a family explains, and one it does not, per command.
    ("start_session_in_progress", {"Product.Support/StartSession": answer(error=-1056)},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("start_session_bad_scenario", {"Product.Support/StartSession": answer(error=-13)},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("start_session_bad_path", {"Product.Support/StartSession": answer(error=-161)},
     ["/c", "Support.StartSession", "scenario=a", "outputPath=C:\\n\"o"], ""),
    ("start_session_space_unknown", {"Product.Support/StartSession": answer({"diskSpaceNeeded": "5"}, error=-112)},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("start_session_other", {"Product.Support/StartSession": answer(error=-7)},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("start_session_not_answered", {"Product.Support/StartSession": {"raw": "{\"data\":{}}"}},
     ["/c", "Support.StartSession", "scenario=a"], ""),
    ("collect_admin", {"Product.Support/StartSession": answer(error=288)}, ["/c", "Support.Collect"], ""),
    ("collect_in_progress", {"Product.Support/StartSession": answer(error=-1056)}, ["/c", "Support.Collect"], ""),
    ("collect_bad_path", {"Product.Support/StartSession": answer(error=-161)},
     ["/c", "Support.Collect", "outputPath=C:\\c"], ""),
    ("collect_bad_scenario", {"Product.Support/StartSession": answer(error=-13)}, ["/c", "Support.Collect"], ""),
    ("collect_space", {"Product.Support/StartSession": answer({"diskSpaceNeeded": 5368709120}, error=-112)},
     ["/c", "Support.Collect"], ""),
    ("abort_admin", {"Product.Support/AbortSession": answer(error=288)}, ["/c", "Support.AbortSession"], ""),
    ("abort_in_progress", {"Product.Support/AbortSession": answer(error=-1056)}, ["/c", "Support.AbortSession"], ""),
    ("abort_other", {"Product.Support/AbortSession": answer(error=-170)}, ["/c", "Support.AbortSession"], ""),
    ("abort_not_answered", {"Product.Support/AbortSession": {"raw": "{\"data\":{}}"}},
     ["/c", "Support.AbortSession"], ""),
    ("abort_timeout", {"Product.Support/AbortSession": {"status": 1460}}, ["/c", "Support.AbortSession"], ""),
    ("force_abort_admin", {"Product.Support/ForceAbortSession": answer(error=288)},
     ["/c", "Support.ForceAbortSession"], ""),
    ("force_abort_state", {"Product.Support/ForceAbortSession": answer(error=-5023)},
     ["/c", "Support.ForceAbortSession"], ""),
    ("force_abort_no_connection", {"Product.Support/ForceAbortSession": answer(error=2250)},
     ["/c", "Support.ForceAbortSession"], ""),
    ("force_abort_other", {"Product.Support/ForceAbortSession": answer(error=-1056)},
     ["/c", "Support.ForceAbortSession"], ""),
    ("end_session_admin", {"Product.Support/EndTroubleshoot": answer(error=288)}, ["/c", "Support.EndSession"], ""),
    ("end_session_other", {"Product.Support/EndTroubleshoot": answer(error=-5023)}, ["/c", "Support.EndSession"], ""),
    ("get_state_admin", {"Product.Support/GetState": answer(error=288)}, ["/c", "Support.GetState"], ""),
    ("get_state_not_answered", {"Product.Support/GetState": {"raw": "{\"data\":{}}"}}, ["/c", "Support.GetState"], ""),
    ("get_state_timeout", {"Product.Support/GetState": {"status": 1460}}, ["/c", "Support.GetState"], ""),
    ("get_scenarios_not_answered", {"Product.Support/GetScenarios": {"raw": "{\"data\":{}}"}},
     ["/c", "Support.GetScenarios"], ""),
    ("start_update_not_answered", {"Update/StartUpdate": {"raw": "{\"data\":{}}"}}, ["/c", "StartUpdate"], ""),
    ("in_progress_not_answered", {"Update/IsInstallerRunning": {"raw": {"response": {"data": {"Update": [
        {"@name": "IsInstallerRunning", "error": 0, "output": {"response": True}}]}}}}},
     ["/c", "IsUpdateInProgress"], ""),
    ("in_progress_admin", {"Update/IsInstallerRunning": answer(error=288),
                           "Update/IsDownloaderRunning": answer({"response": True})}, ["/c", "IsUpdateInProgress"], ""),
    ("restart_not_answered", {"Product.RestartManager/IsRestartNeeded": {"raw": "{\"data\":{}}"}},
     ["/c", "IsUpdateRestartNeeded"], ""),
    ("update_status_error", {"Product/GetStatus": answer(error=288)}, ["/c", "GetUpdateStatus", "product"], ""),
    ("scan", SCAN, ["/c", "FileScan.OnDemand.RunScanTask", "custom", "path=C:\\x", "action=disinfect"], ""),
    ("scan_bad_arguments", SCAN, ["/c", "FileScan.OnDemand.RunScanTask", "quick"], ""),
    ("scan_post_refused", {"FileScan.OnDemand/RunScanTask": {"post_status": 1460}},
     ["/c", "FileScan.OnDemand.RunScanTask", "custom", "path=C:\\x"], ""),
    ("invalid_command", {}, ["/c", "NoSuchCommand", "x"], ""),
    ("shell", {"Product/GetStatus": answer(STATUS), "Product.Support/GetState": answer({"state": "idle"})},
     [], "GetVersion product\nnonsense\n\nSupport.GetState\nGetUpdateStatus product\nStartUpdate\nexit\n"),
    ("shell_end_of_input", {"Product/GetStatus": answer(STATUS)}, [], "GetVersion antivirus\n"),
    ("shell_utf8", {"Product.Support/StartSession": answer(error=-161)},
     [], "Support.StartSession scenario=\u00e9 outputPath=\"C:\\d\u00e9j\u00e0 vu\"\nexit\n"),
]

SIMULATED = [
    ("sim_version", ["/c", "GetVersion", "product"]),
    ("sim_update_status", ["/c", "GetUpdateStatus", "antivirus"]),
    ("sim_scenarios", ["/c", "Support.GetScenarios"]),
    ("sim_state", ["/c", "Support.GetState"]),
    ("sim_in_progress", ["/c", "IsUpdateInProgress"]),
    ("sim_restart", ["/c", "IsUpdateRestartNeeded"]),
]


# The history worker against a seeded store: (name, arguments with {out} for
# an output folder that exists).
HISTORY_SESSION = {"id": "18c0a1f2e4b-1a2c", "kind": "troubleshoot", "scenarios": ["network"],
                   "started": "2026-12-10T09:30:00Z", "ended": "2026-12-10T09:41:12Z", "status": "finished",
                   "deliveredTo": []}
HISTORY = [
    ("history_csv", ["/c", "Support.GetHistory", "path={out}\\h.csv", "format=csv"]),
    ("history_missing_folder", ["/c", "Support.GetHistory", "path=C:\\NoSuchDir\\h.csv", "format=csv"]),
    ("history_default_file", ["/c", "Support.GetHistory"]),
]


def masked(data, folder):
    data = TIME.sub(b"<time>", GUID.sub(b"<guid>", data))
    for form in (str(folder), windows_path(folder)):
        data = data.replace(form.encode(), b"<tmp>")
    return data


def documents(agent, folder):
    """What the console sent, in order, without what varies between runs."""
    lines = []
    for entry in agent.entries():
        kept = {k: entry[k] for k in ("event", "document", "timeout_ms", "name", "result") if k in entry}
        if kept["event"] not in ("request", "post", "instance_created", "instance_released"):
            continue
        lines.append(json.dumps(kept, sort_keys=True, ensure_ascii=False))
    text = "\n".join(lines).encode("utf-8")
    text = re.sub(rb'"(requestId|time_ms|seq|pid)": [^,}]+', rb'"\1": "<n>"', text)
    return masked(text, folder)


def write(out, name, result, agent, folder):
    (out / f"{name}.stdout").write_bytes(masked(result.stdout, folder))
    (out / f"{name}.stderr").write_bytes(masked(result.stderr, folder))
    (out / f"{name}.rc").write_text(f"{result.returncode}\n")
    if agent is not None:
        (out / f"{name}.requests").write_bytes(documents(agent, folder))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1]).resolve()
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as temp:
        folder = Path(temp)
        for name, script, args, stdin in SCRIPTED:
            case = folder / name
            install = Install(case / "install", CONSOLE_FILES + AGENT_FILES)
            agent = Agent(case / "agent")
            install.env.update(agent.env)
            agent.script({"answers": script})
            result = install.run(*args, stdin=stdin)
            write(out, name, result, agent, case)
            print(name, result.returncode, flush=True)
        for name, args in HISTORY:
            case = folder / name
            install = Install(case / "install", CONSOLE_FILES + AGENT_FILES)
            state_dir = case / "state"
            state_dir.mkdir()
            (state_dir / "support-history.jsonl").write_text(json.dumps(HISTORY_SESSION) + "\n")
            install.env["PRODUCT_AGENT_STATE_DIR"] = windows_path(state_dir)
            result = install.run(*[a.replace("{out}", windows_path(state_dir)) for a in args])
            write(out, name, result, None, case)
            # What the worker wrote.
            written = b"".join(f.name.encode() + b"\n" + f.read_bytes() for f in sorted(state_dir.iterdir())
                               if f.suffix in (".csv", ".txt"))
            (out / f"{name}.written").write_bytes(written)
            print(name, result.returncode, flush=True)
        bare = Install(folder / "bare", CONSOLE_FILES)
        write(out, "no_agent", bare.run("/c", "GetVersion", "product"), None, folder / "bare")
        install = Install(folder / "sim" / "install", CONSOLE_FILES + AGENT_FILES)
        state_dir = folder / "sim" / "state"
        state_dir.mkdir()
        install.env["PRODUCT_AGENT_STATE_DIR"] = windows_path(state_dir)
        agent = Agent(folder / "sim" / "agent")
        install.env["PRODUCT_TESDK_LOG"] = agent.env["PRODUCT_TESDK_LOG"]
        for name, args in SIMULATED:
            agent.log_path.unlink(missing_ok=True)
            result = install.run(*args)
            write(out, name, result, agent, folder / "sim")
            print(name, result.returncode, flush=True)


if __name__ == "__main__":
    main()
