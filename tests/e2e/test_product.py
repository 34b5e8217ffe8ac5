"""Product status and update commands against the scripted agent: exact
output bytes, and exactly what reached the agent."""
import pytest

from conftest import answer

STATUS = {"Locations": {
    "Product": {"Version": "1.2.3.4",
                "check": {"error": 0, "lastSucceededTime": 10, "time": 20},
                "update": {"error": 7, "lastSucceededTime": 5, "time": 30}},
    "Antivirus": {"Version": 42,
                  "check": {"error": 3, "lastSucceededTime": 10, "time": 20},
                  "update": {"error": 0, "lastSucceededTime": 5, "time": -30}}}}


def run(install, agent, script, *args):
    agent.script({"answers": script})
    return install.run("/c", *args)


@pytest.mark.parametrize("args, output", [
    (["GetVersion", "product"], b"1.2.3.4"),
    (["GetVersion", "antivirus", "ignored"], b"42"),
    (["GetUpdateStatus", "product"], b"lastSucceededTime: 5\r\nlastAttemptedTime: 30\r\nlastError: 7"),
    (["GetUpdateStatus", "antivirus"], b"lastSucceededTime: 5\r\nlastAttemptedTime: 20\r\nlastError: 3"),
    # The selector is exact, and checked only after the agent answered.
    (["GetVersion", "Product"], b"error 87"),
    (["GetUpdateStatus", "--product"], b"error 87"),
])
def test_status_commands(install, agent, args, output):
    result = run(install, agent, {"Product/GetStatus": answer(STATUS)}, *args)
    assert (result.stdout, result.returncode) == (output, 0)
    assert agent.calls() == [("Product", "GetStatus", {})]


@pytest.mark.parametrize("command", ["GetVersion", "GetUpdateStatus"])
def test_status_commands_without_selector_send_nothing(install, agent, command):
    result = run(install, agent, {"Product/GetStatus": answer(STATUS)}, command)
    assert result.stdout == b"error 87"
    assert agent.calls() == []


@pytest.mark.parametrize("version, output", [
    ("7.0", b"7.0"),
    (4294967295, b"4294967295"),
    (True, b"error 87"),
    (None, b"error 87"),
    ({"major": 1}, b"error 87"),
])
def test_version_value_kinds(install, agent, version, output):
    product = {} if version is None else {"Version": version}
    result = run(install, agent, {"Product/GetStatus": answer({"Locations": {"Product": product}})},
                 "GetVersion", "product")
    assert result.stdout == output


@pytest.mark.parametrize("check, update", [
    ({"error": 0, "lastSucceededTime": 10, "time": 20}, {"error": 0, "lastSucceededTime": 5}),
    # The check record's lastSucceededTime is never printed, but required.
    ({"error": 0, "time": 20}, {"error": 0, "lastSucceededTime": 5, "time": 30}),
], ids=["update_without_time", "check_without_last_succeeded_time"])
def test_incomplete_record_prints_nothing_but_the_code(install, agent, check, update):
    status = {"Locations": {"Product": {"check": check, "update": update}}}
    result = run(install, agent, {"Product/GetStatus": answer(status)}, "GetUpdateStatus", "product")
    assert result.stdout == b"error 5023"


def test_negative_times_are_printed_with_their_sign(install, agent):
    status = {"Locations": {"Product": {
        "check": {"error": 0, "lastSucceededTime": -1, "time": -2},
        "update": {"error": -7, "lastSucceededTime": -5, "time": -30}}}}
    result = run(install, agent, {"Product/GetStatus": answer(status)}, "GetUpdateStatus", "product")
    assert result.stdout == b"lastSucceededTime: -5\r\nlastAttemptedTime: -30\r\nlastError: -7"


@pytest.mark.parametrize("script, output", [
    ({"Product/GetStatus": {"status": 1460}}, b"error 1460"),
    ({"Product/GetStatus": {"raw": "{ not json"}}, b"error 1627"),
    ({"Product/GetStatus": {"omit_error": True, "output": STATUS}}, b"error 1627"),
    ({"Product/GetStatus": answer(STATUS, error=-5)}, b"error -5"),
    ({"Product/Other": answer(STATUS)}, b"error 50"),
])
def test_status_failures_pass_through(install, agent, script, output):
    result = run(install, agent, script, "GetVersion", "product")
    assert (result.stdout, result.returncode) == (output, 0)


@pytest.mark.parametrize("args, force", [
    ([], False),
    (["force"], True),
    (["/force"], True),
    (["-force"], True),
    (["--force"], True),
    (["force=no"], True),
    (["Force"], False),
    (["other=1"], False),
])
def test_start_update_parameters(install, agent, args, force):
    result = run(install, agent, {"Update/StartUpdate": answer({})}, "StartUpdate", *args)
    assert result.stdout == b"error 0"
    assert agent.calls() == [("Update", "StartUpdate",
                              {"checkOnly": False, "use_saved_settings": True, "force": force})]


@pytest.mark.parametrize("error, output", [
    (288, b"Administrative privileges are required!\r\nerror 740"),
    (1552, b"An update process is already running!\r\nerror 1552"),
    (5023, b"Update is disabled from policy!\r\nerror 5023"),
    (31, b"error 31"),
])
def test_start_update_refusals(install, agent, error, output):
    result = run(install, agent, {"Update/StartUpdate": answer(error=error)}, "StartUpdate")
    assert result.stdout == output


@pytest.mark.parametrize("installer, downloader, output", [
    (answer({"response": True}), answer({"response": False}), b"true"),
    (answer({"response": False}), answer({"response": 2}), b"true"),
    (answer({"response": False}), answer({"response": 0}), b"false"),
    (answer({"response": "true"}), answer({"response": False}), b"error 87"),
    (answer({"response": True}), answer({}), b"error 87"),
    (answer({"response": True}, error=4), answer({"response": True}), b"error 5023"),
    (answer({"response": True}), answer(error=-1), b"error 5023"),
])
def test_update_in_progress(install, agent, installer, downloader, output):
    result = run(install, agent, {"Update/IsInstallerRunning": installer,
                                  "Update/IsDownloaderRunning": downloader}, "IsUpdateInProgress", "x")
    assert result.stdout == output
    # One request, one module, both methods in order.
    requests = agent.entries("request")
    assert len(requests) == 1
    assert requests[0]["document"]["data"] == {"Update": [{"@name": "IsInstallerRunning", "input": {}},
                                                          {"@name": "IsDownloaderRunning", "input": {}}]}


@pytest.mark.parametrize("output, printed", [
    ({"isRestartNeeded": True, "reasons": [3, 1]}, b"true"),
    ({"isRestartNeeded": True, "reasons": [3]}, b"false"),
    ({"isRestartNeeded": True, "reasons": []}, b"false"),
    ({"isRestartNeeded": False}, b"false"),
    ({"isRestartNeeded": 1, "reasons": [1]}, b"true"),
    ({"isRestartNeeded": True}, b"error 87"),
    ({"isRestartNeeded": True, "reasons": [1, "2"]}, b"error 87"),
    ({"reasons": [1]}, b"error 87"),
])
def test_restart_needed(install, agent, output, printed):
    result = run(install, agent, {"Product.RestartManager/IsRestartNeeded": answer(output)},
                 "IsUpdateRestartNeeded")
    assert (result.stdout, result.returncode) == (printed, 0)
    assert agent.calls() == [("Product.RestartManager", "IsRestartNeeded", {})]


def test_commands_reuse_in_one_interactive_run(install, agent):
    agent.script({"answers": {"Product/GetStatus": answer(STATUS),
                              "Update/StartUpdate": [answer(error=1552), answer({})]}})
    result = install.run(stdin="GetVersion product\nStartUpdate\nStartUpdate force\nexit\n")
    assert result.stdout == (b"GetVersion product\r\n1.2.3.4\r\n"
                             b"StartUpdate\r\nAn update process is already running!\r\nerror 1552\r\n"
                             b"StartUpdate force\r\nerror 0\r\n"
                             b"exit\r\n")
