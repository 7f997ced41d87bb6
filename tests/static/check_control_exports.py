#!/usr/bin/env python3
"""Checks RotelleCV.ocx as a file: a DLL of the given machine whose export table names the
module "RotelleCV.ocx" and exports the in-process server's entry points by their plain names.
Usage: check_control_exports.py RotelleCV.ocx i386|amd64 EXPORT..."""

import sys

from peresources import PE

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
IMAGE_FILE_DLL = 0x2000


def main(path, machine, *wanted):
    pe = PE(path)
    module, names = pe.exports()
    problems = []
    if pe.machine != MACHINES[machine]:
        problems.append(f"machine {pe.machine:#x}")
    if not pe.characteristics & IMAGE_FILE_DLL:
        problems.append("not a DLL")
    if module != "RotelleCV.ocx":
        problems.append(f"export table names the module {module!r}")
    for name in wanted:
        if name not in names:
            problems.append(f"{name} not exported (exports: {names})")
    for p in problems:
        print(f"{path}: {p}", file=sys.stderr)
    print(f"{path}: {'exports as designed' if not problems else 'problems'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
