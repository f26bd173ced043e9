#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the programs built for one processor where they run, natively or under an emulator:
the bench signature, perft counts from three positions, and a short protocol session. The
other processors' builds must give the very same counts, move for move and node for node.

    python3 tests/processors/check_programs.py --engine bin/arm64/orvath64 \\
        --perft bin/arm64/orvath-perft --bench bin/arm64/orvath-bench \\
        [--run "qemu-aarch64 -L /usr/aarch64-linux-gnu"]

Prints one line per check and exits with 1 when any fails.
"""

import argparse
import os
import shlex
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from uci_process import EngineError, UciProcess  # noqa: E402

BenchDepth = 8
BenchNodes = 764843

# Start position; one with both sides' castling and en passant; one where pawns promote, with
# and without capture, beside castling and a pinned piece. Bulk counting at depth 5, and every
# leaf made and unmade at depth 4.
PerftChecks = [
    ("startpos", 5, 4865609, 197281),
    ("fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5, 193690690, 4085603),
    ("fen r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 5, 15833292, 422333),
]

# Generous: an emulator runs these programs several times slower than the processor would.
Timeout = 600


class Checks:
    def __init__(self):
        self.failed = 0

    def report(self, ok, what):
        print("%s %s" % ("ok  " if ok else "FAIL", what), flush=True)
        if not ok:
            self.failed += 1


def countedNodes(command):
    """Runs a perft or bench program and returns the count of its summary line ("nodes N ...")."""
    started = time.monotonic()
    result = subprocess.run(command, capture_output=True, text=True, timeout=Timeout)
    lines = [line for line in result.stdout.splitlines() if line.startswith("nodes ")]
    nodes = int(lines[-1].split()[1]) if result.returncode == 0 and lines else None
    return nodes, time.monotonic() - started


def checkCounts(checks, run, perft, bench):
    nodes, seconds = countedNodes(run + [bench, str(BenchDepth)])
    checks.report(nodes == BenchNodes, "bench depth %d: %s nodes, expected %d (%.1f s)"
                  % (BenchDepth, nodes, BenchNodes, seconds))
    for position, depth, bulkLeaves, madeLeaves in PerftChecks:
        args = position.split(" ", 1)
        args = args if len(args) == 1 else [args[0]] + args[1].split()
        for depthHere, expected, extra in ((depth, bulkLeaves, ["--bulk"]), (depth - 1, madeLeaves, [])):
            nodes, seconds = countedNodes(run + [perft, str(depthHere)] + args + extra)
            checks.report(nodes == expected, "perft %d%s %s: %s, expected %d (%.1f s)"
                          % (depthHere, " --bulk" if extra else "", position, nodes, expected, seconds))


def isMove(bestMoveLine):
    words = bestMoveLine.split()
    return len(words) >= 2 and len(words[1]) in (4, 5) and words[1] != "0000"


def checkSession(checks, run, engine):
    """uci, position, go depth, a search ended by stop, quit: the dialogue every GUI starts with."""
    wordSize = "x64" if os.path.basename(engine).startswith("orvath64") else "w32"
    process = UciProcess(run[0] if run else engine, name=os.path.basename(engine),
                         args=run[1:] + [engine] if run else [])
    try:
        seen = []
        process.send("uci")
        process.waitFor("uciok", 60, seen)
        names = [line for line in seen if line.startswith("id name ")]
        checks.report(len(names) == 1 and names[0].endswith(" " + wordSize),
                      "uci: %s, uciok" % (names[0] if names else "no id name"))
        process.isReady(60)
        process.send("position startpos moves e2e4 e7e5")
        process.send("go depth 8")
        _, line = process.waitFor("bestmove", Timeout)
        checks.report(isMove(line), "go depth 8: " + line)
        process.send("go infinite")
        time.sleep(1.0)
        process.send("stop")
        _, line = process.waitFor("bestmove", 60)
        checks.report(isMove(line), "go infinite, stop: " + line)
        code = process.quit(timeout=60)
        checks.report(code == 0, "quit: exit code %s" % code)
    except EngineError as error:
        checks.report(False, "protocol session: %s" % error)
        process.kill()


def main():
    parser = argparse.ArgumentParser(description=__doc__.strip().split("\n\n")[0])
    parser.add_argument("--engine", required=True)
    parser.add_argument("--perft", required=True)
    parser.add_argument("--bench", required=True)
    parser.add_argument("--run", default="", help="the emulator command that runs the programs")
    options = parser.parse_args()
    run = shlex.split(options.run)
    checks = Checks()
    print("programs: %s%s" % (os.path.dirname(options.engine) or ".", " under " + options.run if run else ""))
    checkCounts(checks, run, options.perft, options.bench)
    checkSession(checks, run, options.engine)
    print("%d checks failed" % checks.failed if checks.failed else "all checks passed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
