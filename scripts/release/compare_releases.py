#!/usr/bin/env python3
"""Compares two folders of release files, every file and, in an archive,
every entry: names, order, times, modes and bytes. Prints each difference and
exits with 1 when there is one, 0 when the folders are the same.

    compare_releases.py <folder> <other folder>"""
import sys
import zipfile
from pathlib import Path

import releaselib as lib


def files(folder):
    return sorted(p.relative_to(folder).as_posix() for p in folder.rglob("*") if p.is_file())


def entry_differences(name, first, second):
    """What differs between two archives, entry by entry."""
    with zipfile.ZipFile(first) as a, zipfile.ZipFile(second) as b:
        ours, theirs = a.infolist(), b.infolist()
        names_a, names_b = [i.filename for i in ours], [i.filename for i in theirs]
        found = [f"{name}: {n} only in the first" for n in names_a if n not in names_b]
        found += [f"{name}: {n} only in the second" for n in names_b if n not in names_a]
        common = [n for n in names_a if n in names_b]
        if [n for n in names_b if n in names_a] != common:
            found.append(f"{name}: the entries are in another order")
        by_name = {i.filename: i for i in theirs}
        for info in ours:
            other = by_name.get(info.filename)
            if other is None:
                continue
            for field in ("date_time", "external_attr", "create_system", "compress_type", "extra", "comment"):
                if getattr(info, field) != getattr(other, field):
                    found.append(f"{name}: {info.filename}: {field} {getattr(info, field)!r} "
                                 f"!= {getattr(other, field)!r}")
            if a.read(info) != b.read(other):
                found.append(f"{name}: {info.filename} differs")
    return found


def differences(first, second):
    names_a, names_b = files(first), files(second)
    found = [f"{n} only in {first}" for n in names_a if n not in names_b]
    found += [f"{n} only in {second}" for n in names_b if n not in names_a]
    for name in (n for n in names_a if n in names_b):
        data_a, data_b = (first / name).read_bytes(), (second / name).read_bytes()
        if data_a == data_b:
            continue
        inner = entry_differences(name, first / name, second / name) if name.endswith(".zip") else []
        found += inner or [f"{name} differs"]
    return found


def main():
    if len(sys.argv) != 3:
        lib.fail("usage: compare_releases.py <folder> <other folder>")
    first, second = Path(sys.argv[1]), Path(sys.argv[2])
    for folder in (first, second):
        if not folder.is_dir() or not files(folder):
            lib.fail(f"no release files in {folder}")
    found = differences(first, second)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} difference(s) between {first} and {second}", file=sys.stderr)
        return 1
    print(f"{len(files(first))} files, byte for byte the same")
    return 0


if __name__ == "__main__":
    sys.exit(main())
