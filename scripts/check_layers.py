#!/usr/bin/env python3
"""Fails when a source file under src/ includes a header of a layer that its
own layer does not build on. A file belongs to the layer of the longest
folder prefix listed; it may include its own layer and the layers named for it.

  check_layers.py SRC_DIR [STAMP_FILE]"""
import re
import sys
from pathlib import Path

# (layer, folders, the layers it builds on); bottom first.
LAYERS = [
    ("base", ["base/"], []),
    ("boundary", ["integration/boundary/"], ["base"]),
    ("json", ["json/"], ["base", "boundary"]),
    ("integration", ["integration/"], ["base", "boundary", "json"]),
    ("console", ["console/"], ["base", "boundary", "json", "integration"]),
    ("commands", ["commands/"], ["base", "boundary", "json", "integration", "console"]),
    ("telemetry", ["telemetry/"], ["base", "boundary", "json", "integration", "console"]),
    ("dllguard", ["dllguard/"], ["base"]),
    ("entry", ["console/entry/"], ["base", "boundary", "json", "integration", "console", "commands",
                                   "telemetry", "dllguard"]),
]

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*"([^"]+)"', re.MULTILINE)


def layer_of(path):
    """(name, allowed layers) of the layer that holds `path` (relative to src/), or None."""
    best = None
    for name, prefixes, below in LAYERS:
        for prefix in prefixes:
            if path.startswith(prefix) and (best is None or len(prefix) > best[2]):
                best = (name, set(below) | {name}, len(prefix))
    return best[:2] if best else None


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    src = Path(sys.argv[1])
    faults = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cpp", ".c", ".rc", ".in"):
            continue
        relative = file.relative_to(src).as_posix()
        own = layer_of(relative)
        if own is None:
            continue
        text = file.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            target = layer_of(match.group(1))
            if target is not None and target[0] not in own[1]:
                line = text.count("\n", 0, match.start()) + 1
                faults.append(f"{file}:{line}: layer {own[0]} includes \"{match.group(1)}\" "
                              f"of layer {target[0]}, which it does not build on")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        for name, _, below in LAYERS:
            print(f"  {name} builds on: {', '.join(below) or 'nothing'}", file=sys.stderr)
        return 1
    if len(sys.argv) == 3:
        Path(sys.argv[2]).touch()
    return 0


if __name__ == "__main__":
    sys.exit(main())
