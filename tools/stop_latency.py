#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures how quickly UCI engines answer "isready" and "stop" during "go infinite".

    python3 tools/stop_latency.py --engine bin/orvath64 [--engine ethereal-chess] [--tries 50]
                                  [--threads 1,2] [--min-wait 50] [--max-wait 300] [--verbose]

For each thread count every engine gets its own process with that Threads value (0 leaves the
engine's default). Each try: set one of a few positions, wait for "readyok", send "go infinite",
wait a random 50..300 ms (--min-wait, --max-wait), send "isready" and time the gap until
"readyok" (the search must go on), wait another random 50..300 ms, send "stop" and time the gap
until "bestmove". Times run from just before writing the command to the moment its answer is
read, so they include the pipes and this script.

With several engines the tries are interleaved: try N is run on every engine in turn with the
same position and the same waits, and the order of the engines flips from one try to the next,
so a load that comes and goes on the machine falls on all of them alike.

Each best move is checked for legality, and a best move that arrives before "stop" is a fault
(an infinite search must wait for the release). After the tries one more search of each process
is ended by "quit" instead, which must still write "bestmove" and then exit with code 0.
A crash or a missing answer ends the tries of that engine and is a fault too.

The summary has one row per engine and thread count: median, 95th percentile (nearest rank)
and largest of both latencies. Faults are printed for every engine, but the exit code is 1
only when the first --engine (the one under test) had a fault; the others are for comparison.
"""

import argparse
import os
import random
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from chess_rules import Position, StartFen  # noqa: E402
from engine_field import (AnswerSeconds, Contender, enginesOf, inTurn, printFaults,  # noqa: E402
                          printSummary, startField, summaryTable)
from uci_process import Crashed, TimedOut  # noqa: E402

Positions = (
    ("startpos", StartFen),
    ("startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
     "r1bqkbnr/1ppp1ppp/p1n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 4"),
    ("fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
     "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"),
    ("fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"),
    ("fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R b KQ - 4 8",
     "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R b KQ - 4 8"),
    ("fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1"),
)


def positionOf(args):
    """The rules position for the text after "position"."""
    words = args.split()
    if words[0] == "startpos":
        pos, rest = Position(StartFen), words[1:]
    else:
        fenWords = []
        rest = words[1:]
        while rest and rest[0] != "moves":
            fenWords.append(rest.pop(0))
        pos = Position(" ".join(fenWords))
    if rest and rest[0] == "moves":
        for text in rest[1:]:
            pos.makeMove(pos.parseMove(text))
    return pos


class LatencyContender(Contender):
    """Its "isready" and "stop" latencies in ms."""

    def __init__(self, index, label, path, threads):
        super().__init__(index, label, path, threads)
        self.ready, self.stop = [], []


def oneTry(contender, attempt, positionArgs, firstWait, secondWait, verbose):
    """One search of one engine: isready at firstWait, stop secondWait after readyok."""
    engine = contender.engine
    pos = positionOf(positionArgs)
    engine.send("position " + positionArgs)
    engine.isReady(AnswerSeconds)
    started = engine.send("go infinite")
    time.sleep(max(0.0, started + firstWait - time.monotonic()))
    seen = engine.drain()
    asked = engine.send("isready")
    answered, _ = engine.waitFor("readyok", AnswerSeconds, seen)
    ready = (answered - asked) * 1000.0
    contender.ready.append(ready)
    time.sleep(max(0.0, answered + secondWait - time.monotonic()))
    seen += engine.drain()
    early = [l for l in seen if l.startswith("bestmove")]
    stopped = engine.send("stop")
    if early:
        # The search ended on its own, so there is no stop latency to count; the stray "stop"
        # must be ignored by an idle engine, and the next "isready" confirms it was.
        contender.faults.append("try %d: '%s' before stop (position %s)" % (attempt + 1, early[0], positionArgs))
        line, latency = early[0], None
    else:
        arrived, line = engine.waitFor("bestmove", AnswerSeconds)
        latency = (arrived - stopped) * 1000.0
        contender.stop.append(latency)
    words = line.split()
    if len(words) < 2 or pos.parseMove(words[1]) is None or (len(words) > 2 and words[2] != "ponder"):
        contender.faults.append("try %d: '%s' is not a legal best move in %s" % (attempt + 1, line, positionArgs))
    if verbose:
        print("%-16s T%-2d try %3d  isready->readyok %7.2f ms  stop->bestmove %s  %s"
              % (contender.label, contender.threads, attempt + 1, ready,
                 "%7.2f ms" % latency if latency is not None else "   (none)", line), flush=True)


def quitCheck(contender):
    """A "quit" during a search must still produce the best move and a clean exit."""
    engine = contender.engine
    engine.send("position startpos")
    engine.isReady(AnswerSeconds)
    engine.send("go infinite")
    time.sleep(0.1)
    quitAt = engine.send("quit")
    arrived, _ = engine.waitFor("bestmove", AnswerSeconds)
    code = engine.proc.wait(timeout=AnswerSeconds)
    ended = time.monotonic()
    if code != 0:
        contender.faults.append("quit during search: exit code %s" % code)
    return "quit during go infinite: bestmove after %.2f ms, process ended after %.2f ms, exit code %s" \
        % ((arrived - quitAt) * 1000, (ended - quitAt) * 1000, code)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", action="append", required=True,
                        help="an engine program; give it more than once to compare (the first is under test)")
    parser.add_argument("--tries", type=int, default=50, help="tries per engine and thread count")
    parser.add_argument("--min-wait", type=int, default=50, help="milliseconds")
    parser.add_argument("--max-wait", type=int, default=300, help="milliseconds")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--threads", default="1,2",
                        help="comma-separated values of the Threads option (0: the engine's default)")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    threadCounts = [int(t) for t in args.threads.split(",")]
    engines = enginesOf(parser, args.engine)

    for positionArgs, fen in Positions:
        assert positionOf(positionArgs).fen().split()[:4] == fen.split()[:4], positionArgs

    print("%d tries per engine and thread count; isready and stop each a random %d..%d ms after "
          "the previous step; load average %.2f" % (args.tries, args.min_wait, args.max_wait, os.getloadavg()[0]),
          flush=True)
    finished = []
    for threads in threadCounts:
        contenders = startField(LatencyContender, engines, threads)
        try:
            for attempt in range(args.tries):
                positionArgs, _ = Positions[attempt % len(Positions)]
                firstWait = rng.uniform(args.min_wait, args.max_wait) / 1000.0
                secondWait = rng.uniform(args.min_wait, args.max_wait) / 1000.0
                inTurn(contenders, attempt,
                       lambda c: oneTry(c, attempt, positionArgs, firstWait, secondWait, args.verbose),
                       "in try %d" % (attempt + 1))
            for contender in contenders:
                if not contender.alive:
                    continue
                try:
                    print("%s, Threads %s: %s" % (contender.label, contender.threads or "default",
                                                  quitCheck(contender)), flush=True)
                except (Crashed, TimedOut, subprocess.TimeoutExpired) as exc:
                    contender.fail("quit during search: %s" % exc)
        finally:
            for contender in contenders:
                if contender.alive:
                    contender.engine.kill()
        finished += contenders

    printSummary("Latency in ms from writing the command to reading the answer; ready: \"isready\" to \"readyok\" "
                 "during the search; stop: \"stop\" to \"bestmove\"; load average now %.2f" % os.getloadavg()[0],
                 engines, finished,
                 summaryTable(finished, "tries", lambda c: len(c.ready),
                              (("ready", lambda c: c.ready), ("stop", lambda c: c.stop)), 2))
    print()
    underTest, others = printFaults(finished)
    print("Result: %s" % ("CLEAN" if not underTest else "PROBLEMS (%d)" % underTest)
          + (" (comparison engines: %d fault%s)" % (others, "" if others == 1 else "s") if len(engines) > 1 else ""))
    sys.exit(1 if underTest else 0)


if __name__ == "__main__":
    main()
