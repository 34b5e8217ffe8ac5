"""The reproducibility check's comparison of two releases, on copies of the
build's unsigned release with one deliberate difference each, and the
archives made a second time from the same build, which must be the same."""
# ctest: TIMEOUT=600 FIXTURES=package LOCKS=packaging
import os
import shutil
import subprocess
import sys
import time
import zipfile
from pathlib import Path

import pytest

from conftest import BIN_DIR

VERSION = os.environ.get("PRODUCT_VERSION", "")
BUILD = BIN_DIR.parent
UNSIGNED = BUILD / "packages" / "unsigned"
RELEASE = Path(__file__).resolve().parents[2] / "scripts" / "release"
BASE = f"Product.Console-{VERSION}-win64"
AGENT_ARCHIVE = f"{BASE}-with-simulated-agent.zip"
CONSOLE_EXE = f"{BASE}-with-simulated-agent/Product.Console.exe"


def compare(first, second):
    return subprocess.run([sys.executable, str(RELEASE / "compare_releases.py"), str(first), str(second)],
                          capture_output=True, text=True)


def rewrite(path, change):
    """Writes the archive again with change(infos and data) applied."""
    with zipfile.ZipFile(path) as archive:
        entries = [(info, archive.read(info)) for info in archive.infolist()]
    entries = change(entries)
    with zipfile.ZipFile(path, "w") as archive:
        for info, data in entries:
            archive.writestr(info, data)


def in_entry(name, change):
    return lambda entries: [(i, change(i, d)) if i.filename == name else (i, d) for i, d in entries]


def changed_code(info, data):
    # As a changed source file changes the binary: other bytes in its code.
    at = 0x1000 + 0x40
    return data[:at] + bytes([data[at] ^ 0x01]) + data[at + 1:]


def later(info, data):
    info.date_time = (info.date_time[0] + 1,) + info.date_time[1:]
    return data


def executable(info, data):
    info.external_attr = 0o100755 << 16
    return data


CASES = {
    "a changed binary": (lambda f: rewrite(f / AGENT_ARCHIVE, in_entry(CONSOLE_EXE, changed_code)),
                         f"{AGENT_ARCHIVE}: {CONSOLE_EXE} differs"),
    "an entry's time": (lambda f: rewrite(f / AGENT_ARCHIVE, in_entry(CONSOLE_EXE, later)),
                        f"{AGENT_ARCHIVE}: {CONSOLE_EXE}: date_time"),
    "an entry's mode": (lambda f: rewrite(f / AGENT_ARCHIVE, in_entry(CONSOLE_EXE, executable)),
                        f"{AGENT_ARCHIVE}: {CONSOLE_EXE}: external_attr"),
    "the entries' order": (lambda f: rewrite(f / AGENT_ARCHIVE, lambda e: list(reversed(e))),
                           f"{AGENT_ARCHIVE}: the entries are in another order"),
    "an entry more": (lambda f: rewrite(f / AGENT_ARCHIVE, lambda e: e + [(zipfile.ZipInfo("extra.txt"), b"x")]),
                      f"{AGENT_ARCHIVE}: extra.txt only in the second"),
    "a missing file": (lambda f: (f / f"{BASE}.spdx.json").unlink(), f"{BASE}.spdx.json only in"),
    "a changed text file": (lambda f: (f / f"{BASE}.spdx.json").write_text("{}"), f"{BASE}.spdx.json differs"),
}


@pytest.fixture(scope="module")
def first(tmp_path_factory):
    folder = tmp_path_factory.mktemp("first") / "unsigned"
    shutil.copytree(UNSIGNED, folder)
    return folder


def test_the_same_release_passes(first, tmp_path):
    second = tmp_path / "second"
    shutil.copytree(first, second)
    result = compare(first, second)
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.endswith("byte for byte the same\n")


@pytest.mark.parametrize("case", CASES)
def test_a_difference_fails_the_check_and_is_named(first, tmp_path, case):
    change, expected = CASES[case]
    second = tmp_path / "second"
    shutil.copytree(first, second)
    change(second)
    result = compare(first, second)
    assert result.returncode == 1, result.stdout
    assert expected in result.stdout, result.stdout
    assert "difference(s)" in result.stderr


def test_the_archives_made_again_later_from_the_same_build_are_the_same(first, tmp_path):
    time.sleep(2)  # past the two-second steps of ZIP times
    again = tmp_path / "again"
    subprocess.run([sys.executable, str(RELEASE / "make_archives.py"), str(BUILD / "packaging" / "release.json"),
                    "--output", str(again)], check=True, capture_output=True)
    result = compare(first, again)
    assert result.returncode == 0, result.stdout + result.stderr
