"""Publisher pinning through the console: with teInterDll_same_publisher=1 a
library that the agent's integration library loads inside
Product.Console.exe from outside the trusted places passes by its signature
only when it is signed by the console's own signer. The build signs the
console and a test library with a throw-away certificate A and another copy
with B; Wine checks signatures and digests but builds no chain to a trusted
root, so any valid signature counts as such."""
# ctest: LOCKS=guard_console_report,registry
import pytest

from conftest import BIN_DIR
from helpers.guard_rig import (UNTOUCHED_ERROR, LoadingConsole, console_report, read_report,  # noqa: F401
                               switches)
from conftest import windows_path

SIGNED_CONSOLE = BIN_DIR / "guard_signed_console" / "Product.Console.exe"
PINNED = {"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll_same_publisher": "1"}


@pytest.fixture
def libraries(tmp_path):
    """{what: Windows path} of the libraries, in a folder of the test's own."""
    folder = tmp_path / "libraries"
    folder.mkdir()
    copies = {"A": "guard_test_signed.dll", "B": "guard_test_signed_b.dll", "unsigned": "guard_test_library.dll"}
    paths = {}
    for what, name in copies.items():
        (folder / f"{what}.dll").write_bytes((BIN_DIR / name).read_bytes())
        paths[what] = windows_path(folder / f"{what}.dll")
    altered = bytearray((BIN_DIR / copies["A"]).read_bytes())
    altered[len(altered) // 3] ^= 0x55
    (folder / "altered.dll").write_bytes(bytes(altered))
    paths["A, altered after signing"] = windows_path(folder / "altered.dll")
    return paths


def console_of(tmp_path, signed):
    return LoadingConsole(tmp_path / "loads.txt", SIGNED_CONSOLE if signed else BIN_DIR / "Product.Console.exe")


# (console signed by A, publisher pinning, the libraries that pass)
CASES = [
    pytest.param(True, True, {"A"}, id="console-A-pinned"),
    pytest.param(True, False, {"A", "B"}, id="console-A-not-pinned"),
    pytest.param(False, True, set(), id="console-unsigned-pinned"),
]


@pytest.mark.parametrize("signed,pinned,passing", CASES)
def test_report_mode_reports_what_does_not_pass(tmp_path, console_report, libraries, signed, pinned, passing):
    console = console_of(tmp_path, signed)
    try:
        loads = console.load(list(libraries.values()), {**switches("teInterDll"), **(PINNED if pinned else {})})
    finally:
        console.remove()
    for what, path in libraries.items():
        assert loads[path].lower() == f"loaded {path}".lower(), what
    records = read_report(console_report)
    assert sorted(r["library"] for r in records) == sorted(p for w, p in libraries.items() if w not in passing)
    for record in records:
        assert record["result"] == "VULNERABLE_PATH"
        assert record["checked_path"].lower() == ("\\\\?\\" + record["library"]).lower()


@pytest.mark.parametrize("signed,pinned,passing", CASES)
def test_block_mode_refuses_what_does_not_pass(tmp_path, console_report, libraries, signed, pinned, passing):
    console = console_of(tmp_path, signed)
    try:
        loads = console.load(list(libraries.values()), {**switches("teInterDll_block"), **(PINNED if pinned else {})})
    finally:
        console.remove()
    for what, path in libraries.items():
        expected = f"loaded {path}" if what in passing else f"null, error {UNTOUCHED_ERROR}"
        assert loads[path].lower() == expected.lower(), what
    assert read_report(console_report) == []
