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
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from engine_field import (AnswerSeconds, Contender, enginesOf, inTurn, printFaults,  # noqa: E402
                          printSummary, startField, summaryTable)

Positions = (
    "startpos",
    "startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R b KQ - 4 8",
)


class TimingContender(Contender):
    """Its overshoots of "go movetime" and its think times on a short clock, in ms."""

    def __init__(self, index, label, path, threads):
        super().__init__(index, label, path, threads)
        self.overshoot, self.think = [], []

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
    engines = enginesOf(parser, args.engine)

    print("rounds: %d of %d positions per engine and thread count; load average %.2f"
          % (args.rounds, len(Positions), os.getloadavg()[0]), flush=True)
    finished = []
    for threads in threadCounts:
        contenders = startField(TimingContender, engines, threads)
        try:
            step = 0
            for _ in range(args.rounds):
                for position in Positions:
                    inTurn(contenders, step, lambda c: c.search(position, args.movetime), "on '%s'" % position)
                    step += 1
        finally:
            for contender in contenders:
                if contender.alive:
                    contender.engine.quit()
        finished += contenders
        print("Threads %s done" % (threads or "default"), flush=True)

    printSummary("Times in ms from writing \"go\" to reading \"bestmove\"; over: how far \"go movetime %d\" "
                 "answered past its %d ms; think: how long \"go wtime 1000 btime 1000\" took; load average now %.2f"
                 % (args.movetime, args.movetime, os.getloadavg()[0]),
                 engines, finished,
                 summaryTable(finished, "searches", lambda c: len(c.think),
                              (("over", lambda c: c.overshoot), ("think", lambda c: c.think)), 1))
    underTest, _ = printFaults(finished)
    sys.exit(1 if underTest else 0)


if __name__ == "__main__":
    main()
