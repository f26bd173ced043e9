#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures how well UCI engines keep their time on several thread counts.

    python3 tools/time_keeping.py --engine bin/orvath64 [--engine ethereal-chess] [--threads 1,2]
                                  [--movetime 1000] [--rounds 4]

For each thread count every engine gets its own process with that Threads value (0 leaves the
engine's default). On five positions and for each round: "go movetime N" (how far the answer
comes after the N ms, N = --movetime, 1000 by default; negative when it comes early) and
"go wtime 1000 btime 1000" (how long the move took). Times are taken from writing "go" to
reading "bestmove", so they include the pipes and this script.

With several engines the searches are interleaved: each position of each round is searched by
every engine in turn, and the order of the engines flips from one position to the next, so a
load that comes and goes on the machine falls on all of them alike.

The summary has one row per engine and thread count: median, 95th percentile (nearest rank)
and largest of both times. A crash or a missing answer ends that engine's searches at that
thread count and is printed as a FAULT; the exit code is 1 only when the first --engine (the
one under test) had one.
"""

import argparse
import math
import os
import shutil
import statistics
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from uci_process import Crashed, TimedOut, UciProcess  # noqa: E402

AnswerSeconds = 10.0
Positions = (
    "startpos",
    "startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R b KQ - 4 8",
)


def enginePath(name):
    """The program for an --engine argument. A bare name is looked up on PATH and then in
    /usr/games, where Debian installs its chess engines without putting it on every PATH."""
    if os.sep in name:
        return name if os.access(name, os.X_OK) else None
    return shutil.which(name) or shutil.which(name, path="/usr/games")


def percentile95(values):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(0.95 * len(ordered)) - 1)]


class Contender:
    """One engine at one thread count: its process, its measurements and its faults."""

    def __init__(self, index, label, path, threads):
        self.index, self.label, self.path, self.threads = index, label, path, threads
        self.overshoot, self.think, self.faults = [], [], []
        self.idName = label
        self.engine = None
        self.alive = False

    def start(self):
        try:
            self.engine = UciProcess(self.path, name=self.label)
            seen = []
            self.engine.send("uci")
            self.engine.waitFor("uciok", AnswerSeconds, seen)
            for line in seen:
                if line.startswith("id name "):
                    self.idName = line[len("id name "):]
            if self.threads:
                self.engine.send("setoption name Threads value %d" % self.threads)
            self.engine.isReady(AnswerSeconds)
            self.alive = True
        except (Crashed, TimedOut) as exc:
            self.fail("start failed: %s" % exc)

    def fail(self, what):
        self.faults.append(what)
        self.alive = False
        if self.engine is not None:
            self.engine.kill()

    def search(self, position, movetime):
        engine = self.engine
        engine.send("position " + position)
        engine.isReady(AnswerSeconds)
        sent = engine.send("go movetime %d" % movetime)
        arrived, _ = engine.waitFor("bestmove", AnswerSeconds + movetime / 1000.0)
        self.overshoot.append((arrived - sent) * 1000.0 - movetime)
        sent = engine.send("go wtime 1000 btime 1000")
        arrived, _ = engine.waitFor("bestmove", AnswerSeconds)
        self.think.append((arrived - sent) * 1000.0)


def summaryTable(contenders, movetime):
    def spread(values):
        if not values:
            return ("-", "-", "-")
        return tuple("%.1f" % v for v in (statistics.median(values), percentile95(values), max(values)))

    header = ("engine", "Threads", "searches", "over med", "over p95", "over max",
              "think med", "think p95", "think max", "faults")
    rows = [(c.label, str(c.threads) if c.threads else "default", str(len(c.think)),
             *spread(c.overshoot), *spread(c.think), str(len(c.faults))) for c in contenders]
    widths = [max(len(r[i]) for r in [header, *rows]) for i in range(len(header))]

    def cells(row):
        return "| " + " | ".join(v.ljust(w) if i == 0 else v.rjust(w)
                                 for i, (v, w) in enumerate(zip(row, widths))) + " |"

    rule = "|" + "|".join("-" * (w + 1) + (":" if i else "-") for i, w in enumerate(widths)) + "|"
    return "\n".join([cells(header), rule] + [cells(r) for r in rows])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", action="append", required=True,
                        help="an engine program; give it more than once to compare (the first is under test)")
    parser.add_argument("--threads", default="1,2",
                        help="comma-separated values of the Threads option (0: the engine's default)")
    parser.add_argument("--movetime", type=int, default=1000, help="milliseconds for 'go movetime'")
    parser.add_argument("--rounds", type=int, default=4)
    args = parser.parse_args()
    threadCounts = [int(t) for t in args.threads.split(",")]
    engines = []
    for name in args.engine:
        path = enginePath(name)
        if path is None:
            parser.error("no engine program '%s'" % name)
        # The same program may be given twice (to see the spread between identical runs).
        label = name if name not in [l for l, _ in engines] else "%s #%d" % (name, len(engines) + 1)
        engines.append((label, path))

    print("rounds: %d of %d positions per engine and thread count; load average %.2f"
          % (args.rounds, len(Positions), os.getloadavg()[0]), flush=True)
    finished = []
    for threads in threadCounts:
        contenders = [Contender(index, label, path, threads) for index, (label, path) in enumerate(engines)]
        for contender in contenders:
            contender.start()
        try:
            step = 0
            for _ in range(args.rounds):
                for position in Positions:
                    for contender in (contenders if step % 2 == 0 else reversed(contenders)):
                        if not contender.alive:
                            continue
                        try:
                            contender.search(position, args.movetime)
                        except (Crashed, TimedOut) as exc:
                            contender.fail("engine failure on '%s': %s" % (position, exc))
                    step += 1
        finally:
            for contender in contenders:
                if contender.alive:
                    contender.engine.quit()
        finished += contenders
        print("Threads %s done" % (threads or "default"), flush=True)

    print()
    print("Times in ms from writing \"go\" to reading \"bestmove\"; over: how far \"go movetime %d\" "
          "answered past its %d ms; think: how long \"go wtime 1000 btime 1000\" took; load average now %.2f"
          % (args.movetime, args.movetime, os.getloadavg()[0]))
    for label, _ in engines:
        ids = sorted({c.idName for c in finished if c.label == label})
        print("  %s: %s" % (label, ", ".join(ids)))
    print(summaryTable(finished, args.movetime))
    faults = 0
    for contender in finished:
        for fault in contender.faults:
            print("FAULT %s, Threads %s: %s" % (contender.label, contender.threads or "default", fault))
            faults += contender.index == 0
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
