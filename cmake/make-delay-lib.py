#!/usr/bin/env python3
"""Makes a delay-load import library for one DLL with the functions given, their names as the
toolchain's own import library spells them (dlltool's --output-delaylib), and a response file for
the compiler driver that keeps each function's delay-load thunk in the link."""
import argparse
import re
import subprocess
import sys


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nm", required=True)
    ap.add_argument("--dlltool", required=True)
    ap.add_argument("--dll", required=True, help="the DLL's file name, e.g. version.dll")
    ap.add_argument("--i686", action="store_true", help="32-bit x86 names")
    ap.add_argument("import_lib")
    ap.add_argument("output")
    ap.add_argument("functions", nargs="+")
    args = ap.parse_args()
    symbols = subprocess.run([args.nm, args.import_lib], check=True, capture_output=True,
                             text=True).stdout
    # A function has a call stub (T) beside its __imp_ pointer; i686 names carry a leading
    # underscore and stdcall's @N.
    imports = set(re.findall(r" I __imp_(\S+)$", symbols, re.M))
    stubs = {re.sub(r"^_|@\d+$", "", s) if args.i686 else s: s
             for s in re.findall(r" T (\S+)$", symbols, re.M) if s in imports}
    missing = [f for f in args.functions if f not in stubs]
    if missing:
        sys.exit("%s: %s not found" % (args.import_lib, ", ".join(missing)))
    deffile = args.output + ".def"
    with open(deffile, "w") as f:
        f.write("LIBRARY %s\nEXPORTS\n" % args.dll)
        f.writelines((stubs[n][1:] if args.i686 else stubs[n]) + "\n" for n in args.functions)
    # -k: the DLL exports the undecorated names.
    subprocess.run([args.dlltool, "--input-def", deffile, "--dllname", args.dll,
                    "--output-delaylib", args.output] + (["-k"] if args.i686 else []), check=True)
    # GNU ld drops an import member's code when only its __imp_ pointer is referenced (calls
    # through dllimport declarations), and the delay-load thunk the pointer starts at with it.
    with open(args.output + ".rsp", "w") as f:
        f.writelines("-Wl,-u,%s\n" % stubs[n] for n in args.functions)
    return 0


if __name__ == "__main__":
    sys.exit(main())
