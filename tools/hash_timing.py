#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times what a GUI meets around the hash table: how long "setoption name Hash" and
"Clear Hash" hold up the next "readyok", and how long a "go movetime 100" takes to answer
right after a resize, in later searches, and right after Clear Hash.

    python3 tools/hash_timing.py --engine bin/orvath64 [--sizes 32 256 1024 2048] [--later 4]

Times are milliseconds from writing the command to reading the answer, as the GUI sees
them. The exit code is 1 when any answer to "go movetime 100" took longer than 100 + 120 ms
(a move that a GUI with a small margin would count as lost on time), 2 on an engine fault.

    python3 tools/hash_timing.py --speed DEPTH --engine OLD --engine NEW [--pairs 3] [--sizes 32 1024]

instead searches the bench positions (src/engine/bench_positions.h) one after the other to DEPTH
through the protocol, as a GUI would, with each hash size, and prints the search speed (the
nodes and times of the last "info" line of each search) of each program, the programs taking
turns; their node counts must agree.
"""

import argparse
import os
import re
import statistics
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from uci_process import EngineError, UciProcess  # noqa: E402

MoveTime = 100
Tolerance = 120
Positions = (
    "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "position startpos moves d2d4 g8f6 c2c4 e7e6 b1c3 f8b4",
)


def milliseconds(start, end):
    return (end - start) * 1000.0


def timeReady(engine):
    start = engine.send("isready")
    stamp, _ = engine.waitFor("readyok", 60.0)
    return milliseconds(start, stamp)


def timeMove(engine, position):
    engine.send(position)
    timeReady(engine)
    start = engine.send("go movetime %d" % MoveTime)
    stamp, _ = engine.waitFor("bestmove", 60.0)
    return milliseconds(start, stamp)


def measureSize(path, megabytes, later):
    engine = UciProcess(path)
    try:
        engine.send("uci")
        engine.waitFor("uciok", 10.0)
        engine.send("setoption name Hash value %d" % megabytes)
        resize = timeReady(engine)
        first = timeMove(engine, Positions[0])
        afterwards = [timeMove(engine, Positions[(i + 1) % len(Positions)]) for i in range(later)]
        engine.send("setoption name Clear Hash")
        clear = timeReady(engine)
        afterClear = timeMove(engine, Positions[0])
        code = engine.quit()
        if code != 0:
            raise EngineError("exit code %s" % code)
        return {"resize": resize, "first": first, "later": afterwards, "clear": clear, "afterClear": afterClear}
    finally:
        engine.kill()


def benchPositions():
    header = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "engine", "bench_positions.h")
    with open(header) as text:
        return re.findall(r'^\s*"([^"]+)",', text.read(), re.M)


def searchSpeed(path, megabytes, depth):
    """Nodes and search milliseconds over every bench position, as the engine reports them."""
    engine = UciProcess(path)
    try:
        engine.handshake(options=(("Hash", megabytes),))
        nodes = milliseconds = 0
        for fen in benchPositions():
            engine.send("position fen " + fen)
            seen = []
            engine.send("go depth %d" % depth)
            engine.waitFor("bestmove", 600.0, seen)
            last = [line for line in seen if line.startswith("info") and " nodes " in line]
            if last:
                words = last[-1].split()
                nodes += int(words[words.index("nodes") + 1])
                milliseconds += int(words[words.index("time") + 1])
        engine.quit()
        return nodes, milliseconds
    finally:
        engine.kill()


def compareSpeed(args):
    for megabytes in args.sizes:
        rates = {path: [] for path in args.engine}
        counts = set()
        for _ in range(args.pairs):
            for path in args.engine:
                nodes, milliseconds = searchSpeed(path, megabytes, args.speed)
                counts.add(nodes)
                rates[path].append(nodes / max(milliseconds, 1) / 1000.0)
        if len(counts) != 1:
            print("Hash %d: node counts differ: %s" % (megabytes, sorted(counts)))
            return 2
        medians = [statistics.median(rates[path]) for path in args.engine]
        line = "Hash %5d MB, %d nodes:" % (megabytes, counts.pop())
        line += "".join("  %s %.3f Mnps" % (path, median) for path, median in zip(args.engine, medians))
        if len(medians) == 2:
            line += "  ratio %.3f" % (medians[1] / medians[0])
        print(line, flush=True)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--engine", action="append", help="the program (twice with --speed)")
    parser.add_argument("--sizes", type=int, nargs="+", default=[32, 256, 1024, 2048])
    parser.add_argument("--later", type=int, default=4, help="searches after the first one")
    parser.add_argument("--speed", type=int, metavar="DEPTH", help="compare search speeds instead")
    parser.add_argument("--pairs", type=int, default=3, help="runs of each program with --speed")
    args = parser.parse_args()
    args.engine = args.engine or ["bin/orvath64"]
    if args.speed:
        return compareSpeed(args)
    args.engine = args.engine[0]

    print("%6s %12s %8s %16s %12s %8s" % ("Hash", "Hash→ready", "first", "later (median/max)",
                                         "Clear→ready", "after Clear"))
    late = []
    for megabytes in args.sizes:
        try:
            result = measureSize(args.engine, megabytes, args.later)
        except EngineError as fault:
            print("Hash %d: engine fault: %s" % (megabytes, fault))
            return 2
        later = result["later"]
        print("%6d %12.0f %8.0f %9.0f / %4.0f %12.0f %8.0f" % (
            megabytes, result["resize"], result["first"], statistics.median(later), max(later),
            result["clear"], result["afterClear"]))
        answers = [result["first"], result["afterClear"]] + later
        late += ["Hash %d: %.0f ms" % (megabytes, t) for t in answers if t > MoveTime + Tolerance]
    if late:
        print("answers later than %d ms: %s" % (MoveTime + Tolerance, ", ".join(late)))
        return 1
    print("every answer within %d ms" % (MoveTime + Tolerance))
    return 0


if __name__ == "__main__":
    sys.exit(main())
