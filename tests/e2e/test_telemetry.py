"""Every command line that names a registered command sends one telemetry
event through the plug-in; telemetry never changes what the user sees."""
import json
import os
import re
import shutil
import struct

import pytest

from conftest import BIN_DIR, answer, windows_path
from test_history import Log

# The project's version, as the executable's resource carries it.
VERSION = os.environ["PRODUCT_VERSION"]


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


def without_version_resource(exe):
    """Renames the executable's version resource type (16) to an unused one
    (17), so that the system finds no version information in it."""
    data = bytearray(exe.read_bytes())
    header = struct.unpack_from("<I", data, 0x3C)[0]
    sections, = struct.unpack_from("<H", data, header + 6)
    optional_size, = struct.unpack_from("<H", data, header + 20)
    optional = header + 24
    assert struct.unpack_from("<H", data, optional)[0] == 0x20B  # PE32+
    resources, = struct.unpack_from("<I", data, optional + 112 + 2 * 8)
    for index in range(sections):
        address, size, offset = struct.unpack_from("<III", data, optional + optional_size + 40 * index + 12)
        if address <= resources < address + size:
            root = offset + resources - address
            break
    named, numbered = struct.unpack_from("<HH", data, root + 12)
    entries = [root + 16 + 8 * index for index in range(named, named + numbered)]
    types = [struct.unpack_from("<I", data, entry)[0] for entry in entries]
    assert 16 in types and 17 not in types
    struct.pack_into("<I", data, entries[types.index(16)], 17)
    exe.write_bytes(data)


@pytest.fixture
def log(install, tmp_path):
    log = Log(tmp_path / "logs")
    install.env["PRODUCT_LOG_DIR"] = windows_path(log.folder)
    return log


def messages(log, function, word):
    return [message.strip() for level, message in log.of("Product::TelemetryST::TelemetryApp::" + function)
            if word in message]


def test_without_a_version_resource_the_event_has_no_tool_version(install, agent, telemetry, log):
    without_version_resource(install.exe)
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}})}})
    result = install.run("/c", "GetVersion", "product")
    assert (result.stdout, result.returncode) == (b"9", 0)
    assert telemetry() == [
        {"event_name": "m_tool_ran", "event_version": "1.0", "exit_code": 0, "exit_reason": "success",
         "options": ["product"], "tool": "Product.Console GetVersion"}]
    (failure,) = messages(log, "AddToolVersion", "GetFileVersion")
    code = re.fullmatch(r"GetFileVersion failed\. Error (\d+)\.", failure)
    assert code and int(code[1]) != 0, failure


def test_a_refused_delivery_is_only_logged(install, agent, telemetry, log):
    # A plug-in of somebody else's build whose SendNotification answers 77.
    shutil.copy2(BIN_DIR / "test_plugin.dll", install.root / "product.matrix.comm.dll")
    install.env["TEST_PLUGIN_MODE"] = "send_fails"
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}})}})
    result = install.run("/c", "GetVersion", "product")
    assert (result.stdout, result.returncode) == (b"9", 0)
    assert messages(log, "SendTelemetryEvent", "SendNotification") == ["SendNotification() failed. Error 77."]


def test_json_mode_sends_the_same_events(install, agent, telemetry, tmp_path):
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}}),
                              "Update/StartUpdate": answer(error=5)}})
    lines = "GetVersion product\nNope x\nStartUpdate --force scenarioId=Net\nhelp\nexit\n"
    install.run(stdin=lines)
    install.run("/c", "GetVersion", "antivirus")
    as_text = telemetry()
    (tmp_path / "telemetry" / "events.jsonl").unlink()
    install.run("/json", stdin=lines)
    install.run("/json", "/c", "GetVersion", "antivirus")
    # "/json" is no argument of a command, and "help" is no command.
    assert telemetry() == as_text
    assert [(event["tool"], event["options"]) for event in as_text] == [
        ("Product.Console GetVersion", ["product"]), ("Product.Console StartUpdate", ["force", "scenario=Net"]),
        ("Product.Console GetVersion", ["antivirus"])]
