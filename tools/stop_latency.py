#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures how quickly a UCI engine answers "stop" during "go infinite".

    python3 tools/stop_latency.py --engine bin/orvath64 --tries 100 [--threads 32]

For each try: set one of a few positions, wait for "readyok", send "go infinite", wait a
random 50..300 ms, send "stop", and time the gap until the "bestmove" line arrives. Each
best move is checked for legality, and a best move that arrives before "stop" is a fault
(an infinite search must wait for the release). At the end one more search is ended by
"quit" instead, which must still write "bestmove" and then exit with code 0.
The exit code is 1 when any fault was seen.
"""

import argparse
import os
import random
import statistics
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from chess_rules import Position, StartFen  # noqa: E402
from uci_process import Crashed, TimedOut, UciProcess  # noqa: E402

AnswerSeconds = 10.0

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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", required=True)
    parser.add_argument("--tries", type=int, default=100)
    parser.add_argument("--min-wait", type=int, default=50, help="milliseconds")
    parser.add_argument("--max-wait", type=int, default=300, help="milliseconds")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--threads", type=int, default=0, help="the Threads option (0: the default)")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)

    for positionArgs, fen in Positions:
        assert positionOf(positionArgs).fen().split()[:4] == fen.split()[:4], positionArgs

    engine = UciProcess(args.engine)
    engine.handshake(options=[("Threads", args.threads)] if args.threads else ())
    latencies, faults = [], []
    try:
        for attempt in range(args.tries):
            positionArgs, fen = Positions[attempt % len(Positions)]
            pos = positionOf(positionArgs)
            wait = rng.uniform(args.min_wait, args.max_wait) / 1000.0
            engine.send("position " + positionArgs)
            engine.isReady(AnswerSeconds)
            started = engine.send("go infinite")
            time.sleep(max(0.0, started + wait - time.monotonic()))
            early = [l for l in engine.drain() if l.startswith("bestmove")]
            stopped = engine.send("stop")
            if early:
                faults.append("try %d: '%s' before stop (position %s)" % (attempt + 1, early[0], positionArgs))
                line, arrived = early[0], stopped
            else:
                arrived, line = engine.waitFor("bestmove", AnswerSeconds)
            latency = (arrived - stopped) * 1000.0
            latencies.append(latency)
            words = line.split()
            if len(words) != 2 or pos.parseMove(words[1]) is None:
                faults.append("try %d: '%s' is not a legal best move in %s" % (attempt + 1, line, fen))
            if args.verbose:
                print("try %3d  wait %3.0f ms  stop->bestmove %6.2f ms  %s"
                      % (attempt + 1, wait * 1000, latency, line), flush=True)

        engine.send("position startpos")
        engine.isReady(AnswerSeconds)
        engine.send("go infinite")
        time.sleep(0.1)
        quitAt = engine.send("quit")
        arrived, line = engine.waitFor("bestmove", AnswerSeconds)
        code = engine.proc.wait(timeout=AnswerSeconds)
        ended = time.monotonic()
        if code != 0:
            faults.append("quit during search: exit code %s" % code)
        print("quit during go infinite: bestmove after %.2f ms, process ended after %.2f ms, exit code %s"
              % ((arrived - quitAt) * 1000, (ended - quitAt) * 1000, code))
    except (Crashed, TimedOut) as exc:
        faults.append("engine failure after %d tries: %s" % (len(latencies), exc))
    finally:
        engine.kill()

    if latencies:
        ordered = sorted(latencies)
        p95 = ordered[min(len(ordered) - 1, int(0.95 * len(ordered)))]
        print("stop latency over %d tries: median %.2f ms, mean %.2f ms, 95th %.2f ms, "
              "max %.2f ms, min %.2f ms"
              % (len(latencies), statistics.median(latencies), statistics.mean(latencies), p95,
                 ordered[-1], ordered[0]))
    for fault in faults:
        print("FAULT " + fault)
    print("Result: %s" % ("CLEAN" if not faults else "PROBLEMS (%d)" % len(faults)))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
