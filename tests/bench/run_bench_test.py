#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs `<engine> bench` as testing frameworks do and reads its output as they read it.

    python3 tests/bench/run_bench_test.py ENGINE...

Each engine must exit with 0 without reading its standard input (which stays open and
silent), and the bench must come out as the node count that README.md states for the default
depth, whichever compiler built the program. The output is read the way such frameworks read
it: every run of characters other than letters and digits becomes a blank, then the lines are
searched from the last one up for a number beside "nodes" and one beside "nps", the first
found of each counting.
"""

import re
import subprocess
import sys

# The signature of `orvath64 bench` (depth 13), as README.md states it.
DefaultBenchNodes = 12109604
TimeoutSeconds = 300

NodesPattern = re.compile(r"(\d+\s+nodes)|(nodes\s+\d+)", re.I)
NpsPattern = re.compile(r"(\d+\s+nps)|(nps\s+\d+)", re.I)


def readAsFrameworks(output):
    """The node count and speed a testing framework finds in the output, None where it finds none."""
    nodes = nps = None
    for line in reversed(output.strip().splitlines()):
        line = re.sub(r"[^a-zA-Z0-9 ]+", " ", line)
        foundNodes, foundNps = NodesPattern.search(line), NpsPattern.search(line)
        if nodes is None and foundNodes:
            nodes = int(re.search(r"\d+", foundNodes.group()).group())
        if nps is None and foundNps:
            nps = int(re.search(r"\d+", foundNps.group()).group())
    return nodes, nps


def checkEngine(path):
    """A list of the faults found in one engine's bench."""
    # The input is a pipe that is never written to nor closed: an engine that read it would wait
    # until the timeout.
    process = subprocess.Popen([path, "bench"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    try:
        output, errors = process.communicate(timeout=TimeoutSeconds)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        return ["no end within %d s" % TimeoutSeconds]
    finally:
        if process.stdin and not process.stdin.closed:
            process.stdin.close()
    faults = []
    if process.returncode != 0:
        faults.append("exit code %d" % process.returncode)
    if errors:
        faults.append("standard error: %r" % errors[:200])
    lines = output.strip().splitlines()
    last = lines[-1] if lines else ""
    if not re.fullmatch(r"\d+ nodes \d+ nps", last):
        faults.append("last line %r is not '<nodes> nodes <nps> nps'" % last)
    nodes, nps = readAsFrameworks(output)
    if nodes != DefaultBenchNodes:
        faults.append("bench %s, expected %d" % (nodes, DefaultBenchNodes))
    if not nps or "%d nodes %d nps" % (nodes or 0, nps) != last:
        faults.append("speed %s is not the one on the last line %r" % (nps, last))
    print("%s bench: %s nodes %s nps%s" % (path, nodes, nps, "" if faults else ", ok"), flush=True)
    return faults


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    failed = False
    for path in sys.argv[1:]:
        for fault in checkEngine(path):
            print("FAIL %s: %s" % (path, fault), flush=True)
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
