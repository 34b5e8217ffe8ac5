"""Start-up, exit codes and teardown of the real executable."""
# ctest: LOCKS=registry
import os
import shutil
import subprocess

import time

from conftest import BIN_DIR, WINE_RUN, answer, wait_for


def test_without_agent_library_exit_code_is_the_load_error_and_nothing_runs(install):
    install.remove("tesdk.dll")
    result = install.run("/c", "Support.GetState", stdin="Support.GetState\n")
    assert result.returncode == 126  # ERROR_MOD_NOT_FOUND
    assert result.stdout == b""


def test_one_shot_unknown_command_prints_without_line_end_and_exits_zero(install):
    result = install.run("/c", "Nope", "a")
    assert (result.stdout, result.returncode) == (b"invalid command", 0)


def test_capital_c_is_not_one_shot_mode(install):
    result = install.run("/C", "Nope", stdin="exit\n")
    assert (result.stdout, result.returncode) == (b"exit\r\n", 0)


def test_c_alone_starts_the_interactive_shell(install):
    result = install.run("/c", stdin="Nope\nexit\n")
    assert result.stdout == b"Nope\r\ninvalid command\r\nexit\r\n"
    assert result.returncode == 0


def test_ctrl_c_before_the_first_line_closes_the_agent_and_ends_the_process(install, tmp_path):
    log = tmp_path / "requests.jsonl"
    console = install.start(env={"PRODUCT_TESDK_LOG": str(log)})
    assert wait_for(lambda: log.exists() and "instance_created" in log.read_text())
    console.interrupt()
    result = console.finish(timeout=30, close_input=False)
    # The system's default handling ends the process (Windows reports
    # STATUS_CONTROL_C_EXIT, Wine 0); the agent connection was closed first.
    assert result.stdout == b""
    assert "instance_released" in log.read_text()


def test_runs_without_crash_handler_library(install):
    install.remove("cvch.dll")
    result = install.run("/c", "Nope")
    assert (result.stdout, result.returncode) == (b"invalid command", 0)


def test_crash_leaves_a_minidump(install, tmp_path):
    shutil.copy2(BIN_DIR / "crash_probe.exe", install.root / "crash_probe.exe")
    dumps = tmp_path / "dumps"
    for how in ("access", "abort"):
        proc = subprocess.run([WINE_RUN, str(install.root / "crash_probe.exe"), how],
                              env=dict(os.environ, PRODUCT_CRASH_DUMP_DIR=str(dumps)),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        assert proc.stdout.startswith(b"crash reporting on")
        assert proc.returncode != 0
    assert len(list(dumps.glob("crash_probe.exe_*.dmp"))) == 2


def test_ctrl_c_after_a_command_cancels_it_and_the_shell_goes_on(install, agent):
    agent.script({"answers": {"Product/GetStatus": answer({"Locations": {"Product": {"Version": "9"}}})}})
    console = install.start()
    console.send("GetVersion product\n")
    assert agent.wait_for("request")
    time.sleep(0.5)  # the command has returned; the shell waits for the next line
    console.interrupt()
    # The default cancel of the last command closed the shared connection, so
    # the next request has no connection; the shell itself goes on.
    assert agent.wait_for("instance_released")
    console.send("GetVersion product\nexit\n")
    result = console.finish(timeout=30)
    assert result.stdout == (b"GetVersion product\r\n9\r\n"
                             b"GetVersion product\r\nerror 2250\r\n"
                             b"exit\r\n")
    assert result.returncode == 0


def test_agent_library_blocked_by_the_guard_is_a_start_failure(install):
    # Outside Program Files and unsigned: block mode refuses tesdk.dll without
    # an error code of its own; the console must not start without it.
    result = install.run("/c", "GetVersion", "product",
                         env={"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll_block": "1"})
    assert result.stdout == b""
    # ERROR_INVALID_IMAGE_HASH (577); a Linux exit status keeps its low 8 bits.
    assert result.returncode == 577 & 0xFF
