#!/usr/bin/env python3
"""Checks a built Windows program: machine, subsystem, load-time imports limited to Known DLLs,
delay-loaded DLLs limited to Windows' own, a version resource with the expected file version,
and the manifest's requests."""
import argparse
import struct
import sys

# What the program may import at load time: the Known DLLs of every Windows from 7 to 11, which
# the loader takes from the system folder whatever lies beside the program; ntdll, which is
# always loaded; comctl32, which the manifest takes side by side. Any other DLL would be looked
# for in the (user-writable) folder the elevated installer runs from.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll",
    "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
LOAD_TIME_DLLS = KNOWN_DLLS | {"ntdll.dll", "comctl32.dll"}
# Windows' own DLLs that are no Known DLL everywhere: only delay-loaded, from the system folder.
DELAYED_SYSTEM_DLLS = {
    "bcrypt.dll", "crypt32.dll", "gdiplus.dll", "version.dll", "winhttp.dll", "wininet.dll",
    "wintrust.dll",
    "uxtheme.dll", "msimg32.dll", "winspool.drv", "dwmapi.dll", "shcore.dll", "urlmon.dll",
}
MACHINES = {"i386": 0x14C, "amd64": 0x8664}


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, nsect, self.stamp, self.symtab, self.nsyms, optsize, _ = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        plus = self.magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (112 if plus else 96)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.plus = plus
        sect = opt + optsize
        self.sections = []
        for i in range(nsect):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sect + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %x outside sections" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        rva, size = self.dirs[1]
        names = []
        o = self.off(rva)
        while True:
            ilt, _, _, name, iat = struct.unpack_from("<IIIII", self.data, o)
            if name == 0:
                return names
            names.append(self.cstr(name))
            o += 20

    def delay_imports(self):
        """The DLL names of the delay-load import directory (data directory 13)."""
        rva, size = self.dirs[13]
        names = []
        if not rva:
            return names
        o = self.off(rva)
        while True:
            attrs, name = struct.unpack_from("<II", self.data, o)
            if name == 0:
                return names
            if not attrs & 1:
                raise ValueError("delay-load descriptor without RVAs")
            names.append(self.cstr(name))
            o += 32

    def resources(self):
        """Yields (type, name, data) of every resource."""
        base_rva = self.dirs[2][0]
        base = self.off(base_rva)

        def entries(o):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data, o)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, o + 16 + 8 * i)
                yield ident, target

        for rtype, t1 in entries(base):
            for rname, t2 in entries(base + (t1 & 0x7FFFFFFF)):
                for _, t3 in entries(base + (t2 & 0x7FFFFFFF)):
                    drva, dsize = struct.unpack_from("<II", self.data, base + t3)
                    o = self.off(drva)
                    yield rtype, rname, self.data[o:o + dsize]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("exe")
    ap.add_argument("--machine", choices=MACHINES, required=True)
    ap.add_argument("--version", help="expected file version a.b.c.d")
    args = ap.parse_args()
    pe = Pe(open(args.exe, "rb").read())
    errors = []
    if pe.machine != MACHINES[args.machine]:
        errors.append("machine %#x, expected %s" % (pe.machine, args.machine))
    if args.machine == "i386" and pe.magic != 0x10B:
        errors.append("not PE32")
    if pe.nsyms:
        errors.append("carries a symbol table (%d symbols)" % pe.nsyms)
    if pe.stamp:
        errors.append("carries a link time stamp (%#x): builds are not reproducible" % pe.stamp)
    if pe.subsystem != 2:
        errors.append("subsystem %d, expected 2 (Windows GUI)" % pe.subsystem)
    dlls = pe.imports()
    unknown = [d for d in dlls if d.lower() not in LOAD_TIME_DLLS]
    if unknown:
        errors.append("imports at load time DLLs that are not Known DLLs: %s" % ", ".join(unknown))
    delayed = pe.delay_imports()
    foreign = [d for d in delayed if d.lower() not in DELAYED_SYSTEM_DLLS]
    if foreign:
        errors.append("delay-loads non-system DLLs: %s" % ", ".join(foreign))
    res = list(pe.resources())
    versions = [d for t, n, d in res if t == 16]
    if not versions:
        errors.append("no version resource")
    elif args.version:
        blob = versions[0]
        sig = blob.find(struct.pack("<I", 0xFEEF04BD))
        ms, ls = struct.unpack_from("<II", blob, sig + 8)
        found = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if found != args.version:
            errors.append("file version %s, expected %s" % (found, args.version))
    manifests = [d.decode("utf-8", "replace") for t, n, d in res if t == 24]
    if not manifests:
        errors.append("no manifest")
    else:
        m = manifests[0]
        for needle in ('name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                       'level="requireAdministrator"', 'uiAccess="false"',
                       '>true</dpiAware>',
                       'processorArchitecture="%s"' % ("x86" if args.machine == "i386" else "amd64")):
            if needle not in m:
                errors.append("manifest lacks %s" % needle)
    print("%s: machine %#x, subsystem %d, imports %s, delay-loads %s, %d resources"
          % (args.exe, pe.machine, pe.subsystem, ", ".join(dlls), ", ".join(delayed) or "nothing",
             len(res)))
    for e in errors:
        print("FAIL: " + e)
    if not errors:
        print("PE checks passed")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
