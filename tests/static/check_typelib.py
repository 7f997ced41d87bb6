#!/usr/bin/env python3
"""Checks RotelleCV's type library as stored (MSFT format), in a .tlb file or in the TYPELIB
resource of a PE file: platform, locale, version and flags of the library, and the kind,
flags, version, function count and call-table size of its three type descriptions, in order.
Usage: check_typelib.py FILE win32|win64"""

import struct
import sys

from peresources import PE, Findings

TKIND = {3: "interface", 4: "dispatch", 5: "coclass"}
SYSKIND = {"win32": 1, "win64": 3}
LIBFLAG_FCONTROL = 2


def library_bytes(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] == b"MSFT":
        return data
    for (rtype, name, _), blob in PE(path).resources().items():
        if rtype == "TYPELIB" and name == 1:
            return blob
    raise SystemExit(f"{path}: no TYPELIB resource 1")


def functions_of(data, base):
    """(member id, call-table offset) of each function record of a type description."""
    memoffset, = struct.unpack_from("<i", data, base + 0x04)
    celement, = struct.unpack_from("<i", data, base + 0x18)
    functions = celement & 0xFFFF
    length, = struct.unpack_from("<i", data, memoffset)
    out, record = [], memoffset + 4
    for i in range(functions):
        info, = struct.unpack_from("<i", data, record)
        offset, = struct.unpack_from("<h", data, record + 12)
        # After the records: the member ids, then the names' offsets, then the records' offsets.
        memid, = struct.unpack_from("<i", data, memoffset + 4 + length + 4 * i)
        out.append((memid, offset & ~1))   # the low bit is a flag of the record, not of the offset
        record += info & 0xFFFF
    return out


def main(path, platform):
    data = library_bytes(path)
    (magic, _, _, lcid, _, varflags, version, flags, count) = struct.unpack_from("<4sIiIIiiii", data, 0)
    findings = Findings(path)
    expect = findings.expect
    expect("magic", magic, b"MSFT")
    expect("platform", varflags & 0xF, SYSKIND[platform])
    expect("locale", lcid, 0x409)
    expect("version", (version & 0xFFFF, version >> 16), (1, 0))
    expect("library flags", flags, LIBFLAG_FCONTROL)
    expect("type descriptions", count, 3)
    header = 0x54 + (4 if varflags & 0x100 else 0) + 4 * count
    table = struct.unpack_from("<i", data, header)[0]   # first segment: the type-info table
    pointer = 4 if platform == "win32" else 8
    # A dual interface is stored as its dispatch view, marked dual.
    wanted = [("dispatch", 0x11D0, 3, 492 * pointer), ("coclass", 0x20, 0, None), ("dispatch", 0x1090, 1, None)]
    for i, (kind, tflags, functions, vft) in enumerate(wanted):
        base = table + 0x64 * i
        tkind, = struct.unpack_from("<i", data, base)
        celement, = struct.unpack_from("<i", data, base + 0x18)
        stored_flags, = struct.unpack_from("<i", data, base + 0x30)
        tversion, = struct.unpack_from("<i", data, base + 0x38)
        size_vft, = struct.unpack_from("<h", data, base + 0x4E)
        expect(f"type {i} kind", TKIND.get(tkind & 0xF), kind)
        expect(f"type {i} flags", hex(stored_flags), hex(tflags))
        expect(f"type {i} version", (tversion & 0xFFFF, tversion >> 16), (1, 0))
        expect(f"type {i} functions", celement & 0xFFFF, functions)
        if vft is not None:
            expect(f"type {i} call table bytes", size_vft, vft)
        if i == 0:
            expect("_Wheel's methods (identifier, call-table offset)", functions_of(data, base),
                   [(-552, 489 * pointer), (0x60030004, 490 * pointer), (0x60030005, 491 * pointer)])
    return findings.report("type library as published")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
