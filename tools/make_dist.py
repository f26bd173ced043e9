#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a release archive: the given files in one folder of a zip file, with a SHA256SUMS
file that lists them (check it with `sha256sum -c SHA256SUMS` in the unpacked folder).

    python3 tools/make_dist.py dist/orvath-0.3b.zip orvath-0.3b bin/orvath64 ... README.md LICENSE

The archive holds nothing but the files' names and bytes: the entries keep the given order,
programs get mode 755 and the rest 644, and every entry is dated at the last commit's time
(SOURCE_DATE_EPOCH when that is set), so the same files give the same archive.
"""

import hashlib
import os
import subprocess
import sys
import time
import zipfile

Root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ZipEpoch = 315532800  # 1980-01-01, the earliest time a zip entry can carry


def archiveTime():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        try:
            epoch = subprocess.run(["git", "-C", Root, "log", "-1", "--format=%ct"], capture_output=True,
                                   text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    seconds = max(int(epoch), ZipEpoch) if epoch.isdigit() else ZipEpoch
    return time.gmtime(seconds)[:6]


def entry(name, dateTime, executable):
    info = zipfile.ZipInfo(name, dateTime)
    info.create_system = 3  # Unix, so that the modes below are read
    info.external_attr = (0o100755 if executable else 0o100644) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    if len(sys.argv) < 4:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    archive, folder, paths = sys.argv[1], sys.argv[2], sys.argv[3:]
    dateTime = archiveTime()
    os.makedirs(os.path.dirname(os.path.abspath(archive)), exist_ok=True)
    partial = archive + ".partial"
    sums = []
    with zipfile.ZipFile(partial, "w") as out:
        for path in paths:
            with open(path, "rb") as f:
                data = f.read()
            name = os.path.basename(path)
            sums.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name))
            out.writestr(entry(folder + "/" + name, dateTime, os.access(path, os.X_OK)), data, compresslevel=9)
        out.writestr(entry(folder + "/SHA256SUMS", dateTime, False), "".join(sums), compresslevel=9)
    os.replace(partial, archive)
    print("".join(sums), end="")
    print("wrote %s" % archive)
    return 0


if __name__ == "__main__":
    sys.exit(main())
