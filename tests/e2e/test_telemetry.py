"""Every command line that names a registered command sends one telemetry
event through the plug-in; telemetry never changes what the user sees."""
import json

import pytest

from conftest import answer, windows_path
from test_history import Log

VERSION = "1.0.0.1"  # the project's version, as the executable's resource carries it


@pytest.fixture
def telemetry(install, tmp_path):
    folder = tmp_path / "telemetry"
    install.env["PRODUCT_TELEMETRY_DIR"] = windows_path(folder)

    def events():
        path = folder / "events.jsonl"
        if not path.exists():
            return []
        return [json.loads(line) for line in path.read_text(encoding="utf-8").splitlines()]
    return events


def test_one_event_per_registered_command(install, agent, telemetry):
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}}),
                              "Update/StartUpdate": answer(error=5)}})
    result = install.run(stdin="GetVersion product\nNope x\nStartUpdate --force scenarioId=Net path=C:\\x -v\nexit\n")
    assert b"error 5" in result.stdout
    assert telemetry() == [
        {"event_name": "m_tool_ran", "event_version": "1.0", "exit_code": 0, "exit_reason": "success",
         "options": ["product"], "tool": "Product.Console GetVersion", "tool_version": VERSION},
        {"event_name": "m_tool_ran", "event_version": "1.0", "exit_code": 5, "exit_reason": "5",
         "options": ["force", "scenario=Net", "path", "v"], "tool": "Product.Console StartUpdate",
         "tool_version": VERSION},
    ]


def test_failure_codes_are_reported_with_their_messages(install, agent, telemetry):
    install.run("/c", "GetVersion")
    install.run("/c", "IsUpdateRestartNeeded")  # not scripted: the agent answers 50
    events = telemetry()
    assert [(e["exit_code"], e["exit_reason"]) for e in events] == [(87, "invalid parameter"), (50, "50")]
    assert events[0]["options"] == []


def test_without_the_plugin_nothing_changes_for_the_user(install, agent, telemetry, tmp_path):
    log = Log(tmp_path / "logs")
    install.env["PRODUCT_LOG_DIR"] = windows_path(log.folder)
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}})}})
    with_plugin = install.run("/c", "GetVersion", "product")
    install.remove("product.matrix.comm.dll")
    without_plugin = install.run("/c", "GetVersion", "product")
    assert (without_plugin.stdout, without_plugin.returncode) == (with_plugin.stdout, with_plugin.returncode) == (b"9", 0)
    assert len(telemetry()) == 1
    failures = [message for level, message in log.of("Product::TelemetryST::TelemetryApp::SendTelemetryEvent")
                if "Failed to load" in message]
    assert [message.strip() for message in failures] == [
        "Failed to load the product.matrix.com plugin. Error 126."]


def test_a_cancelled_command_reports_cancelled(install, agent, telemetry):
    # A scan that never ends, stopped with Ctrl+C: the command's result is 1223.
    agent.script({"answers": {"FileScan.OnDemand/RunScanTask": {"no_answer": True},
                              "FileScan.OnDemand/StopScanTask": {"no_answer": True}}})
    console = install.start()
    console.send("FileScan.OnDemand.RunScanTask custom\n")
    assert agent.wait_for("post")
    console.interrupt()
    result = console.finish(timeout=60)
    assert b"error: 1223" in result.stdout
    (event,) = telemetry()
    assert (event["exit_code"], event["exit_reason"], event["options"]) == (1223, "cancelled", ["custom"])
