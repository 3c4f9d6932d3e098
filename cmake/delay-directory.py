#!/usr/bin/env python3
"""Points a linked program's delay-load import directory (PE data directory 13) at the
descriptors of dlltool's delay-load libraries. GNU ld 2.40 leaves that directory empty, so tools
and the program's own checks could not see what is delay-loaded. The descriptors must lie side
by side and end in a zeroed one (SystemDlls.cpp places it)."""
import argparse
import itertools
import re
import struct
import subprocess
import sys

DESCRIPTOR = 32


def pe_checksum(data, field):
    total = 0
    padded = data + b"\0" * (len(data) & 1)
    for i in range(0, len(padded), 2):
        if field <= i < field + 4:
            continue
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nm", required=True)
    ap.add_argument("exe")
    args = ap.parse_args()
    data = bytearray(open(args.exe, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    nsect = struct.unpack_from("<H", data, pe + 6)[0]
    optsize = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    plus = struct.unpack_from("<H", data, opt)[0] == 0x20B
    base = struct.unpack_from("<Q" if plus else "<I", data, opt + (24 if plus else 28))[0]
    dirs = opt + (112 if plus else 96)
    sections = [struct.unpack_from("<8xIIII", data, opt + optsize + 40 * i) for i in range(nsect)]

    def raw(rva):
        for vsize, va, rawsize, rawptr in sections:
            if va <= rva < va + min(vsize, rawsize):
                return rawptr + rva - va
        sys.exit("%s: RVA %#x lies outside the file's sections" % (args.exe, rva))

    symbols = subprocess.run([args.nm, args.exe], check=True, capture_output=True,
                             text=True).stdout
    rvas = sorted(int(a, 16) - base
                  for a in re.findall(r"^([0-9a-f]+) \S __DELAY_IMPORT_DESCRIPTOR_", symbols, re.M))
    if not rvas:
        sys.exit("%s: links no delay-load library" % args.exe)
    if rvas != list(range(rvas[0], rvas[0] + DESCRIPTOR * len(rvas), DESCRIPTOR)):
        sys.exit("%s: the delay-load descriptors do not lie side by side" % args.exe)
    slot = 8 if plus else 4
    for rva in rvas:
        attrs, _, _, iat, names = struct.unpack_from("<5I", data, raw(rva))
        if attrs != 1:
            sys.exit("%s: a delay-load descriptor at %#x does not hold RVAs" % (args.exe, rva))
        # Each pointer must start at its thunk; a lost thunk leaves 0, a call to nowhere.
        fmt = "<Q" if plus else "<I"
        for i in itertools.count():
            if not struct.unpack_from(fmt, data, raw(names + slot * i))[0]:
                break
            if not struct.unpack_from(fmt, data, raw(iat + slot * i))[0]:
                sys.exit("%s: a delay-loaded function of the descriptor at %#x has no thunk"
                         % (args.exe, rva))
    end = raw(rvas[-1] + DESCRIPTOR)
    if any(data[end:end + DESCRIPTOR]):
        sys.exit("%s: no zeroed descriptor ends the delay-load table" % args.exe)
    struct.pack_into("<II", data, dirs + 8 * 13, rvas[0], DESCRIPTOR * (len(rvas) + 1))
    struct.pack_into("<I", data, opt + 64, pe_checksum(bytes(data), opt + 64))
    open(args.exe, "wb").write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
