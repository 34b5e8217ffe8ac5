"""Support-session commands against the scripted agent: exact output bytes,
what reached the agent, and how the waits end."""
# ctest: TIMEOUT=600
import time

import pytest

from conftest import answer

WAITING = b"Waiting for operation to complete...\r\n"
SUCCESS = b"Operation completed.\r\nStatus: success\r\n"
FAIL = b"Operation completed.\r\nStatus: fail\r\n"
INTERRUPTED = b"The wait was interrupted. Exiting...\r\n"


def event(name, data, delay_ms):
    return {"name": name, "data": data, "delay_ms": delay_ms}


def state(value, delay_ms):
    return event("Product.Support.State", {"state": value}, delay_ms)


def ended(delay_ms, **data):
    return event("Product.Support.SessionEnded", data, delay_ms)


def support_calls(agent, method):
    return [call[2] for call in agent.calls() if call[:2] == ("Product.Support", method)]


def test_start_session_sends_the_scenario_and_reports_the_session_once_active(install, agent):
    # Two "active" events: only the first one is reported.
    agent.script({"answers": {"Product.Support/StartSession": answer(
        {}, notifications=[state("pending", 300), state("active", 700), state("active", 900)])}})
    result = install.run("/c", "Support.StartSession", "scenario=a", "scenarioId=b")
    assert (result.stdout, result.returncode) == (WAITING + SUCCESS, 0)
    assert support_calls(agent, "StartSession") == [{
        "scenarios": ["a"],
        "deliverTo": [{"type": "local", "folder": ""}],
        "troubleshoot": {"stopWhen": {"timeExceeds": 864000}}}]
    [request] = agent.entries("request")
    assert request["timeout_ms"] == 30000
    # The console's connection and the command's own listening one.
    assert len(agent.entries("instance_created")) == 2


def test_other_state_ends_the_start_silently(install, agent):
    agent.script({"answers": {"Product.Support/StartSession": answer(
        {}, notifications=[state("pending", 300), state("idle", 600)])}})
    started = time.monotonic()
    result = install.run("/c", "Support.StartSession", "scenarioId=b", "timeout=1")
    assert (result.stdout, result.returncode) == (WAITING, 0)
    assert time.monotonic() - started < 10
    assert support_calls(agent, "StartSession")[0]["troubleshoot"] == {"stopWhen": {"timeExceeds": 3600}}


def test_collect_reports_every_delivery(install, agent):
    delivered = [{"type": "local", "path": "C:\\out\\a.zip", "error": 0},
                 {"type": "httpPost", "error": 12002, "httpResponse": {"code": 504}}]
    agent.script({"answers": {"Product.Support/StartSession": answer(
        {}, notifications=[state("active", 200), ended(600, status="finished", deliveredTo=delivered)])}})
    result = install.run("/c", "Support.Collect")
    assert result.stdout == (WAITING +
                             b"Operation completed.\r\nPath: C:\\out\\a.zip\r\nStatus: success\r\n"
                             b"Operation completed.\r\nPath: \r\nStatus: fail\r\n")
    assert support_calls(agent, "StartSession") == [
        {"scenarios": [], "deliverTo": [{"type": "local", "folder": ""}]}]


def test_delivery_without_error_is_a_failed_collection(install, agent):
    agent.script({"answers": {"Product.Support/StartSession": answer({}, notifications=[
        ended(500, status="finished", deliveredTo=[{"type": "local", "path": "C:\\a", "error": 0},
                                                   {"type": "local", "path": "C:\\b"}])])}})
    result = install.run("/c", "Support.Collect", "scenario=x", "scenario=y")
    assert (result.stdout, result.returncode) == (WAITING + FAIL, 0)
    assert support_calls(agent, "StartSession")[0]["scenarios"] == ["x", "y"]


@pytest.mark.parametrize("command, method, error, message, code", [
    ("Support.StartSession", "StartSession", 288, b"Administrative privileges are required!", 740),
    ("Support.StartSession", "StartSession", -1056,
     b"A support session is already in progress. Please wait until it is finished.", -1056),
    ("Support.StartSession", "StartSession", -13, b"The given scenario is invalid.", -13),
    ("Support.StartSession", "StartSession", -161,
     b"\"\" is an invalid or inaccessible path. Please try again with another one.", -161),
    ("Support.StartSession", "StartSession", -112, b"There is not enough space on the system partition.", -112),
    ("Support.Collect", "StartSession", 288, b"Administrative privileges are required!", 740),
    ("Support.Collect", "StartSession", -1056,
     b"A support session is already in progress. Please wait until it is finished.", -1056),
    ("Support.Collect", "StartSession", -161,
     b"\"\" is an invalid or inaccessible path. Please try again with another one.", -161),
    ("Support.AbortSession", "AbortSession", 288, b"Administrative privileges are required!", 740),
    ("Support.AbortSession", "AbortSession", -5023, b"There is no support session in progress.", -5023),
    ("Support.AbortSession", "AbortSession", -1056,
     b"An abort operation is already in progress. Please wait until it is finished.", -1056),
    ("Support.ForceAbortSession", "ForceAbortSession", 288, b"Administrative privileges are required!", 740),
    ("Support.ForceAbortSession", "ForceAbortSession", -5023,
     b"Session in invalid state, session not in cancelling nor forceCancelling state.", -5023),
    ("Support.ForceAbortSession", "ForceAbortSession", -170,
     b"The force cancel command minimal time did not elapsed from the last abort/forceAbort command.", -170),
    ("Support.ForceAbortSession", "ForceAbortSession", 2250,
     b"There is no connection with Tessaro Services.", 2250),
    ("Support.EndSession", "EndTroubleshoot", 288, b"Administrative privileges are required!", 740),
    ("Support.EndSession", "EndTroubleshoot", -1168, b"There is no support session in progress.", -1168),
])
def test_agent_codes_with_a_message(install, agent, command, method, error, message, code):
    agent.script({"answers": {"Product.Support/" + method: answer(error=error)}})
    result = install.run("/c", command, "scenario=a")
    assert (result.stdout, result.returncode) == (message + b"\r\nerror " + str(code).encode(), 0)
    assert [call[1] for call in agent.calls()] == [method]


def test_disk_space_message_counts_whole_gigabytes(install, agent):
    agent.script({"answers": {"Product.Support/StartSession": answer({"diskSpaceNeeded": 5368709120}, error=-112)}})
    result = install.run("/c", "Support.StartSession", "scenario=a")
    assert result.stdout == b"There is not enough space on the system partition, 5GB needed.\r\nerror -112"


def test_quotes_leave_the_output_path_before_it_is_sent_and_shown(install, agent):
    agent.script({"answers": {"Product.Support/StartSession": answer(error=-161)}})
    line = 'Support.StartSession scenario=a outputPath="C:\\my "dir""\n'
    result = install.run(stdin=line + "exit\n")
    assert result.stdout == (line.replace("\n", "\r\n").encode() +
                             b"\"C:\\my dir\" is an invalid or inaccessible path. Please try again with another one."
                             b"\r\nerror -161\r\nexit\r\n")
    assert support_calls(agent, "StartSession")[0]["deliverTo"] == [{"type": "local", "folder": "C:\\my dir"}]


# The five commands that wait, and the method each one asks for first.
WAITING_COMMANDS = [
    ("Support.StartSession", "StartSession"),
    ("Support.Collect", "StartSession"),
    ("Support.AbortSession", "AbortSession"),
    ("Support.ForceAbortSession", "ForceAbortSession"),
    ("Support.EndSession", "EndTroubleshoot"),
]


@pytest.mark.parametrize("command, method", WAITING_COMMANDS)
def test_ctrl_c_ends_the_wait_within_a_second(install, agent, command, method):
    agent.script({"answers": {"Product.Support/" + method: answer({})}})
    console = install.start("/c", command, "scenario=a")
    assert agent.wait_for("request")
    time.sleep(0.5)  # in the wait
    interrupted = time.monotonic()
    console.interrupt()
    result = console.finish(timeout=30, close_input=False)
    assert time.monotonic() - interrupted < 2
    assert (result.stdout, result.returncode) == (WAITING + INTERRUPTED, 0)


def test_every_ctrl_c_is_reported_and_the_shell_goes_on(install, agent):
    agent.script({"answers": {"Product.Support/EndTroubleshoot": [
        answer({}), answer({}, notifications=[ended(300, status="error")])]}})
    console = install.start()
    console.send("Support.EndSession\n")
    assert agent.wait_for("request")
    time.sleep(0.5)
    console.interrupt()
    time.sleep(0.2)
    console.interrupt()
    time.sleep(1.5)
    # The interrupted command succeeded, so the shell runs the next line.
    console.send("Support.EndSession\nexit\n")
    result = console.finish(timeout=30)
    # The second Ctrl+C may come after the wait has seen the first one and
    # the command has returned: it then cancels the last command again.
    first = b"Support.EndSession\r\n" + WAITING + INTERRUPTED
    assert result.stdout in (first + INTERRUPTED + b"\r\n" + b"Support.EndSession\r\n" + WAITING + FAIL + b"\r\nexit\r\n",
                             first + b"\r\n" + INTERRUPTED + b"Support.EndSession\r\n" + WAITING + FAIL + b"\r\nexit\r\n")


def test_abort_ends_on_the_session_ended_event(install, agent):
    agent.script({"answers": {"Product.Support/AbortSession": answer(
        {}, notifications=[ended(400, status="forceAborted")])}})
    result = install.run("/c", "Support.AbortSession", "ignored")
    assert (result.stdout, result.returncode) == (WAITING + b"Done. Force Aborted.\r\n", 0)
    assert support_calls(agent, "AbortSession") == [{}]
    assert agent.entries("request")[0]["timeout_ms"] == 900000


@pytest.mark.parametrize("output, lines", [
    ({}, b"Current state: error\r\nScenarios: no scenario used\r\nStoppable: no\r\n"),
    ({"state": "active", "scenarios": ["a", "b"], "troubleshoot": {"stoppable": 1}},
     b"Current state: active\r\nScenarios: a, b\r\nStoppable: yes\r\n"),
])
def test_get_state(install, agent, output, lines):
    agent.script({"answers": {"Product.Support/GetState": answer(output)}})
    result = install.run("/c", "Support.GetState")
    assert (result.stdout, result.returncode) == (lines, 0)
    assert agent.entries("request")[0]["timeout_ms"] == 5000


def test_get_state_refused(install, agent):
    agent.script({"answers": {"Product.Support/GetState": answer(error=-5)}})
    result = install.run("/c", "Support.GetState")
    assert result.stdout == b"Failed to get current status!\r\nerror -5"


def test_get_scenarios(install, agent):
    catalogue = [{"id": "net", "displayName": "Network", "description": "Name resolution"},
                 {"id": "upd", "displayName": "Update", "description": ""}]
    agent.script({"answers": {"Product.Support/GetScenarios": [
        answer({"scenariosList": catalogue}),
        answer({"scenariosList": catalogue + [{"id": "x", "displayName": "X"}]})]}})
    result = install.run(stdin="Support.GetScenarios\nSupport.GetScenarios\nexit\n")
    assert result.stdout == (b"Support.GetScenarios\r\n"
                             b"Scenario: \r\n\tId: net\r\n\tName: Network\r\n\tDescription: Name resolution\r\n"
                             b"Scenario: \r\n\tId: upd\r\n\tName: Update\r\n\tDescription: \r\n"
                             b"\r\n"
                             b"Support.GetScenarios\r\nerror 87\r\n"
                             b"exit\r\n")
