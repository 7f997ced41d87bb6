#!/usr/bin/env python3
"""Checks Tidewell.exe's resources as a file: the program icon group 1 with images
30001-30004 (32 and 16 px, 16 and 256 colours), the pictures of the window, and the French
version block; its application manifest; and that it reads bodies only through the read whose
count Wine never overwrites. Usage: check_updater_resources.py Tidewell.exe i386|amd64"""

import re
import struct
import subprocess
import sys

from peresources import PE, RT_GROUP_ICON, RT_ICON, RT_VERSION, Findings, icon_group, version_strings

FRENCH = 0x40C
RT_MANIFEST = 24
MACHINES = {"i386": 0x14C, "amd64": 0x8664}


def main(path, machine):
    pe = PE(path)
    findings = Findings(path)
    expect = findings.expect
    expect("machine", pe.machine, MACHINES[machine])
    res = pe.resources()
    group = icon_group(res[(RT_GROUP_ICON, 1, FRENCH)])
    expect("program icon images", [(w, h, c, b, rid) for w, h, c, b, _, rid in group],
           [(32, 32, 16, 4, 30001), (16, 16, 16, 4, 30002), (32, 32, 0, 8, 30003), (16, 16, 0, 8, 30004)])
    for w, h, colours, bits, size, rid in group:
        image = res.get((RT_ICON, rid, FRENCH))
        if image is None:
            findings.add(f"icon image {rid} missing")
            continue
        expect(f"icon {rid} size", len(image), size)
        width, height2, _, bitcount = struct.unpack_from("<iiHH", image, 4)
        expect(f"icon {rid} header", (width, height2, bitcount), (w, 2 * h, bits))
    for gid, side in ((101, 128), (102, 48)):
        pictures = icon_group(res[(RT_GROUP_ICON, gid, FRENCH)])
        expect(f"picture {gid}", [(w, h, b) for w, h, _, b, _, _ in pictures], [(side, side, 24)])

    version = version_strings(res[(RT_VERSION, 1, FRENCH)])
    expect("file and product version", version["fixed"][:2], ((1, 0, 0, 0), (1, 0, 0, 0)))
    expect("file type", version["fixed"][2], 1)   # VFT_APP
    expect("translation", version["Translation"][0], FRENCH)
    strings = version.get("040C04B0", {})
    for key, value in (("FileDescription", "Tidewell"), ("ProductName", "Tidewell"),
                       ("InternalName", "Tidewell"), ("Comments", "Tidewell"),
                       ("OriginalFilename", "Tidewell.exe"), ("FileVersion", "1.00"),
                       ("ProductVersion", "1.00")):
        expect(key, strings.get(key), value)

    manifest = res.get((RT_MANIFEST, 1, 0), b"").decode("utf-8", "replace")
    expect("manifest's execution level", re.findall(r'requestedExecutionLevel level="(\w+)"', manifest),
           ["asInvoker"])
    expect("manifest names Windows 10 and 11",
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" in manifest, True)

    headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], check=True,
                             capture_output=True, text=True).stdout
    imported = set(re.findall(r"^\t[0-9a-f]+\t\s*\d+\s+(\w+)$", headers, re.M))
    expect("reads bodies with InternetReadFileExA only",
           ("InternetReadFileExA" in imported, "InternetReadFile" in imported), (True, False))

    return findings.report("resources as designed")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
