#!/usr/bin/python3
"""Writes a .reg file that puts a CA certificate (PEM) into a Wine prefix's trusted roots: the
machine's, or with --user the current user's own root store only.

The value is what crypt32 keeps for a certificate in the registry: property records
(DWORD id, DWORD 1, DWORD length, bytes) with id 3 = SHA-1 hash and id 32 = the DER form.
"""
import hashlib
import ssl
import struct
import sys


def main():
    args = sys.argv[1:]
    user = args[:1] == ["--user"]
    if user:
        args = args[1:]
    if len(args) != 2:
        sys.exit("usage: ca-to-reg.py [--user] CA.pem OUT.reg")
    der = ssl.PEM_cert_to_DER_cert(open(args[0]).read())
    sha1 = hashlib.sha1(der).digest()
    blob = b""
    for prop_id, data in ((3, sha1), (32, der)):
        blob += struct.pack("<III", prop_id, 1, len(data)) + data
    pairs = ["%02x" % b for b in blob]
    rows = [",".join(pairs[i:i + 24]) for i in range(0, len(pairs), 24)]
    value = '"Blob"=hex:' + ",\\\n  ".join(rows)
    hive = "HKEY_CURRENT_USER" if user else "HKEY_LOCAL_MACHINE"
    key = (hive + "\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\"
           + sha1.hex().upper())
    with open(args[1], "w", newline="\r\n") as out:
        out.write("Windows Registry Editor Version 5.00\n\n[%s]\n" % key)
        out.write(value + "\n")


if __name__ == "__main__":
    main()
