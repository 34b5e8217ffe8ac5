"""The console itself with the DLL load guard on: its commands still reach
the scripted agent in report and block mode, with and without the
search-path hardening, and outside Program Files the agent's unsigned
libraries are reported but still loaded."""
# ctest: LOCKS=guard_console_report
import shutil
import uuid
from pathlib import Path

import pytest

from conftest import AGENT_FILES, CONSOLE_FILES, Agent, Install, answer, windows_path
from helpers.guard_rig import console_report, linux_path, read_report, switches  # noqa: F401

STATUS = {"Locations": {"Product": {"Version": "1.2.3.4"}}}


@pytest.fixture
def installed(tmp_path):
    """The console and the agent's libraries installed under Program Files,
    where libraries beside the executable are trusted, and the scripted agent."""
    root = linux_path(r"C:\Program Files") / f"GuardTest-{uuid.uuid4().hex[:10]}"
    install = Install(root, CONSOLE_FILES + AGENT_FILES)
    agent = Agent(tmp_path / "agent")
    install.env.update(agent.env)
    yield install, agent
    shutil.rmtree(root, ignore_errors=True)


@pytest.mark.parametrize("names", [
    ["teInterDll"],
    ["teInterDll_block"],
    ["teInterDll", "teSanPa"],
    ["teInterDll_block", "teSanPa"],
])
def test_commands_work_with_the_guard_on(installed, console_report, names):
    install, agent = installed
    agent.script({"answers": {"Product/GetStatus": answer(STATUS)}})
    result = install.run("/c", "GetVersion", "product", env=switches(*names))
    assert (result.stdout, result.returncode) == (b"1.2.3.4", 0)
    assert agent.calls() == [("Product", "GetStatus", {})]
    assert read_report(console_report) == []


def test_shell_runs_commands_with_the_guard_in_block_mode(installed, console_report):
    install, agent = installed
    agent.script({"answers": {"Product/GetStatus": answer(STATUS)}})
    result = install.run(stdin="GetVersion product\nbogus\nexit\n",
                         env=switches("teInterDll_block", "teSanPa"))
    assert (result.stdout, result.returncode) == (
        b"GetVersion product\r\n1.2.3.4\r\nbogus\r\ninvalid command\r\nexit\r\n", 0)
    assert agent.calls() == [("Product", "GetStatus", {})]


def test_outside_program_files_the_agent_libraries_are_reported_and_still_loaded(install, agent, console_report):
    agent.script({"answers": {"Product/GetStatus": answer(STATUS)}})
    result = install.run("/c", "GetVersion", "product", env=switches("teInterDll"))
    assert (result.stdout, result.returncode) == (b"1.2.3.4", 0)

    records = read_report(console_report)
    assert "tesdk.dll" in [Path(r["library"].replace("\\", "/")).name for r in records]
    for record in records:
        assert record["result"] == "VULNERABLE_PATH"
        assert record["checked_path"].lower().startswith("\\\\?\\" + windows_path(install.root).lower() + "\\")
        assert record["caller_module"] == windows_path(install.exe)


def reported(records):
    return sorted((r["library"], r["checked_path"].lower(), r["result"]) for r in records)


@pytest.mark.parametrize("start", ["windows", "windows\\system32"])
def test_started_in_the_windows_directory_the_console_reports_and_refuses_as_anywhere(install, agent, console_report,
                                                                                      tmp_path, start):
    agent.script({"answers": {"Product/GetStatus": answer(STATUS)}})
    elsewhere = tmp_path / "current"
    elsewhere.mkdir()
    windows_folder = linux_path("C:\\" + start)
    runs = {}
    for mode in ("teInterDll", "teInterDll_block"):
        for name, cwd in (("elsewhere", elsewhere), (start, windows_folder)):
            result = install.run("/c", "GetVersion", "product", env=switches(mode), cwd=cwd)
            runs[mode, name] = (result.stdout, result.returncode, reported(read_report(console_report)))
            linux_path(console_report).unlink(missing_ok=True)
    assert runs["teInterDll", "elsewhere"][2], "outside Program Files the agent's libraries are reported"
    for mode in ("teInterDll", "teInterDll_block"):
        assert runs[mode, start] == runs[mode, "elsewhere"], mode
