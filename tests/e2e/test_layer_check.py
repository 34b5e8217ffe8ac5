"""The layers, as the build enforces them. In a small project built with the
same layer functions (cmake/Layers.cmake), the compiler and the toolchain of
the real build, an include that looks up or sideways fails the build however
it is written: the compiler does not find it, since a layer's library exports
only its own headers, or the check refuses what the compiler found, which it
reads from the compiler's dependency file. An include that looks down passes.
In the real build every compile of our code goes through the check, each
layer with the layers below it, and the README's table is the CMake graph."""
# ctest: TIMEOUT=600
import json
import os
import re
import shlex
import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ["PRODUCT_BIN_DIR"]).parent

# The probe project's graph: integration and dllguard stand on base, commands
# on integration.
LAYERS = {"base": [], "integration": ["base"], "commands": ["integration"], "dllguard": ["base"]}
HEADERS = {
    "base/base.h": "#pragma once\nconstexpr int base = 1;\n",
    "integration/api.h": '#pragma once\n#include "base/base.h"\nconstexpr int api = base;\n',
    "integration/forward.h": '#pragma once\n#include "../commands/command.h"\n',
    "commands/command.h": "#pragma once\nconstexpr int command = 2;\n",
    "commands/command.inl": "constexpr int inline_command = 3;\n",
    "commands/command_table": "constexpr int table_command = 4;\n",
}
NOT_FOUND = "No such file or directory"
UP = "a file of layer commands, which product_integration may not use"

# (case, layer whose library compiles it, folder of src/ it lies in, text,
# what refuses it: None when it passes)
CASES = [
    ("quoted", "integration", "integration", '#include "commands/command.h"', NOT_FOUND),
    ("angle", "integration", "integration", "#include <commands/command.h>", NOT_FOUND),
    ("relative", "integration", "integration", '#include "../commands/command.h"', UP),
    ("macro", "integration", "integration", '#define HEADER "../commands/command.h"\n#include HEADER', UP),
    ("inl", "integration", "integration", '#include "../commands/command.inl"', UP),
    ("no_suffix", "integration", "integration", '#include "../commands/command_table"', UP),
    ("absolute", "integration", "integration", '#include "@SRC@/commands/command.h"', UP),
    ("through_own_header", "integration", "integration", '#include "integration/forward.h"', UP),
    ("up_from_own_root", "integration", "integration", '#include "integration/../commands/command.h"', UP),
    ("sideways", "dllguard", "dllguard", '#include "integration/api.h"', NOT_FOUND),
    ("sideways_relative", "dllguard", "dllguard", '#include "../integration/api.h"',
     "a file of layer integration, which product_dllguard may not use"),
    ("stray_source", "integration", "commands", "",
     "is a file of layer commands, not of layer integration, whose library it is compiled into"),
    ("down", "commands", "commands", '#include "integration/api.h"\n#include <base/base.h>', None),
    ("down_relative", "commands", "commands", '#include "../integration/api.h"', None),
    ("own", "integration", "integration", '#include "integration/api.h"', None),
]
# (case, text, refusal) of targets outside the layers: two that use
# integration (through use_layers, through a plain link), one that uses none.
OUTSIDE = [
    ("user_up", '#include "../src/commands/command.h"', "a file of layer commands, which outside_user_up may not use"),
    ("user_down", '#include "integration/api.h"', None),
    ("linked_up", '#include "../src/commands/command.h"', "a file of layer commands, which outside_linked may not use"),
    ("linked_down", '#include "integration/api.h"', None),
    ("none", '#include "../src/base/base.h"', "a file of layer base, which outside_none may not use"),
]


def write(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text)


def probe_project(folder, launcher):
    src = folder / "src"
    for name, text in HEADERS.items():
        write(src / name, text)
    lines = ["cmake_minimum_required(VERSION 3.25)", "project(LayerProbe LANGUAGES CXX)",
             f"include({ROOT}/cmake/Layers.cmake)"]
    lines += [f"add_layer({name}{' USES ' + ' '.join(uses) if uses else ''})" for name, uses in LAYERS.items()]
    lines += ["check_layer_folders()", "target_sources(product_base PRIVATE src/base/base.cpp)"]
    write(src / "base/base.cpp", '#include "base/base.h"\nint base_value() { return base; }\n')
    for case, layer, home, text, _ in CASES:
        write(src / home / f"{case}.cpp", text.replace("@SRC@", str(src)) + f"\nint {case}() {{ return 0; }}\n")
        lines.append(f"target_sources(product_{layer} PRIVATE src/{home}/{case}.cpp)")
    outside = ["add_library(outside_user_up STATIC user_up.cpp)", "use_layers(outside_user_up integration)",
               "add_library(outside_user_down STATIC user_down.cpp)", "use_layers(outside_user_down integration)",
               "add_library(outside_linked STATIC linked_up.cpp linked_down.cpp)",
               "target_link_libraries(outside_linked PRIVATE product_integration)",
               "add_library(outside_none STATIC none.cpp)"]
    for case, text, _ in OUTSIDE:
        write(folder / "outside" / f"{case}.cpp", text + f"\nint outside_{case}() {{ return 0; }}\n")
    write(folder / "outside/CMakeLists.txt", "\n".join(outside) + "\n")
    lines += ["add_subdirectory(outside)", "check_layers_of_all_targets()"]
    write(folder / "CMakeLists.txt", "\n".join(lines) + "\n")
    configure = ["cmake", "-S", str(folder), "-B", str(folder / "build"), "-G", "Ninja",
                 f"-DCMAKE_TOOLCHAIN_FILE={ROOT}/cmake/toolchain-mingw-w64-x86_64.cmake"]
    if launcher:
        configure.append(f"-DCMAKE_CXX_COMPILER_LAUNCHER={launcher}")
    proc = subprocess.run(configure, capture_output=True, text=True, timeout=300)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    return folder / "build"


def build(folder, env):
    """Ninja's output per object that failed, and the objects that exist."""
    proc = subprocess.run(["ninja", "-C", str(folder), "-k", "0"], capture_output=True, text=True,
                          timeout=300, env=env)
    failed = {}
    for block in re.split(r"^FAILED: ", proc.stdout, flags=re.MULTILINE)[1:]:
        failed[Path(block.split("\n", 1)[0].strip()).name] = block
    built = {path.name for path in folder.rglob("*.obj")}
    return proc.returncode, failed, built


def ccache_hits(env):
    stats = subprocess.run(["ccache", "--print-stats"], capture_output=True, text=True, env=env).stdout
    counters = dict(line.split("\t") for line in stats.splitlines() if "\t" in line)
    return int(counters.get("direct_cache_hit", 0)) + int(counters.get("preprocessed_cache_hit", 0))


CHAINS = [pytest.param(None, id="compiler"),
          pytest.param("ccache", id="ccache-chain",
                       marks=pytest.mark.skipif(shutil.which("ccache") is None, reason="no ccache"))]


@pytest.mark.parametrize("launcher", CHAINS)
def test_includes_that_look_up_or_sideways_fail_the_build(tmp_path, launcher):
    env = dict(os.environ, CCACHE_DIR=str(tmp_path / "ccache"))
    folder = probe_project(tmp_path / "probe", launcher)
    expected = {f"{case}.cpp.obj": refusal for case, _, _, _, refusal in CASES}
    expected.update({f"{case}.cpp.obj": refusal for case, _, refusal in OUTSIDE})
    # The second build runs every refused compile again, from the cache with
    # ccache: a refusal leaves no object behind that could pass for built.
    for attempt in range(2):
        status, failed, built = build(folder, env)
        assert status != 0
        for obj, refusal in expected.items():
            if refusal is None:
                assert obj in built and obj not in failed, failed.get(obj)
            else:
                assert obj not in built and obj in failed, f"{obj} was not refused"
                assert refusal in failed[obj], failed[obj]
        if launcher and attempt == 0:
            hits_before = ccache_hits(env)
    if launcher:
        checked = [refusal for refusal in expected.values() if refusal not in (None, NOT_FOUND)]
        assert ccache_hits(env) - hits_before >= len(checked)


def closure(graph, layer):
    below = {layer}
    for used in graph[layer]:
        below |= closure(graph, used)
    return below


def real_graph():
    lines = (BUILD / "layers.txt").read_text().splitlines()
    return {name: uses.split() for name, uses in (line.split(":", 1) for line in lines)}


def test_every_compile_of_the_real_build_goes_through_the_check():
    graph = real_graph()
    assert set(graph) == {path.name for path in (ROOT / "src").iterdir() if path.is_dir()}
    compdb = json.loads(subprocess.run(["ninja", "-C", str(BUILD), "-t", "compdb"], capture_output=True,
                                       text=True, check=True, timeout=120).stdout)
    ours = []
    for entry in compdb:
        source = (Path(entry["directory"]) / entry["file"]).resolve()
        compiled = entry.get("output", "").endswith(".obj") and source.suffix in (".c", ".cpp")
        if compiled and source.is_relative_to(ROOT) and ".cache" not in source.parts:
            ours.append((source, entry))
    assert len(ours) > 100
    layer_files = 0
    for source, entry in ours:
        words = shlex.split(entry["command"])
        # The check is the first launcher: the interpreter and its options, then the script.
        check = str(ROOT / "scripts" / "check_layers.py")
        assert check in words[:4] and "--" in words, entry["command"]
        at = words.index(check)
        target, src, may_use, own = words[at + 1:at + 5]
        assert src == str(ROOT / "src")
        match = re.fullmatch(r"product_(\w+)", target)
        if match and match.group(1) in graph:
            layer = match.group(1)
            assert own == layer and set(may_use.split(",")) == closure(graph, layer), entry["command"]
            assert not source.is_relative_to(ROOT / "src") or source.is_relative_to(ROOT / "src" / layer)
            layer_files += 1
        else:
            assert own == "", entry["command"]
    assert layer_files > 50
    console = [entry for source, entry in ours if source == ROOT / "src" / "entry" / "main.cpp"]
    assert len(console) == 1 and " Product.Console " in console[0]["command"]


def test_readme_table_is_the_layer_graph():
    readme = (ROOT / "README.md").read_text()
    section = readme.split("\n## Layers\n", 1)[1].split("\n## ", 1)[0]
    rows = re.findall(r"^\| `([a-z]+)` \| ([^|]*)\|", section, flags=re.MULTILINE)
    table = {layer: [name.strip("` ") for name in uses.split(",") if name.strip()] for layer, uses in rows}
    assert list(table) == list(real_graph()) and table == real_graph()
