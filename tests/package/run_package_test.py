#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Debian package as a user meets it: installed into a throw-away root, the files dpkg
lists, a short UCI session with the installed engine, the manual page under each program's
name, and a purge that leaves nothing behind.

    python3 tests/package/run_package_test.py dist/orvath_0.3b-1_amd64.deb [--run EMULATOR]

The root has a dpkg database of its own (dpkg --root), so the host's packages are neither read
nor touched; libc6 is not in that database, hence --force-depends. It runs as root or, through
--force-not-root, as any user. An engine for another processor runs under the emulator command
given with --run (as `make test-deb` gives qemu-user's for the ARM packages).

Prints one line per check; exit code 1 when any failed, 2 on wrong usage.
"""

import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree free of caches
Root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(Root, "tools"))

from uci_process import EngineError, UciProcess  # noqa: E402

Engines = {"amd64": ("orvath64", "x64"), "arm64": ("orvath64", "x64"),
           "i386": ("orvath32", "w32"), "armhf": ("orvath32", "w32")}
Tools = ("orvath-perft", "orvath-bench")
Database = os.path.join("var", "lib", "dpkg")
ReplySeconds = 10.0
SearchSeconds = 60.0  # go depth 6 takes well under a second, but may run under an emulator
CommandSeconds = 60.0


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def report(self, name, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        print("%-4s %s%s" % ("ok" if ok else "FAIL", name, (": " + detail) if detail else ""), flush=True)
        return ok


def command(args, **kwargs):
    """Runs a command to its end; returns (exit code, output with errors)."""
    try:
        done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              timeout=CommandSeconds, **kwargs)
    except (OSError, subprocess.TimeoutExpired) as exc:
        return None, str(exc)
    return done.returncode, done.stdout


class Dpkg:
    """dpkg confined to the throw-away root, with its own database and no log on the host."""

    def __init__(self, root):
        self.root = root
        # The host's own settings may keep manual pages and documents out of an installation;
        # the last filter given decides, so every file of the package goes in here.
        self.options = ["--root=" + root, "--log=/dev/null", "--path-include=/*"]
        if os.geteuid() != 0:
            self.options.append("--force-not-root")
        # dpkg looks for ldconfig and start-stop-daemon, which a user's path may lack.
        self.env = dict(os.environ, PATH=os.environ.get("PATH", "/usr/bin:/bin") + ":/usr/sbin:/sbin")
        database = os.path.join(root, Database)
        for folder in ("info", "updates", "triggers"):
            os.makedirs(os.path.join(database, folder))
        for name in ("status", "available"):
            open(os.path.join(database, name), "w").close()

    def __call__(self, *args):
        return command(["dpkg", *self.options, *args], env=self.env)


def field(deb, name):
    code, out = command(["dpkg-deb", "--field", deb, name])
    return out.strip() if code == 0 else None


def expectedFiles(engine):
    return {"/usr/games/" + name for name in (engine, *Tools)} | \
           {"/usr/share/man/man6/%s.6.gz" % name for name in (engine, *Tools)} | \
           {"/usr/share/doc/orvath/copyright", "/usr/share/doc/orvath/changelog.Debian.gz",
            "/usr/share/lintian/overrides/orvath"}


def checkListing(checks, dpkg, engine):
    code, out = dpkg("-L", "orvath")
    listed = {line for line in out.splitlines() if line.startswith("/")} if code == 0 else set()
    files = {path for path in listed
             if os.path.islink(dpkg.root + path) or not os.path.isdir(dpkg.root + path)}
    expected = expectedFiles(engine)
    problems = ["%s %s" % (what, " ".join(sorted(paths)))
                for what, paths in (("missing", expected - files), ("unexpected", files - expected)) if paths]
    checks.report("dpkg -L orvath lists the %d expected files" % len(expected), code == 0 and not problems,
                  "; ".join(problems) or (out.strip() if code else ""))


def checkSession(checks, program, run, idName):
    """uci, isready, a short search and quit, each answered as the protocol asks."""
    name = "engine session with %s" % program[program.rindex("/usr/"):]
    try:
        engine = UciProcess(run[0], name=program, args=run[1:] + [program]) if run else UciProcess(program)
    except OSError as exc:
        checks.report(name, False, str(exc))
        return
    try:
        seen = []
        engine.send("uci")
        engine.waitFor("uciok", ReplySeconds, seen)
        if "id name " + idName not in seen:
            raise EngineError("no 'id name %s' before uciok, only: %s" % (idName, " | ".join(seen)))
        engine.send("isready")
        engine.waitFor("readyok", ReplySeconds)
        engine.send("position startpos moves e2e4")
        engine.send("go depth 6")
        _, best = engine.waitFor("bestmove", SearchSeconds)
        code = engine.quit(ReplySeconds)
        checks.report(name, code == 0, best if code == 0 else "exit code %s after quit" % code)
    except EngineError as exc:
        engine.kill()
        checks.report(name, False, str(exc))


def checkManualPage(checks, root, name, engine):
    page = os.path.join(root, "usr", "share", "man", "man6", name + ".6.gz")
    env = dict(os.environ, MANWIDTH="80")
    env.pop("MAN_KEEP_FORMATTING", None)  # plain text, as man writes to a pipe by default
    code, out = command(["man", "--pager=cat", "-l", page], env=env)
    checks.report("man -l %s.6.gz renders" % name, code == 0 and engine in out,
                  "" if code == 0 and engine in out else "exit code %s: %s" % (code, out.strip()[:300]))


def leftovers(root):
    """Whatever is in the root outside the dpkg database and the folders leading to it."""
    keep = {os.path.join(root, part) for part in ("var", os.path.join("var", "lib"))}
    database = os.path.join(root, Database)
    found = []
    for folder, dirs, files in os.walk(root):
        if folder == database:
            dirs[:] = []
            continue
        found += [os.path.relpath(os.path.join(folder, name), root) for name in dirs + files
                  if os.path.join(folder, name) not in keep | {database}]
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description=__doc__.strip().split("\n\n")[0])
    parser.add_argument("deb", help="the package")
    parser.add_argument("--run", default="", help="the emulator command that runs its programs")
    options = parser.parse_args()
    deb = os.path.abspath(options.deb)
    if not os.path.isfile(deb):
        print("%s: no such file" % deb, file=sys.stderr)
        return 2
    arch, version = field(deb, "Architecture"), field(deb, "Version")
    if arch not in Engines or not version:
        print("%s is no package of the engine for %s" % (deb, " or ".join(Engines)), file=sys.stderr)
        return 2
    engine, flavour = Engines[arch]
    idName = "Orvath %s %s" % (version.rpartition("-")[0], flavour)

    checks = Checks()
    root = tempfile.mkdtemp(prefix="orvath-package-")
    try:
        dpkg = Dpkg(root)
        code, native = command(["dpkg", "--print-architecture"])
        if code == 0 and native.strip() != arch:
            dpkg("--add-architecture", arch)
        code, out = dpkg("--force-depends", "--install", deb)
        if checks.report("dpkg --install %s" % os.path.basename(deb), code == 0, "" if code == 0 else out.strip()):
            checkListing(checks, dpkg, engine)
            checkSession(checks, os.path.join(root, "usr", "games", engine), shlex.split(options.run), idName)
            for name in (engine, *Tools):
                checkManualPage(checks, root, name, engine)
            code, out = dpkg("--purge", "orvath")
            checks.report("dpkg --purge orvath", code == 0, "" if code == 0 else out.strip())
            left = leftovers(root)
            checks.report("nothing left besides the dpkg database", not left, " ".join(left))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
