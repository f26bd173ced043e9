#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures how long a program takes from its start to "uciok", over whole process runs.

    python3 tools/startup_time.py bin/orvath64 [more programs] --runs 15

Each run starts the program afresh, writes "uci" and "quit" at once (as
`printf 'uci\\nquit\\n' | program` would), and takes the time from just before the process is
created until the "uciok" line has been read, and until the process has ended. With several
programs the runs alternate between them, so that all of them see the same load on the
machine. Prints the median, lowest and highest of each, in milliseconds. The exit code is 1
when a run ends without "uciok" or with a non-zero exit code.
"""

import argparse
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches


def oneRun(program):
    """Milliseconds to "uciok" and to the end of the process; None for "uciok" if it never came."""
    started = time.perf_counter()
    proc = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
    try:
        proc.stdin.write(b"uci\nquit\n")
        proc.stdin.close()
    except BrokenPipeError:
        pass  # it ended without reading: judged by its output and exit code
    toUciok = None
    pending = b""
    while toUciok is None:
        chunk = proc.stdout.read(4096)
        if not chunk:
            break
        pending += chunk
        if b"uciok\n" in pending:
            toUciok = (time.perf_counter() - started) * 1000
    proc.stdout.read()
    code = proc.wait()
    toExit = (time.perf_counter() - started) * 1000
    return toUciok, toExit, code


def describe(values):
    return f"median {statistics.median(values):7.2f}  min {min(values):7.2f}  max {max(values):7.2f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("programs", nargs="+", help="engine programs to start")
    parser.add_argument("--runs", type=int, default=15, help="runs per program (default 15)")
    args = parser.parse_args()

    toUciok = {program: [] for program in args.programs}
    toExit = {program: [] for program in args.programs}
    failed = False
    for _ in range(args.runs):
        for program in args.programs:
            uciok, ended, code = oneRun(program)
            if uciok is None or code != 0:
                print(f"{program}: no uciok or exit code {code}", file=sys.stderr)
                failed = True
                continue
            toUciok[program].append(uciok)
            toExit[program].append(ended)

    for program in args.programs:
        if not toUciok[program]:
            continue
        print(f"{program} ({len(toUciok[program])} runs, ms)")
        print(f"  to uciok:      {describe(toUciok[program])}")
        print(f"  to exit:       {describe(toExit[program])}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
