"""The build's layer check: an include that looks up or sideways fails it,
one that looks down passes, and the tree as it stands passes."""
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
CHECK = ROOT / "scripts" / "check_layers.py"


def check(src):
    return subprocess.run([sys.executable, str(CHECK), str(src)], capture_output=True, text=True, timeout=60)


@pytest.mark.parametrize("includer, included, passes", [
    pytest.param("integration/probe.h", "commands/product/product_status.h", False, id="integration-up-to-commands"),
    pytest.param("dllguard/probe.h", "json/json_values.h", False, id="dllguard-sideways-to-json"),
    pytest.param("console/probe.h", "console/entry/shell.h", False, id="console-up-to-entry"),
    pytest.param("integration/boundary/probe.h", "json/json_values.h", False, id="boundary-up-to-json"),
    pytest.param("commands/probe.h", "integration/agent_request.h", True, id="commands-down-to-integration"),
    pytest.param("console/entry/probe.h", "dllguard/startup/guard_startup.h", True, id="entry-down-to-dllguard"),
])
def test_includes_must_look_down(tmp_path, includer, included, passes):
    (tmp_path / included).parent.mkdir(parents=True, exist_ok=True)
    (tmp_path / included).write_text("#pragma once\n")
    (tmp_path / includer).parent.mkdir(parents=True, exist_ok=True)
    (tmp_path / includer).write_text(f'#pragma once\n#include "{included}"\n')
    proc = check(tmp_path)
    assert (proc.returncode == 0) == passes, proc.stderr
    if not passes:
        assert f'{tmp_path / includer}:2: ' in proc.stderr
        assert f'includes "{included}"' in proc.stderr


def test_the_tree_looks_down():
    proc = check(ROOT / "src")
    assert proc.returncode == 0, proc.stderr
