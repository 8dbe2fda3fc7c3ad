#!/usr/bin/env python3
"""A built Windows module read from its PE headers: its machine, ENTRYPOINT its only export, system
DLLs its only imports (no compiler runtime to ship beside it), and the PiPL's code property for its
architecture naming ENTRYPOINT, the other architectures' absent.
Usage: module_pe.py MODULE MACHINE CODE, e.g. Varnocketile.8bs 0xAA64 wa64."""
import re
import struct
import sys

SYSTEM_DLL = re.compile(r"(kernel32|user32|gdi32|advapi32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll", re.I)
CODES = ("wx86", "8664", "wa64")


def check(path, machine, code):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return ["not a PE file"]
    found, count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    sections = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i) for i in range(count)]

    def at(rva):
        return next(raw + rva - va for size, va, raw_size, raw in sections if va <= rva < va + max(size, raw_size))

    def text(rva):
        start = at(rva)
        return data[start:data.index(b"\0", start)].decode()

    def directory(i):
        return struct.unpack_from("<I", data, directories + 8 * i)[0]

    faults = []
    if found != machine:
        faults.append("machine 0x%04X, not 0x%04X" % (found, machine))
    names, name_table = struct.unpack_from("<I4xI", data, at(directory(0)) + 24)
    exports = [text(struct.unpack_from("<I", data, at(name_table) + 4 * i)[0]) for i in range(names)]
    if exports != ["ENTRYPOINT"]:
        faults.append("exports %s, not ENTRYPOINT alone" % exports)
    descriptor = at(directory(1))
    while struct.unpack_from("<I", data, descriptor + 12)[0]:
        dll = text(struct.unpack_from("<I", data, descriptor + 12)[0])
        if not SYSTEM_DLL.fullmatch(dll):
            faults.append("imports %s, which is not part of Windows" % dll)
        descriptor += 20
    for other in CODES:
        key = b"MIB8" + other[::-1].encode()
        entry = re.search(re.escape(key) + rb"\0\0\0\0\x0c\0\0\0ENTRYPOINT\0\0", data)
        if (other == code) != (entry is not None) or (other != code and key in data):
            faults.append("the PiPL %s the '%s' entry point" % ("lacks" if other == code else "has", other))
    return faults


if __name__ == "__main__":
    faults = check(sys.argv[1], int(sys.argv[2], 16), sys.argv[3])
    for fault in faults:
        print("%s: %s" % (sys.argv[1], fault))
    sys.exit(1 if faults else 0)
