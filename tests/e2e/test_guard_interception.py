"""The DLL load guard in a running process: guard_probe starts it from its
environment switches exactly as the console does, then loads libraries;
what was loaded from where, and the report file read back with guard-report."""
import re
import shutil
import subprocess

import pytest

from conftest import BIN_DIR, WINE_RUN, windows_path
from helpers.guard_rig import (BLOCK, PLAIN, RECURSIVE, REPORT, UNTOUCHED_ERROR, probe, read_report,  # noqa: F401
                               switches)


@pytest.mark.parametrize("step, flags, function", [
    ("load", [], "LoadLibraryW"),
    ("loadex", ["0"], "LoadLibraryExW"),
    ("loada", [], "LoadLibraryA"),
    ("loadexa", ["0"], "LoadLibraryExA"),
])
def test_report_mode_records_an_unsigned_library_and_loads_it(probe, step, flags, function):
    library = probe.library()
    program_files = probe.run("env", "ProgramFiles")[1].split(": ", 1)[1]
    assert probe.run(step, library, *flags, env=REPORT) == ["started: 1", f"{step} {library}: loaded {library}"]
    [record] = read_report(probe.report)
    assert record["library"] == library
    assert record["checked_path"] == "\\\\?\\" + library
    assert record["result"] == "VULNERABLE_PATH"
    assert record["function"] == function
    assert re.fullmatch(r"0x[0-9a-f]+", record["caller_address"])
    assert record["caller_module"] == windows_path(probe.exe)
    assert re.fullmatch(r"0x[0-9a-f]+", record["caller_offset"])
    assert record["information"] == f"paths: exe: {windows_path(probe.folder)} prog: {program_files}"


def test_block_mode_refuses_it_leaving_the_last_error_and_writes_nothing(probe):
    library = probe.library()
    lines = probe.run("load", library, "loada", library, "loadex", library, "0", "loadexa", library, "8", env=BLOCK)
    assert lines == ["started: 1"] + [f"{step} {library}: null, error {UNTOUCHED_ERROR}"
                                      for step in ("load", "loada", "loadex", "loadexa")]
    assert read_report(probe.report) == []


@pytest.mark.parametrize("flags, passes", [
    pytest.param("800", True, id="system32-only"),
    pytest.param("2", True, id="data-file"),
    pytest.param("40", True, id="exclusive-data-file"),
    pytest.param("22", True, id="data-file-and-image-resource"),
    pytest.param("900", False, id="system32-and-load-dir"),
    pytest.param("1000", False, id="default-dirs"),
])
@pytest.mark.parametrize("step", ["loadex", "loadexa"])
def test_pass_through_flags_skip_every_check_even_in_block_mode(probe, step, flags, passes):
    library = probe.library()
    lines = probe.run(step, library, flags, env=BLOCK)
    outcome = lines[1][len(f"{step} {library}: "):]
    if passes:
        assert outcome.startswith("loaded")
    else:
        assert outcome == f"null, error {UNTOUCHED_ERROR}"
    assert read_report(probe.report) == []


@pytest.mark.parametrize("where, name, plant_wins_unguarded", [
    pytest.param("executable", "msimg32.dll", True, id="beside-the-executable"),
    pytest.param("current", "sfc.dll", None, id="in-the-current-directory"),
])
def test_bare_name_present_in_system32_is_taken_from_system32(probe, tmp_path, where, name, plant_wins_unguarded):
    current = tmp_path / "current"
    current.mkdir()
    folder = probe.folder if where == "executable" else current
    shutil.copy(BIN_DIR / PLAIN, folder / name)
    planted = windows_path(folder / name)

    if plant_wins_unguarded:  # without the guard the planted copy is found first
        assert probe.run("load", name, cwd=current)[1] == f"load {name}: loaded {planted}"
    lines = probe.run("load", name, "loada", name, env=REPORT, cwd=current)
    assert [line.lower() for line in lines] == [
        "started: 1",
        f"load {name}: loaded c:\\windows\\system32\\{name}",
        f"loada {name}: loaded c:\\windows\\system32\\{name}",
    ]
    assert read_report(probe.report) == []


def test_library_loading_itself_gives_one_recursion_record_and_the_nested_load_succeeds(probe):
    library = probe.library(RECURSIVE)
    lines = probe.run("load", library, "nested", RECURSIVE, env=REPORT)
    assert lines == ["started: 1", f"load {library}: loaded {library}", "nested: same module"]
    records = read_report(probe.report)
    # The outer load is reported before the library runs, the nested one while it runs.
    assert [r["result"] for r in records] == ["VULNERABLE_PATH", "RECURSIVE_DLL_LOAD_LOADLIBRARY"]
    nested = records[1]
    assert re.fullmatch(r"0x[0-9a-f]+", nested["caller_address"])
    del nested["caller_address"]
    assert nested == {
        "record": "2", "offset": nested["offset"], "status": "valid", "library": library, "checked_path": "",
        "result": "RECURSIVE_DLL_LOAD_LOADLIBRARY", "function": "LoadLibraryW", "caller_module": "",
        "caller_offset": "", "information": f"loaded dlls: {library},", "problem": "",
    }


@pytest.mark.parametrize("names, started", [
    (["teInterDll", "teInterDll_disabled"], "0"),
    (["teInterDll_block", "teInterDll_disabled"], "0"),
    (["teInterDll", "teInterDll_block", "teInterDll_disabled"], "0"),
    # Without an interception variable the registry decides: this probe has no value there.
    (["teInterDll_no_report"], "0"),
    # Events are produced and dropped.
    (["teInterDll", "teInterDll_no_report"], "1"),
])
def test_switches_that_let_an_untrusted_library_load_without_a_record(probe, names, started):
    library = probe.library()
    assert probe.run("load", library, env=switches(*names)) == [f"started: {started}",
                                                                 f"load {library}: loaded {library}"]
    assert read_report(probe.report) == []


def test_block_mode_without_reports_still_blocks(probe):
    library = probe.library()
    lines = probe.run("load", library, env=switches("teInterDll_block", "teInterDll_no_report"))
    assert lines == ["started: 1", f"load {library}: null, error {UNTOUCHED_ERROR}"]
    assert read_report(probe.report) == []


@pytest.mark.parametrize("names, hardened", [
    ([], False),
    (["teSanPa"], True),
    (["teSanPa", "teSanPa_disabled"], False),
    (["teSanPa_disabled"], False),
])
def test_search_path_hardening(probe, tmp_path, names, hardened):
    current = tmp_path / "current"
    current.mkdir()
    shutil.copy(BIN_DIR / PLAIN, current / "onlyhere.dll")
    inherited = probe.run("env", "PATH")[1]

    lines = probe.run("env", "PATH", "load", "onlyhere.dll", env=switches(*names), cwd=current)
    if hardened:
        # Default directories only: the current directory is no longer searched.
        assert [line.lower() for line in lines] == [
            "started: 0",
            f"path: {windows_path(probe.folder)};c:\\windows\\system32".lower(),
            "load onlyhere.dll: null, error 126",
        ]
    else:
        assert lines == ["started: 0", inherited, f"load onlyhere.dll: loaded {windows_path(current / 'onlyhere.dll')}"]


def test_load_timing_program_measures_all_three_phases():
    proc = subprocess.run([WINE_RUN, str(BIN_DIR / "guard_load_timing.exe"), "2000"],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    assert proc.returncode == 0
    lines = proc.stdout.decode().splitlines()
    assert lines[0] == "iterations: 2000 x 5 rounds"
    assert re.fullmatch(r"unhooked: \d+ ns per call \(before \d+, after \d+\)", lines[1])
    assert re.fullmatch(r"hooked: \d+ ns per call", lines[2])
    assert re.fullmatch(r"overhead: -?\d+ ns per call \(\d+\.\d\dx\)", lines[3])
