#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Estimates how much of a bench run waits for the transposition table's memory.

    python3 tools/table_waits.py bin/orvath-bench [more bench programs] [--depth 12] [--runs 3]

Each program's `orvath-bench DEPTH` runs under `perf record` (timer sampling, so it works in
virtual machines without hardware counters too); with several programs the runs alternate.
A node's first read of its hash-table bucket usually misses every cache: the samples then pile
up on the one instruction that waits for that line, in the node search and in quiescence.
Counted as waiting are the samples on any single instruction of those two functions that
holds more than WaitShare of its function's samples (no other instruction there comes near).
Printed per program: the samples of all runs, those counted as waiting and their share, and
those in the start-up's magic search (programs that still run it).

The figure is an estimate: while the processor waits it also runs ahead on independent work,
and that time is not counted as waiting. Needs Linux `perf` (Debian package linux-perf).
"""

import argparse
import collections
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree free of caches

WaitShare = 0.05
SearchFunctions = ("quiesce<false>", "search<false>")
StartUpFunctions = ("searchSliderMagics",)


def sampleRun(program, depth):
    """Samples of one bench run: a Counter of (address, symbol) and one of symbol."""
    with tempfile.TemporaryDirectory() as scratch:
        data = os.path.join(scratch, "perf.data")
        subprocess.run(["perf", "record", "-q", "-o", data, program, str(depth)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        script = subprocess.run(["perf", "script", "-i", data, "-F", "ip,sym"], check=True,
                                capture_output=True, text=True).stdout
    byAddress = collections.Counter()
    bySymbol = collections.Counter()
    for line in script.splitlines():
        fields = line.split(None, 1)
        if len(fields) == 2:
            byAddress[(fields[0], fields[1])] += 1
            bySymbol[fields[1]] += 1
    return byAddress, bySymbol


def waitingSamples(byAddress, bySymbol):
    waiting = 0
    for (_, symbol), count in byAddress.items():
        if any(name in symbol for name in SearchFunctions) and count > WaitShare * bySymbol[symbol]:
            waiting += count
    return waiting


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("programs", nargs="+", help="orvath-bench programs")
    parser.add_argument("--depth", type=int, default=12)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    totals = {program: collections.Counter() for program in args.programs}
    for _ in range(args.runs):
        for program in args.programs:
            byAddress, bySymbol = sampleRun(program, args.depth)
            total = sum(bySymbol.values())
            totals[program]["samples"] += total
            totals[program]["waiting"] += waitingSamples(byAddress, bySymbol)
            totals[program]["start-up"] += sum(count for symbol, count in bySymbol.items()
                                               if any(name in symbol for name in StartUpFunctions))

    for program, counts in totals.items():
        samples = counts["samples"]
        share = 100.0 * counts["waiting"] / samples if samples else 0.0
        print(f"{program}: samples {samples}, waiting for the table {counts['waiting']} ({share:.1f} %), "
              f"magic search {counts['start-up']}, the rest {samples - counts['waiting'] - counts['start-up']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
