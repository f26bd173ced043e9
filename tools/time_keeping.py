#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures how well the engine keeps its time on several thread counts.

    python3 tools/time_keeping.py --engine bin/orvath64 [--threads 1,2,8,32] [--rounds 4]

For each thread count, on five positions and for each round: "go movetime 200" (how far the
answer comes after the 200 ms) and "go wtime 1000 btime 1000" (how long the move took; the
budget there is 20 ms). Times are taken from writing "go" to reading "bestmove", so they include
the pipes and this script. Printed: the median and the largest of each, per thread count.
"""

import argparse
import os
import statistics
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from uci_process import UciProcess  # noqa: E402

AnswerSeconds = 10.0
Positions = (
    "startpos",
    "startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP1B1PPP/R2QKB1R b KQ - 4 8",
)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", required=True)
    parser.add_argument("--threads", default="1,2,8,32", help="comma-separated thread counts")
    parser.add_argument("--rounds", type=int, default=4)
    args = parser.parse_args()

    for threads in (int(t) for t in args.threads.split(",")):
        engine = UciProcess(args.engine)
        engine.handshake(options=[("Threads", threads)])
        overshoot, think = [], []
        for _ in range(args.rounds):
            for position in Positions:
                engine.send("position " + position)
                engine.isReady(AnswerSeconds)
                sent = engine.send("go movetime 200")
                arrived, _ = engine.waitFor("bestmove", AnswerSeconds)
                overshoot.append((arrived - sent) * 1000.0 - 200.0)
                sent = engine.send("go wtime 1000 btime 1000")
                arrived, _ = engine.waitFor("bestmove", AnswerSeconds)
                think.append((arrived - sent) * 1000.0)
        engine.quit()
        print("Threads %2d: movetime 200 overshoot median %.1f ms, max %.1f ms | wtime 1000 think median %.1f ms, "
              "max %.1f ms" % (threads, statistics.median(overshoot), max(overshoot), statistics.median(think),
                               max(think)), flush=True)


if __name__ == "__main__":
    main()
