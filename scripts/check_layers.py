#!/usr/bin/env python3
"""Compiler launcher of the layer check: runs one compile, then reads the
dependency file the compiler has just written and fails the compile, removing
its object, when a file it read belongs to a layer the target may not use.
What counts is what the compiler resolved, so no spelling of an include (angle
brackets, "../", a macro, any suffix) walks past it.

  check_layers.py TARGET SRC_DIR MAY_USE OWN_LAYER -- COMMAND...

A layer is a folder of SRC_DIR. MAY_USE lists, comma-separated, the layers
TARGET may read (for a layer's library: itself and the layers below it);
OWN_LAYER, when not empty, is the one layer whose folder holds TARGET's
sources. COMMAND is the compile, with any further launcher (ccache) first."""
import os
import sys


def option(command, name):
    """The value of `name VALUE` in the compile command, or None."""
    for at in range(len(command) - 1):
        if command[at] == name:
            return command[at + 1]
    return None


def dependencies(depfile):
    """The prerequisites of the compiler's dependency file (make syntax)."""
    with open(depfile, encoding="utf-8", errors="surrogateescape") as file:
        text = file.read().replace("\\\n", " ")
    words, word, escaped = [], [], False
    for char in text:
        if escaped:
            word.append(char if char in " #\\" else "\\" + char)
            escaped = False
        elif char == "\\":
            escaped = True
        elif char.isspace():
            if word:
                words.append("".join(word))
                word = []
        else:
            word.append(char)
    if word:
        words.append("".join(word))
    for at, item in enumerate(words):
        if item.endswith(":"):
            return [path.replace("$$", "$") for path in words[at + 1:]]
    return []


def resolver():
    """realpath for many files in few folders: each folder is resolved once
    (as spelled, so that "link/../x" goes where the system goes), and only a
    file that is itself a link is resolved whole."""
    folders = {}

    def resolve(path):
        folder, name = os.path.split(path)
        real = folders.get(folder)
        if real is None:
            real = folders[folder] = os.path.realpath(folder or ".")
        full = os.path.join(real, name)
        return os.path.realpath(full) if os.path.islink(full) else full
    return resolve


def layer_of(path, src):
    """The layer (top folder of src) that holds `path`; "" for a file of src
    itself; None outside src."""
    if not path.startswith(src):
        return None
    relative = path[len(src):]
    return relative.split("/", 1)[0] if "/" in relative else ""


def main():
    if len(sys.argv) < 7 or sys.argv[5] != "--":
        sys.exit(__doc__)
    target, src, may_use, own = sys.argv[1], os.path.realpath(sys.argv[2]) + "/", sys.argv[3], sys.argv[4]
    command = sys.argv[6:]
    status = os.spawnvp(os.P_WAIT, command[0], command)
    if status != 0:
        return status if status > 0 else 1

    allowed = set(filter(None, may_use.split(",")))
    objfile, depfile, source = option(command, "-o"), option(command, "-MF"), option(command, "-c")
    faults = []
    if depfile is None:
        faults.append("the compile writes no dependency file (-MF) to check")
    else:
        resolve = resolver()
        read = [resolve(path) for path in dependencies(depfile)]
        if own and source is not None:
            home = layer_of(os.path.realpath(source), src)
            if home is not None and home != own:
                faults.append(f"{source} is a file of {'layer ' + home if home else 'no layer'}, "
                              f"not of layer {own}, whose library it is compiled into")
        for path in read:
            layer = layer_of(path, src)
            if layer is not None and layer not in allowed:
                where = f"layer {layer}" if layer else "no layer"
                faults.append(f"{source} reads {path}, a file of {where}, which {target} may not use")
    if not faults:
        return 0
    for fault in faults:
        print(f"layer check: {fault}", file=sys.stderr)
    print(f"layer check: {target} may use {', '.join(sorted(allowed)) or 'no layer'}", file=sys.stderr)
    for path in (objfile, depfile):
        if path and os.path.exists(path):
            os.remove(path)
    return 1


if __name__ == "__main__":
    sys.exit(main())
