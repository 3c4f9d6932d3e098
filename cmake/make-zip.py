#!/usr/bin/env python3
"""Zips a folder reproducibly: sorted entries, one fixed time stamp, no owner or system fields,
plus a SHA256SUMS entry for every file, so a rebuild of one commit gives the same bytes.

    make-zip.py <folder> <zip>
"""
import hashlib
import os
import sys
import zipfile

FIXED_TIME = (2000, 1, 1, 0, 0, 0)


def main(folder, out):
    names = []
    for top, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(top, name)
            names.append(os.path.relpath(path, folder).replace(os.sep, "/"))
    names.sort()
    sums = []
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w") as archive:
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            sums.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))
            add(archive, name, data)
        add(archive, "SHA256SUMS", "".join(sums).encode())
    os.replace(tmp, out)


def add(archive, name, data):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # no Unix owner or mode bits
    info.external_attr = 0
    archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
