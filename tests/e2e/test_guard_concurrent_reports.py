# ctest: TIMEOUT=300
"""Consoles started at the same moment in report mode share one report file:
each waits out the others' writes, at waits drawn at random so that writers
that met once do not meet again at every retry; every record of every
console is in the file, and each is whole."""
import os
import shutil
import subprocess

from conftest import BIN_DIR, WINE_RUN, windows_path
from helpers.guard_rig import PLAIN, REPORT, Probe, linux_path, read_report
CONSOLES = 32


def test_thirty_two_consoles_reporting_at_once_keep_every_record(tmp_path):
    probe = Probe(tmp_path / "probe")  # one executable name: one report file for all
    report = probe.prepare_report(REPORT)
    gate = tmp_path / "gate"
    env = {**os.environ, **REPORT}
    libraries = []
    consoles = []
    try:
        for console in range(CONSOLES):
            names = [f"console{console}_{which}.dll" for which in ("a", "b")]
            for name in names:
                shutil.copy(BIN_DIR / PLAIN, probe.folder / name)
            libraries += [probe.library(name) for name in names]
            steps = ["gate", windows_path(gate)] + [arg for name in names for arg in ("load", probe.library(name))]
            consoles.append(subprocess.Popen([WINE_RUN, str(probe.exe), *steps], stdout=subprocess.PIPE,
                                             stderr=subprocess.DEVNULL, env=env, cwd=probe.folder))
        # Every console has its guard running and waits at the gate; then all load at once.
        for proc in consoles:
            assert proc.stdout.readline() == b"started: 1\r\n"
        gate.write_bytes(b"")
        for proc in consoles:
            rest, _ = proc.communicate(timeout=120)
            assert proc.returncode == 0
            assert rest.count(b": loaded ") == 2, rest
    finally:
        for proc in consoles:
            if proc.poll() is None:
                proc.kill()
                proc.wait()

    records = read_report(report)  # every record whole, or this fails
    kept = sorted(record["library"] for record in records)
    assert kept == sorted(libraries), f"{len(kept)} of {len(libraries)} records kept"
    assert {record["result"] for record in records} == {"VULNERABLE_PATH"}
    linux_path(report).unlink(missing_ok=True)
