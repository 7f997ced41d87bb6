#!/usr/bin/env python3
"""Checks RotelleCV.ocx as a file: a DLL of the given machine whose export table names the
module "RotelleCV.ocx" and exports the in-process server's entry points by their plain names.
Usage: check_control_exports.py RotelleCV.ocx i386|amd64 EXPORT..."""

import sys

from peresources import PE, Findings

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
IMAGE_FILE_DLL = 0x2000


def main(path, machine, *wanted):
    pe = PE(path)
    module, names = pe.exports()
    findings = Findings(path)
    findings.expect("machine", pe.machine, MACHINES[machine])
    findings.expect("a DLL", bool(pe.characteristics & IMAGE_FILE_DLL), True)
    findings.expect("module named by the export table", module, "RotelleCV.ocx")
    for name in wanted:
        if name not in names:
            findings.add(f"{name} not exported (exports: {names})")
    return findings.report("exports as designed")


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
