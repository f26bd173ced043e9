#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the Debian package of the engine and its two tools for one architecture,
OUT/orvath_<version>_<arch>.deb, from programs already built for that architecture.

    python3 tools/make_deb.py --arch amd64 --engine bin/orvath64 --perft bin/orvath-perft \\
        --bench bin/orvath-bench --out dist

ARCH is amd64, i386, arm64 or armhf. The engine is installed as /usr/games/orvath64 on the
64-bit processors and as /usr/games/orvath32 on the 32-bit ones, with orvath-perft and
orvath-bench beside it, all three stripped as dh_strip strips programs. The manual page is
doc/orvath.6 under the engine's name, the tools' pages being links to it; the copyright file,
the changelog and lintian's overrides come from packaging/deb/.

The version is the one the programs name themselves with (src/board/flavour.h); the Debian
revision is that of the top entry of packaging/deb/changelog, which must be for the same
version. Depends is worked out from the libraries the programs load: those of the C library
only (libstdc++ and libgcc must be linked in statically), giving libc6 at the highest GLIBC
symbol version that any of the programs uses.

The same programs give the same package wherever it is built: every file is dated at the last
commit's time (SOURCE_DATE_EPOCH when that is set), modes are set whatever the umask, owners
are root, and xz compresses on one thread.
"""

import argparse
import calendar
import collections
import hashlib
import os
import re
import string
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree free of caches

from make_dist import Root, archiveTime  # noqa: E402

Packaging = os.path.join(Root, "packaging", "deb")
Tools = ("orvath-perft", "orvath-bench")
Games = os.path.join("usr", "games")
Man6 = os.path.join("usr", "share", "man", "man6")

Arch = collections.namedtuple("Arch", "engine elfClass machine strip")
Arches = {
    "amd64": Arch("orvath64", 64, 62, "strip"),
    "i386": Arch("orvath32", 32, 3, "strip"),  # the host's strip reads both x86 classes
    "arm64": Arch("orvath64", 64, 183, "aarch64-linux-gnu-strip"),
    "armhf": Arch("orvath32", 32, 40, "arm-linux-gnueabihf-strip"),
}
MachineNames = {3: "x86", 40: "ARM", 62: "x86-64", 183: "AArch64"}

# The libraries that libc6 itself ships; any other would need a dependency of its own.
LibcLibrary = re.compile(r"(libc|libm|libpthread|libdl|librt)\.so\.\d+|ld-linux[-\w.]*\.so\.\d+")


class Fault(Exception):
    pass


def run(command, **kwargs):
    try:
        return subprocess.run(command, check=True, **kwargs)
    except FileNotFoundError:
        raise Fault("%s is not installed" % command[0]) from None
    except subprocess.CalledProcessError as exc:
        raise Fault("%s failed with exit code %d" % (" ".join(command), exc.returncode)) from None


def upstreamVersion():
    """The version the programs name themselves with, read as the Makefile reads it."""
    with open(os.path.join(Root, "src", "board", "flavour.h")) as f:
        found = re.search(r'"Orvath ([^ ]*) x64"', f.read())
    if not found:
        raise Fault("src/board/flavour.h names no version")
    return found.group(1)


def changelogTop():
    """The package name, version and maintainer of the changelog's top entry."""
    with open(os.path.join(Packaging, "changelog")) as f:
        text = f.read()
    heading = re.match(r"(\S+) \((\S+)\) ", text)
    trailer = re.search(r"^ -- (.+?)  ", text, re.MULTILINE)
    if not heading or not trailer:
        raise Fault("packaging/deb/changelog does not start with a changelog entry")
    return heading.group(1), heading.group(2), trailer.group(1)


def checkArchitecture(path, arch, name):
    """Refuses a program built for another processor, which would install but never run."""
    with open(path, "rb") as f:
        header = f.read(20)
    if len(header) < 20 or header[:4] != b"\x7fELF":
        raise Fault("%s is not an ELF program" % path)
    elfClass = 64 if header[4] == 2 else 32
    machine = int.from_bytes(header[18:20], "little" if header[5] == 1 else "big")
    if (elfClass, machine) != (arch.elfClass, arch.machine):
        raise Fault("%s is a %d-bit %s program, not one for %s" % (
            path, elfClass, MachineNames.get(machine, "machine %d" % machine), name))


def libcDependency(programs):
    """The Depends field's value: libc6 new enough for every GLIBC version the programs use."""
    highest = None
    for path in programs:
        dump = run(["readelf", "--dynamic", "--version-info", "--wide", path], capture_output=True, text=True,
                   env=dict(os.environ, LC_ALL="C")).stdout
        for library in re.findall(r"\(NEEDED\)\s+Shared library: \[([^]]+)\]", dump):
            if not LibcLibrary.fullmatch(library):
                raise Fault("%s needs %s: the programs must link libstdc++ and libgcc statically "
                            "(-static-libstdc++ -static-libgcc) and use no other shared library"
                            % (path, library))
        for version in re.findall(r"Name: GLIBC_([0-9]+(?:\.[0-9]+)+)\b", dump):
            key = tuple(int(part) for part in version.split("."))
            if highest is None or key > highest[0]:
                highest = key, version
    return "libc6 (>= %s)" % highest[1] if highest else ""


def installedSize(tree):
    """In KiB, counted as dpkg-gencontrol counts: each file rounded up, anything else 1."""
    total = 0
    for folder, dirs, files in os.walk(tree):
        dirs[:] = [d for d in dirs if not (folder == tree and d == "DEBIAN")]
        total += 1
        for name in files:
            total += -(-os.lstat(os.path.join(folder, name)).st_size // 1024)
    return total


def packagingFile(name):
    with open(os.path.join(Packaging, name), "rb") as f:
        return f.read()


def put(tree, path, data):
    target = os.path.join(tree, path)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as f:
        f.write(data)


def gzipped(data):
    # gzip -n leaves out the name and the time, which would make every build differ.
    return run(["gzip", "-9n"], input=data, capture_output=True).stdout


def manualPage(engine):
    """doc/orvath.6 as installed: naming the engine as this package does, at its path here."""
    with open(os.path.join(Root, "doc", "orvath.6")) as f:
        text = f.read()
    return text.replace("orvath64", engine).replace("/usr/local/bin/", "/usr/games/").encode()


def stage(tree, arch, programs):
    """Lays out the installed files under `tree`."""
    os.makedirs(os.path.join(tree, Games))
    for name, path in programs:
        run([arch.strip, "--remove-section=.comment", "--remove-section=.note", "-o",
             os.path.join(tree, Games, name), path])
    page = arch.engine + ".6.gz"
    put(tree, os.path.join(Man6, page), gzipped(manualPage(arch.engine)))
    for tool in Tools:
        os.symlink(page, os.path.join(tree, Man6, tool + ".6.gz"))
    put(tree, "usr/share/doc/orvath/copyright", packagingFile("copyright"))
    put(tree, "usr/share/doc/orvath/changelog.Debian.gz", gzipped(packagingFile("changelog")))
    put(tree, "usr/share/lintian/overrides/orvath", packagingFile("lintian-overrides"))


def controlFiles(tree, fields):
    """DEBIAN/control from the template, and DEBIAN/md5sums of every installed file."""
    control = string.Template(packagingFile("control").decode()).substitute(fields, installedSize=installedSize(tree))
    # A program linked fully statically depends on nothing.
    control = "".join(line for line in control.splitlines(True) if line != "Depends: \n")
    sums = []
    for folder, dirs, files in os.walk(tree):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    digest = hashlib.md5(f.read()).hexdigest()
                sums.append("%s  %s\n" % (digest, os.path.relpath(path, tree)))
    put(tree, "DEBIAN/control", control.encode())
    put(tree, "DEBIAN/md5sums", "".join(sums).encode())


def settle(tree, epoch):
    """Gives every entry its mode and the one date, so that nothing of this build shows."""
    games = os.path.join(tree, Games)
    for folder, dirs, files in os.walk(tree, topdown=False):
        for name in files + dirs:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                os.chmod(path, 0o755 if os.path.isdir(path) or folder == games else 0o644)
            os.utime(path, (epoch, epoch), follow_symlinks=False)
    os.chmod(tree, 0o755)
    os.utime(tree, (epoch, epoch))


def main():
    parser = argparse.ArgumentParser(description=__doc__.strip().split("\n\n")[0])
    parser.add_argument("--arch", required=True, choices=sorted(Arches))
    parser.add_argument("--engine", required=True, help="the engine program built for ARCH")
    parser.add_argument("--perft", required=True, help="orvath-perft built for ARCH")
    parser.add_argument("--bench", required=True, help="orvath-bench built for ARCH")
    parser.add_argument("--out", required=True, help="folder for the package")
    args = parser.parse_args()
    arch = Arches[args.arch]
    try:
        package, version, maintainer = changelogTop()
        upstream = upstreamVersion()
        if version.rpartition("-")[0] != upstream:
            raise Fault("packaging/deb/changelog's top entry is for %s, but the programs are version %s"
                        % (version, upstream))
        programs = [(arch.engine, args.engine), (Tools[0], args.perft), (Tools[1], args.bench)]
        for _, path in programs:
            checkArchitecture(path, arch, args.arch)
        fields = {"package": package, "version": version, "architecture": args.arch,
                  "maintainer": maintainer, "depends": libcDependency(path for _, path in programs)}
        epoch = calendar.timegm(archiveTime())
        os.makedirs(args.out, exist_ok=True)
        deb = os.path.join(args.out, "%s_%s_%s.deb" % (package, version, args.arch))
        with tempfile.TemporaryDirectory() as tree:
            stage(tree, arch, programs)
            controlFiles(tree, fields)
            settle(tree, epoch)
            # One xz thread, so that the bytes cannot depend on how many processors there are.
            run(["dpkg-deb", "--root-owner-group", "-Zxz", "--threads-max=1", "--build", tree, deb + ".partial"],
                env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)), stdout=subprocess.DEVNULL)
        os.replace(deb + ".partial", deb)
    except (Fault, OSError) as exc:
        print("make_deb.py: %s" % exc, file=sys.stderr)
        return 1
    print("wrote %s (Depends: %s)" % (deb, fields["depends"] or "nothing"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
