"""Reads the resources of a PE file (32 or 64-bit) without running it: the resource
directory, icon groups and the version block's strings. Standard library only."""

import struct
import sys

RT_ICON, RT_BITMAP, RT_GROUP_ICON, RT_VERSION = 3, 2, 14, 16


class PE:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError(f"{path}: not a PE file")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE header")
        self.machine, sections, _, _, _, opt_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            name = d[s:s + 8].rstrip(b"\0").decode()
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", d, s + 8)
            self.sections.append((name, va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"RVA {rva:#x} outside every section")

    def resources(self):
        """{(type, name, language): bytes}; numeric ids as ints, names as strings."""
        rva, size = self.directories[2]
        out = {}
        if not rva:
            return out
        base = self.offset(rva)
        d = self.data

        def entries(off):
            named, ids = struct.unpack_from("<HH", d, base + off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", d, base + off + 16 + 8 * i)
                if name & 0x80000000:
                    p = base + (name & 0x7FFFFFFF)
                    n = struct.unpack_from("<H", d, p)[0]
                    name = d[p + 2:p + 2 + 2 * n].decode("utf-16-le")
                yield name, target

        for rtype, t in entries(0):
            for name, n in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", d, base + leaf)
                    start = self.offset(data_rva)
                    out[(rtype, name, lang)] = d[start:start + data_size]
        return out

    def exports(self):
        """(module name, [exported names])"""
        rva, _ = self.directories[0]
        if not rva:
            return None, []
        d = self.data
        e = self.offset(rva)
        name_rva = struct.unpack_from("<I", d, e + 12)[0]
        count_names = struct.unpack_from("<I", d, e + 24)[0]
        names_rva = struct.unpack_from("<I", d, e + 32)[0]
        table = self.offset(names_rva)
        names = [self._cstr(self.offset(struct.unpack_from("<I", d, table + 4 * i)[0]))
                 for i in range(count_names)]
        return self._cstr(self.offset(name_rva)), names

    def _cstr(self, off):
        end = self.data.index(b"\0", off)
        return self.data[off:end].decode("latin-1")


def icon_group(data):
    """[(width, height, colours, bitcount, size, id)] of an RT_GROUP_ICON resource."""
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    assert kind == 1
    out = []
    for i in range(count):
        w, h, colours, _, _, bits, size, rid = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        out.append((w or 256, h or 256, colours, bits, size, rid))
    return out


def version_strings(data):
    """{block: {key: value}} of the StringFileInfo, plus ('fixed' -> (file, product)) versions."""
    def node(off):
        length, value_len, kind = struct.unpack_from("<HHH", data, off)
        key_end = off + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[off + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        return length, value_len, kind, key, value

    out = {}
    length, value_len, _, key, value = node(0)
    assert key == "VS_VERSION_INFO"
    fixed = struct.unpack_from("<13I", data, value)
    out["fixed"] = ((fixed[2] >> 16, fixed[2] & 0xFFFF, fixed[3] >> 16, fixed[3] & 0xFFFF),
                    (fixed[4] >> 16, fixed[4] & 0xFFFF, fixed[5] >> 16, fixed[5] & 0xFFFF),
                    fixed[9])   # file type
    child = (value + value_len + 3) & ~3
    while child < length:
        clen, _, _, ckey, cval = node(child)
        if ckey == "StringFileInfo":
            table = cval
            while table < child + clen:
                tlen, _, _, tkey, tval = node(table)
                strings = {}
                s = tval
                while s < table + tlen:
                    slen, svlen, _, skey, sval = node(s)
                    strings[skey] = data[sval:sval + 2 * svlen].decode("utf-16-le").rstrip("\0")
                    s = (s + slen + 3) & ~3
                out[tkey] = strings
                table = (table + tlen + 3) & ~3
        elif ckey == "VarFileInfo":
            var = cval
            vlen, vvlen, _, vkey, vval = node(var)
            out["Translation"] = struct.unpack_from(f"<{vvlen // 2}H", data, vval)
        child = (child + clen + 3) & ~3
    return out


class Findings:
    """Collects differences from what a file should hold, and reports them."""

    def __init__(self, path):
        self.path = path
        self.problems = []

    def expect(self, what, got, wanted):
        if got != wanted:
            self.problems.append(f"{what}: {got!r}, expected {wanted!r}")

    def add(self, problem):
        self.problems.append(problem)

    def report(self, success):
        """Prints the findings; the exit code for them."""
        for p in self.problems:
            print(f"{self.path}: {p}", file=sys.stderr)
        print(f"{self.path}: {success if not self.problems else f'{len(self.problems)} problem(s)'}")
        return 1 if self.problems else 0
