"""Planted libraries under the guard whatever the current directory: started
at the Windows directory or at System32 (where elevated consoles, services
and scheduled tasks start), a library the loader finds beside the executable,
in a PATH folder or by a relative path is reported or refused exactly as when
started elsewhere; and so is a library in the Windows directory's Temp folder."""
import shutil
import uuid

import pytest

from conftest import BIN_DIR, windows_path
from helpers.guard_rig import BLOCK, PLAIN, REPORT, UNTOUCHED_ERROR, linux_path, probe, read_report  # noqa: F401

# Below the Windows directory; None: a folder of the test's own.
START_FOLDERS = {"elsewhere": None, "windows": "", "system32": "system32"}


@pytest.fixture(scope="module")
def windows_folder():
    """The Linux view of C:\\windows."""
    return linux_path("C:\\windows")


@pytest.fixture
def windows_temp_library(windows_folder):
    """An unsigned library in <windir>\\Temp; its Windows path."""
    name = f"planted_{uuid.uuid4().hex[:10]}.dll"
    path = windows_folder / "temp" / name
    shutil.copy(BIN_DIR / PLAIN, path)
    yield "C:\\windows\\temp\\" + name
    path.unlink(missing_ok=True)


def plant(probe, tmp_path, where, windows_temp_library):
    """(requested name, the file the loader takes, extra environment)."""
    name = f"planted_{uuid.uuid4().hex[:10]}.dll"
    if where == "beside-the-executable":
        shutil.copy(BIN_DIR / PLAIN, probe.folder / name)
        return name, probe.library(name), {}
    if where == "path-folder":
        folder = tmp_path / "on_path"
        folder.mkdir()
        shutil.copy(BIN_DIR / PLAIN, folder / name)
        return name, windows_path(folder / name), {"WINEPATH": windows_path(folder)}
    if where == "relative-path":
        (probe.folder / "sub").mkdir()
        shutil.copy(BIN_DIR / PLAIN, probe.folder / "sub" / name)
        return "sub\\" + name, windows_path(probe.folder / "sub" / name), {}
    return windows_temp_library, windows_temp_library, {}


def start_folder(tmp_path, windows_folder, start):
    if START_FOLDERS[start] is None:
        folder = tmp_path / "current"
        folder.mkdir(exist_ok=True)
        return folder
    return windows_folder / START_FOLDERS[start]  # a Linux cwd in drive_c is that C:\ folder


WHERE = ["beside-the-executable", "path-folder", "relative-path", "windows-temp"]


@pytest.mark.parametrize("start", list(START_FOLDERS))
@pytest.mark.parametrize("where", WHERE)
def test_report_mode_reports_the_planted_library(probe, tmp_path, windows_folder, windows_temp_library, where, start):
    name, loaded, env = plant(probe, tmp_path, where, windows_temp_library)
    cwd = start_folder(tmp_path, windows_folder, start)
    lines = probe.run("load", name, "loada", name, env={**REPORT, **env}, cwd=cwd)
    assert [line.lower() for line in lines] == [
        "started: 1", f"load {name}: loaded {loaded}".lower(), f"loada {name}: loaded {loaded}".lower()]
    # The second load finds the library loaded already: one record.
    [record] = read_report(probe.report)
    assert record["library"] == name
    assert record["checked_path"].lower() == ("\\\\?\\" + loaded).lower()
    assert record["result"] == "VULNERABLE_PATH"
    assert record["function"] == "LoadLibraryW"


@pytest.mark.parametrize("start", list(START_FOLDERS))
@pytest.mark.parametrize("where", WHERE)
def test_block_mode_refuses_the_planted_library(probe, tmp_path, windows_folder, windows_temp_library, where, start):
    name, _, env = plant(probe, tmp_path, where, windows_temp_library)
    cwd = start_folder(tmp_path, windows_folder, start)
    lines = probe.run("load", name, "loadexa", name, "0", env={**BLOCK, **env}, cwd=cwd)
    assert lines == ["started: 1", f"load {name}: null, error {UNTOUCHED_ERROR}",
                     f"loadexa {name}: null, error {UNTOUCHED_ERROR}"]
    assert read_report(probe.report) == []
