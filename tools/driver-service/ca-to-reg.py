#!/usr/bin/python3
"""Writes a .reg file that puts a CA certificate (PEM) into a Wine prefix's trusted roots.

The value is what crypt32 keeps for a certificate in the registry: property records
(DWORD id, DWORD 1, DWORD length, bytes) with id 3 = SHA-1 hash and id 32 = the DER form.
"""
import hashlib
import ssl
import struct
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: ca-to-reg.py CA.pem OUT.reg")
    der = ssl.PEM_cert_to_DER_cert(open(sys.argv[1]).read())
    sha1 = hashlib.sha1(der).digest()
    blob = b""
    for prop_id, data in ((3, sha1), (32, der)):
        blob += struct.pack("<III", prop_id, 1, len(data)) + data
    pairs = ["%02x" % b for b in blob]
    rows = [",".join(pairs[i:i + 24]) for i in range(0, len(pairs), 24)]
    value = '"Blob"=hex:' + ",\\\n  ".join(rows)
    key = ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\"
           + sha1.hex().upper())
    with open(sys.argv[2], "w", newline="\r\n") as out:
        out.write("Windows Registry Editor Version 5.00\n\n[%s]\n" % key)
        out.write(value + "\n")


if __name__ == "__main__":
    main()
