"""The console against the simulated agent (no script): a session, a scan and
an update that do real work on this machine."""
# ctest: TIMEOUT=300
import re
import time

import pytest

from conftest import windows_path, wait_for


@pytest.fixture
def simulated(install, tmp_path):
    """An installation whose agent keeps its state in a folder of the test."""
    state = tmp_path / "agent-state"
    state.mkdir()
    install.env["PRODUCT_AGENT_STATE_DIR"] = windows_path(state)
    install.env.pop("PRODUCT_TESDK_SCRIPT", None)
    install.state = state
    return install


def test_scan_counts_the_files_of_a_folder(simulated, tmp_path):
    folder = tmp_path / "scan me"
    (folder / "sub").mkdir(parents=True)
    for i in range(7):
        (folder / f"file{i}.txt").write_text("x")
    (folder / "sub" / "deep.bin").write_bytes(b"\0")
    result = simulated.run("/c", "FileScan.OnDemand.RunScanTask", "custom", f"path={windows_path(folder)}")
    lines = result.stdout.split(b"\r\n")
    assert lines[0] == b"Status: finished"
    assert lines[2] == b"Scanned items: 8"
    log_path = lines[1][len(b"Log path: "):].decode()
    assert log_path.endswith(".log")
    log = (simulated.state / "ScanLogs" / log_path.split("\\")[-1]).read_text()
    assert log.count("clean: ") == 8


def test_update_runs_then_asks_for_a_restart(simulated):
    assert simulated.run("/c", "IsUpdateRestartNeeded").stdout == b"false"
    version = simulated.run("/c", "GetVersion", "product").stdout
    assert simulated.run("/c", "StartUpdate").stdout == b"error 0"
    assert simulated.run("/c", "IsUpdateInProgress").stdout == b"true"
    refused = simulated.run("/c", "StartUpdate")
    assert refused.stdout == b"An update process is already running!\r\nerror 1552"
    assert wait_for(lambda: simulated.run("/c", "IsUpdateInProgress").stdout == b"false", timeout=30, step=1)
    assert simulated.run("/c", "IsUpdateRestartNeeded").stdout == b"true"
    assert simulated.run("/c", "GetVersion", "product").stdout != version
    status = simulated.run("/c", "GetUpdateStatus", "product").stdout.decode()
    assert re.fullmatch(r"lastSucceededTime: \d+\r\nlastAttemptedTime: \d+\r\nlastError: 0", status)


def test_session_started_seen_active_and_delivered(simulated, tmp_path):
    out = tmp_path / "support out"
    out.mkdir()
    started = simulated.run("/c", "Support.StartSession", "scenario=network", f"outputPath={windows_path(out)}")
    assert started.stdout == (b"Waiting for operation to complete...\r\n"
                              b"Operation completed.\r\nStatus: success\r\n")
    state = simulated.run("/c", "Support.GetState")
    assert state.stdout == b"Current state: active\r\nScenarios: network\r\nStoppable: yes\r\n"
    ended = simulated.run("/c", "Support.EndSession")
    lines = ended.stdout.decode().split("\r\n")
    assert lines[:2] == ["Waiting for operation to complete...", "Operation completed."]
    assert lines[2].startswith("Path: ") and lines[3] == "Status: success"
    delivered = sorted(p.name for p in out.rglob("*") if p.is_file())
    assert "session.json" in delivered and "network.log" in delivered
    assert simulated.run("/c", "Support.GetState").stdout.startswith(b"Current state: idle\r\n")

    # The finished session is in the history the worker reads.
    history = tmp_path / "history.csv"
    assert simulated.run("/c", "Support.GetHistory", f"path={windows_path(history)}", "format=csv").stdout == b""
    rows = history.read_text(encoding="utf-8").splitlines()
    assert rows[0].startswith("id,kind,scenarios,")
    assert len(rows) == 2 and ",troubleshoot,network," in rows[1] and ",finished," in rows[1]
    assert lines[2][len("Path: "):] in rows[1]
