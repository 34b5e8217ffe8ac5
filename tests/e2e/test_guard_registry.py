"""The guard's switches in the registry: the "teInterDll" and "teSanPa"
values under the Image File Execution Options key of the executable's file
name (here, a probe copied under a name of the test's own)."""
# ctest: LOCKS=registry
import pytest

from conftest import windows_path
from helpers.guard_rig import IFEO_KEY, REPORT_FOLDER_NAME, Probe, linux_path, read_report, switches, wine


@pytest.fixture
def probe(tmp_path):
    probe = Probe(tmp_path / "probe")
    probe.key = IFEO_KEY + "\\" + probe.name
    program_data = probe.run("env", "ProgramData")[1].split(": ", 1)[1]
    # Without a folder from the environment the report goes beside the
    # executable (elevated) or under ProgramData.
    probe.report_candidates = [probe.folder / f"dllReport.{probe.name}.V2",
                               linux_path(f"{program_data}\\{REPORT_FOLDER_NAME}\\dllReport.{probe.name}.V2")]
    yield probe
    wine("reg", "delete", probe.key, "/f", check=False)
    for candidate in probe.report_candidates:
        candidate.unlink(missing_ok=True)


def set_values(probe, values):
    for name, value in values.items():
        kind, data = ("REG_DWORD", str(value)) if isinstance(value, int) else ("REG_SZ", value)
        wine("reg", "add", probe.key, "/v", name, "/t", kind, "/d", data, "/f")


@pytest.mark.parametrize("values, names, started, results", [
    pytest.param({"teInterDll": 5}, [], "1", ["VULNERABLE_PATH"], id="any-non-zero-value-reports"),
    pytest.param({"teInterDll": 1}, ["teInterDll_no_report"], "1", [], id="no-report-variable-drops-events"),
    pytest.param({"teInterDll": 0}, [], "0", [], id="zero"),
    pytest.param({"teInterDll": "5"}, [], "0", [], id="not-a-dword"),
    pytest.param({"teInterDll": 5}, ["teInterDll_disabled"], "0", [], id="disabled-variable-wins"),
    pytest.param({"teSanPa": 1}, [], "0", [], id="other-value-only"),
])
def test_interception_value(probe, values, names, started, results):
    set_values(probe, values)
    library = probe.library()
    lines = probe.run("load", library, "report", env=switches(*names))
    assert lines[:2] == [f"started: {started}", f"load {library}: loaded {library}"]
    report = lines[2][len("report: "):]
    if results:
        assert [r["result"] for r in read_report(report)] == results
        assert linux_path(report) in probe.report_candidates
    else:
        assert not any(candidate.exists() for candidate in probe.report_candidates)


@pytest.mark.parametrize("value, names, hardened", [
    pytest.param(1, [], True, id="one"),
    pytest.param(2, [], False, id="only-one-counts"),
    pytest.param(0, ["teSanPa"], True, id="variable-without-the-value"),
    pytest.param(1, ["teSanPa_disabled"], False, id="disabled-variable-wins"),
])
def test_search_path_value(probe, value, names, hardened):
    inherited = probe.run("env", "PATH")[1]
    set_values(probe, {"teSanPa": value})
    path = probe.run("env", "PATH", env=switches(*names))[1]
    if hardened:
        assert path.lower() == f"path: {windows_path(probe.folder)};c:\\windows\\system32".lower()
    else:
        assert path == inherited
