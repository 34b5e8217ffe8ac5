"""guard-report, the operators' reader of the guard's report files: text and
CSV output, damaged records flagged, exit codes."""
import fcntl
import os
import select
import shutil
import struct
import subprocess
import termios
from pathlib import Path

import pytest

from conftest import BIN_DIR, WINE_RUN, windows_path
from helpers.terminal import pipe_text, visible_text

CRLF = b"\r\n"
# Two records written by the guard: an untrusted library and a recursive load.
SAMPLE = Path(__file__).resolve().parents[1] / "unit" / "dllguard" / "data" / "two_records.V2"

FIRST_RECORD = [
    b"Record 1 at offset 0 (192 bytes)",
    b"  Library:        one.dll",
    b"  Checked path:   \\\\?\\C:\\Users\\Public\\one.dll",
    b"  Result:         VULNERABLE_PATH",
    b"  Function:       LoadLibraryW",
    b"  Caller address: 0x7ff6a0c01234",
    b"  Caller module:  C:\\Program Files\\Agent\\Product.Console.exe",
    b"  Caller offset:  0x1234",
    b"  Information:    paths: exe: C:\\Program Files\\Agent prog: C:\\Program Files",
]
SECOND_RECORD = [
    b"Record 2 at offset 196 (112 bytes)",
    b"  Library:        recursive.dll",
    b"  Checked path:   ",
    b"  Result:         RECURSIVE_DLL_LOAD_LOADLIBRARY",
    b"  Function:       LoadLibraryExW",
    b"  Caller address: 0x7ff6a0c05678",
    b"  Caller module:  ",
    b"  Caller offset:  ",
    b"  Information:    loaded dlls: recursive.dll,",
]


def lines(*groups):
    return b"".join(line + CRLF for group in groups for line in group)


def run_reader(*args):
    proc = subprocess.run([WINE_RUN, str(BIN_DIR / "guard-report.exe"), *args],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return proc


@pytest.fixture
def report(tmp_path):
    """A copy of the sample report that a test may damage."""
    path = tmp_path / "dllReport.Product.Console.exe.V2"
    shutil.copy(SAMPLE, path)
    return path


def test_records_as_text(report):
    proc = run_reader(windows_path(report))
    assert proc.returncode == 0
    assert proc.stdout == lines(FIRST_RECORD, [b""], SECOND_RECORD, [b""],
                                [b"2 record(s): 2 valid, 0 truncated, 0 corrupt"])


def test_records_as_csv(report):
    proc = run_reader("--csv", windows_path(report))
    assert proc.returncode == 0
    assert proc.stdout == lines([
        b"record,offset,status,library,checked_path,result,function,caller_address,"
        b"caller_module,caller_offset,information,problem",
        b"1,0,valid,one.dll,\\\\?\\C:\\Users\\Public\\one.dll,VULNERABLE_PATH,LoadLibraryW,"
        b"0x7ff6a0c01234,C:\\Program Files\\Agent\\Product.Console.exe,0x1234,"
        b"paths: exe: C:\\Program Files\\Agent prog: C:\\Program Files,",
        b"2,196,valid,recursive.dll,,RECURSIVE_DLL_LOAD_LOADLIBRARY,LoadLibraryExW,"
        b"0x7ff6a0c05678,,,\"loaded dlls: recursive.dll,\",",
    ])


def test_cut_short_file_flags_the_last_record_truncated(report):
    data = report.read_bytes()
    report.write_bytes(data[:-5])
    proc = run_reader(windows_path(report))
    assert proc.returncode == 3
    assert proc.stdout == lines(FIRST_RECORD, [b""], [
        b"Record 2 at offset 196: TRUNCATED - the file ends 107 byte(s) into a record of 112 bytes",
        b"",
        b"2 record(s): 1 valid, 1 truncated, 0 corrupt",
    ])


def test_damaged_record_is_flagged_corrupt_and_the_next_still_read(report):
    data = bytearray(report.read_bytes())
    # A byte of the first record's last block: its separator and padding no
    # longer decipher. (Damage that leaves eight fields in place is not
    # detectable: records carry no checksum.)
    data[4 + 192 - 3] ^= 0xFF
    report.write_bytes(bytes(data))
    proc = run_reader(windows_path(report))
    assert proc.returncode == 3
    assert b"Record 1 at offset 0: CORRUPT - " in proc.stdout
    assert proc.stdout.endswith(lines(SECOND_RECORD, [b""],
                                      [b"2 record(s): 1 valid, 0 truncated, 1 corrupt"]))


def test_empty_report(tmp_path):
    empty = tmp_path / "empty.V2"
    empty.write_bytes(b"")
    proc = run_reader(windows_path(empty))
    assert proc.returncode == 0
    assert proc.stdout == lines([b"No records.", b"0 record(s): 0 valid, 0 truncated, 0 corrupt"])


def test_unreadable_file(tmp_path):
    proc = run_reader(windows_path(tmp_path / "missing.V2"))
    assert proc.returncode == 2
    assert proc.stdout == b""
    assert proc.stderr.startswith(b"guard-report: cannot read " + windows_path(tmp_path / "missing.V2").encode()
                                  + b": error 2")


@pytest.mark.parametrize("args, code", [
    pytest.param([], 1, id="no-file"),
    pytest.param(["--bogus", "x.V2"], 1, id="unknown-option"),
    pytest.param(["a.V2", "b.V2"], 1, id="two-files"),
])
def test_bad_command_lines_show_the_usage(args, code):
    proc = run_reader(*args)
    assert proc.returncode == code
    assert proc.stdout == b""
    assert b"Usage: guard-report [--csv] <report file>" in proc.stderr


def test_help(report):
    proc = run_reader("/?")
    assert proc.returncode == 0
    assert proc.stdout.startswith(b"Usage: guard-report [--csv] <report file>" + CRLF)
    assert b"  3  the report file holds truncated or corrupt records" + CRLF in proc.stdout



def _on_terminal(*args):
    """guard-report with both streams on a pseudo-terminal: its exit code and
    the text the screen shows."""
    master, slave = os.openpty()
    # Wide enough that no line of the test wraps.
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 400, 0, 0))
    try:
        proc = subprocess.Popen([WINE_RUN, str(BIN_DIR / "guard-report.exe"), *args],
                                stdin=subprocess.DEVNULL, stdout=slave, stderr=slave)
    finally:
        os.close(slave)
    raw = b""
    try:
        while select.select([master], [], [], 60)[0]:
            try:
                data = os.read(master, 4096)
            except OSError:  # the last writer has gone
                break
            if not data:
                break
            raw += data
    finally:
        os.close(master)
    return proc.wait(timeout=60), _screen(visible_text(raw))


def _screen(text):
    """Lines as a screen shows them: Wine's console does not send trailing blanks."""
    return "\n".join(line.rstrip(" ") for line in text.split("\n"))


def test_records_and_errors_show_on_a_terminal(tmp_path):
    """A person reading a report in a console window sees what a pipe gets,
    records and error messages alike."""
    copy = tmp_path / "two.V2"
    shutil.copyfile(SAMPLE, copy)
    code, text = _on_terminal(windows_path(copy))
    assert code == 0
    assert text == _screen(pipe_text(run_reader(windows_path(copy)).stdout))

    missing = windows_path(tmp_path / "missing.V2")
    code, text = _on_terminal(missing)
    assert code == 2
    assert text == _screen(pipe_text(run_reader(missing).stderr))
    assert text.startswith("guard-report: cannot read " + missing + ": error 2")
