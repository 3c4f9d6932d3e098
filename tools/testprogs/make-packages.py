#!/usr/bin/env python3
"""Lays out the packages the driver-service stand-in serves to the tests and the demo.

  make-packages.py SETUP_EXE OUT_DIR [CERT_DIR]

RealtekBT-8821CU-<os>.zip hold RealtekBT-<os>/Setup.exe (one folder deep, where the installer
finds it); VelmoraRXSetup.exe and QuillHotspotSetup.exe are the setup program itself. For the
tests: Deep.zip holds Setup.exe two folders deep (not found), Planted.zip another program's
archive that it tries to put in place of a download, NoSetup.zip none, SetupFolder.zip
only a folder named Setup.exe, Escape.zip entries that try to leave the extraction folder (../
and absolute paths), Corrupt.zip a Setup.exe that unpacks beside an entry whose data is
damaged (7-Zip's exit code 2), and Broken.zip is no archive at all.

With CERT_DIR (make-publisher-certs.sh), copies of the setup program signed in every way the
publisher pins must tell apart: Publisher-<kind>.exe for kind vendor, unsigned, tampered (vendor
signed, one byte changed afterwards), other and impostor (vendor's name, untrusted root), and
Publisher-vendor.zip / Publisher-unsigned.zip holding such a Setup.exe one folder deep. Where
CERT_DIR has the certificates that name a revocation list, also Publisher-revoked.exe,
Publisher-checked.exe and Publisher-unreachable.exe, and that list as publisher-root.crl.
"""
import os
import shutil
import subprocess
import sys
import zipfile


def write_zip(path, entries):
    tmp = path + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)
    os.replace(tmp, path)


def write_corrupt_zip(path, setup):
    """Setup.exe first and whole; the next entry's compressed data has one byte flipped."""
    driver = b"driver data " * 1000
    write_zip(path, [("Corrupt/Setup.exe", setup), ("Corrupt/driver.sys", driver)])
    data = bytearray(open(path, "rb").read())
    name = b"Corrupt/driver.sys"
    at = data.find(name) + len(name) + 10  # local header: name, no extra field, then data
    data[at] ^= 0xFF
    open(path, "wb").write(bytes(data))


def main():
    setup_exe, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    setup = open(setup_exe, "rb").read()
    for os_token in ("win7", "win8", "win10"):
        write_zip(os.path.join(out, "RealtekBT-8821CU-%s.zip" % os_token), [
            ("RealtekBT-%s/Setup.exe" % os_token, setup),
            ("RealtekBT-%s/readme.txt" % os_token, b"Realtek 8821CU Bluetooth driver (demo)\r\n"),
        ])
    write_zip(os.path.join(out, "Deep.zip"), [("Deep/Driver/Setup.exe", setup)])
    write_zip(os.path.join(out, "Planted.zip"), [("Planted/Setup.exe", setup)])
    write_zip(os.path.join(out, "NoSetup.zip"), [("NoSetup/readme.txt", b"no setup here\r\n")])
    write_zip(os.path.join(out, "SetupFolder.zip"), [("SetupFolder/Setup.exe/readme.txt", b"x")])
    write_zip(os.path.join(out, "Escape.zip"), [
        ("../KVZ7300-escaped.txt", b"outside\r\n"),
        ("Escape/../../KVZ7300-escaped2.txt", b"outside\r\n"),
        ("/KVZ7300-absolute.txt", b"outside\r\n"),
        ("C:/KVZ7300-drive.txt", b"outside\r\n"),
        ("Escape/Setup.exe", setup),
    ])
    write_corrupt_zip(os.path.join(out, "Corrupt.zip"), setup)
    with open(os.path.join(out, "Broken.zip"), "wb") as f:
        f.write(b"PK\x03\x04 this is not really an archive")
    for name in ("VelmoraRXSetup.exe", "QuillHotspotSetup.exe"):
        shutil.copyfile(setup_exe, os.path.join(out, name))
    if len(sys.argv) > 3:
        publisher_packages(setup_exe, out, sys.argv[3])


def sign(setup_exe, cert_dir, signer, out):
    tmp = out + ".tmp"
    if os.path.exists(tmp):
        os.remove(tmp)
    subprocess.run(["osslsigncode", "sign", "-h", "sha256",
                    "-certs", os.path.join(cert_dir, signer + ".chain.pem"),
                    "-key", os.path.join(cert_dir, signer + ".key"),
                    "-in", setup_exe, "-out", tmp], check=True, stdout=subprocess.DEVNULL)
    os.replace(tmp, out)


def publisher_packages(setup_exe, out, cert_dir):
    path = lambda kind: os.path.join(out, "Publisher-%s.exe" % kind)
    for signer in ("vendor", "other", "impostor", "expired"):
        sign(setup_exe, cert_dir, signer, path(signer))
    shutil.copyfile(setup_exe, path("unsigned"))
    data = bytearray(open(path("vendor"), "rb").read())
    data[len(data) // 3] ^= 0xFF  # inside the program's sections, which the digest covers
    open(path("tampered"), "wb").write(bytes(data))
    for kind in ("vendor", "unsigned", "other", "tampered", "impostor", "expired"):
        write_zip(os.path.join(out, "Publisher-%s.zip" % kind),
                  [("Publisher-%s/Setup.exe" % kind, open(path(kind), "rb").read())])
    if os.path.exists(os.path.join(cert_dir, "root.crl")):
        for signer in ("revoked", "checked", "unreachable"):
            sign(setup_exe, cert_dir, signer, path(signer))
        shutil.copyfile(os.path.join(cert_dir, "root.crl"), os.path.join(out, "publisher-root.crl"))


if __name__ == "__main__":
    main()
