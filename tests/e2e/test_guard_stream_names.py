"""Stream names of the Windows directory's user-writable folders, through the
console: a library that the agent's integration library loads inside
Product.Console.exe by the name C:\\windows\\tasks:x.dll or
C:\\windows\\temp:x.dll is checked and reported in report mode and refused in
block mode, while the canonical names of those folders and of the trusted
places are handled as they were. On NTFS such a name is a stream of the
folder, which a standard user may create; Wine has no streams but takes ":"
as part of a file name, so a file "tasks:x.dll" in the Windows directory
stands for the stream here and the loads really happen."""
# ctest: LOCKS=guard_console_report,registry
import shutil
import uuid

import pytest

from conftest import BIN_DIR
from helpers.guard_rig import (UNTOUCHED_ERROR, LoadingConsole, console_report, linux_path,  # noqa: F401
                               read_report, switches)

LIBRARY = "guard_test_library.dll"  # unsigned


@pytest.fixture
def console(tmp_path):
    console = LoadingConsole(tmp_path / "loads.txt")
    yield console
    console.remove()


@pytest.fixture
def planted():
    """{what: Windows name} of unsigned libraries: streams of Tasks and Temp,
    and canonical names in Tasks, Temp, the Windows directory and System32."""
    tag = uuid.uuid4().hex[:10]
    names = {
        "tasks stream": f"tasks:{tag}.dll",
        "temp stream": f"temp:{tag}.dll",
        "tasks": f"tasks\\{tag}.dll",
        "temp": f"temp\\{tag}.dll",
        "windows": f"{tag}.dll",
        "system32": f"system32\\{tag}.dll",
    }
    windows = linux_path("C:\\windows")
    files = [windows / relative.replace("\\", "/") for relative in names.values()]
    for file in files:
        shutil.copy(BIN_DIR / LIBRARY, file)
    yield {what: "C:\\windows\\" + relative for what, relative in names.items()}
    for file in files:
        file.unlink(missing_ok=True)


CHECKED = ["tasks stream", "temp stream", "tasks", "temp"]
TRUSTED = ["windows", "system32"]


def test_report_mode_checks_and_reports_stream_names(console, console_report, planted):
    loads = console.load(list(planted.values()), switches("teInterDll"))
    for what, name in planted.items():
        assert loads[name].lower() == f"loaded {name}".lower(), what
    records = {r["library"]: r for r in read_report(console_report)}
    assert sorted(records) == sorted(planted[what] for what in CHECKED)
    for what in CHECKED:
        record = records[planted[what]]
        assert record["checked_path"].lower() == ("\\\\?\\" + planted[what]).lower(), what
        assert (record["result"], record["function"]) == ("VULNERABLE_PATH", "LoadLibraryW"), what
        assert record["caller_module"].lower().endswith("\\tesdk.dll"), what


def test_block_mode_refuses_stream_names(console, console_report, planted):
    loads = console.load(list(planted.values()), switches("teInterDll_block"))
    for what in CHECKED:
        assert loads[planted[what]] == f"null, error {UNTOUCHED_ERROR}", what
    for what in TRUSTED:
        assert loads[planted[what]].lower() == f"loaded {planted[what]}".lower(), what
    assert read_report(console_report) == []
