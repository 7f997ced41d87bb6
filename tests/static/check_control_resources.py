#!/usr/bin/env python3
"""Checks RotelleCV.ocx's resources as a file: the interface identifier resources byte for
byte, the toolbox bitmap 30000, the cross-hair icon and the French version block that tells
containers the file registers itself. Usage: check_control_resources.py RotelleCV.ocx"""

import struct
import sys
import uuid

from peresources import PE, RT_BITMAP, RT_GROUP_ICON, RT_VERSION, Findings, icon_group, version_strings

FRENCH = 0x40C


def guid_resource(text):
    return struct.pack("<I", 16) + uuid.UUID(text).bytes_le


def main(path):
    res = PE(path).resources()
    findings = Findings(path)
    expect = findings.expect
    expect("_IID_WHEEL", res.get(("_IID_WHEEL", 1, FRENCH)), guid_resource("7CDC43CB-57CB-4FB3-AEF4-2BBB62471F92"))
    expect("_SRCIID_WHEEL", res.get(("_SRCIID_WHEEL", 1, FRENCH)),
           guid_resource("87496B66-D4FB-4152-9517-BCF5AE5B6141"))

    bitmap = res.get((RT_BITMAP, 30000, FRENCH), b"")
    if len(bitmap) < 40:
        findings.add("bitmap 30000 missing")
    else:
        _, width, height, _, bits, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", bitmap, 0)
        expect("bitmap 30000 size and depth", (width, abs(height), bits), (16, 15, 24))
        expect("bitmap 30000 palette", used, 0)
        b, g, r = bitmap[40:43]   # a corner: the flat grey background
        expect("bitmap 30000 background", (r, g, b), (127, 127, 127))

    icon = icon_group(res.get((RT_GROUP_ICON, 1, FRENCH), b"\0\0\1\0\0\0"))
    expect("cross-hair icon", [(w, h, c, bits) for w, h, c, bits, _, _ in icon], [(32, 32, 16, 4)])

    version = version_strings(res[(RT_VERSION, 1, FRENCH)])
    expect("file and product version", version["fixed"][:2], ((1, 0, 0, 0), (1, 0, 0, 0)))
    expect("file type", version["fixed"][2], 2)   # VFT_DLL
    expect("translation", version["Translation"][0], FRENCH)
    strings = version.get("040C04B0", {})
    for key, value in (("FileDescription", "Rotelle Corvane"), ("ProductName", "Rotelle Corvane"),
                       ("Comments", "Rotelle Corvane"), ("InternalName", "RotelleCV"),
                       ("OriginalFilename", "RotelleCV.ocx"), ("FileVersion", "1.00"),
                       ("OLESelfRegister", "")):
        expect(key, strings.get(key), value)
    return findings.report("resources as published")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
