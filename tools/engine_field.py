# SPDX-License-Identifier: GPL-3.0-or-later
"""The field of engines that the latency and time tools measure side by side: finding each
--engine program, one process per engine and thread count, taking turns so that a passing load
falls on every engine alike, and the summary (the engines' id names, a markdown table of
medians, 95th percentiles and maxima, and the faults).

A tool subclasses `Contender` with the lists its own measurement fills.
"""

import math
import os
import shutil
import statistics

from uci_process import Crashed, TimedOut, UciProcess

AnswerSeconds = 10.0


def enginePath(name):
    """The program for an --engine argument. A bare name is looked up on PATH and then in
    /usr/games, where Debian installs its chess engines without putting it on every PATH."""
    if os.sep in name:
        return name if os.access(name, os.X_OK) else None
    return shutil.which(name) or shutil.which(name, path="/usr/games")


def enginesOf(parser, names):
    """(label, program) for each --engine argument, in the order given; the first is the one
    under test."""
    engines = []
    for name in names:
        path = enginePath(name)
        if path is None:
            parser.error("no engine program '%s'" % name)
        # The same program may be given twice (to see the spread between identical runs).
        label = name if name not in [l for l, _ in engines] else "%s #%d" % (name, len(engines) + 1)
        engines.append((label, path))
    return engines


def percentile95(values):
    ordered = sorted(values)
    return ordered[max(0, math.ceil(0.95 * len(ordered)) - 1)]


class Contender:
    """One engine at one thread count: its process, its measurements and its faults."""

    def __init__(self, index, label, path, threads):
        self.index, self.label, self.path, self.threads = index, label, path, threads
        self.faults = []
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


def startField(kind, engines, threads):
    """A started `kind` (a Contender class) for each engine at one thread count. All of them
    run at once, so that the tries can alternate between them."""
    contenders = [kind(index, label, path, threads) for index, (label, path) in enumerate(engines)]
    for contender in contenders:
        contender.start()
    return contenders


def inTurn(contenders, step, measure, where):
    """Runs measure(contender) for every engine still alive; the order flips from one step to
    the next so that neither engine always goes first, right after the other one's load. A
    crash or a missing answer is a fault "engine failure <where>" that retires the engine."""
    for contender in (contenders if step % 2 == 0 else reversed(contenders)):
        if not contender.alive:
            continue
        try:
            measure(contender)
        except (Crashed, TimedOut) as exc:
            contender.fail("engine failure %s: %s" % (where, exc))


def summaryTable(contenders, countName, count, measures, places):
    """The pipe-aligned markdown table: per contender its count, median, 95th percentile and
    largest value of each of `measures` (pairs of a column prefix and a function giving the
    values), shown with `places` decimals, and its number of faults."""
    def spread(values):
        if not values:
            return ("-", "-", "-")
        return tuple("%.*f" % (places, v) for v in (statistics.median(values), percentile95(values), max(values)))

    header = ("engine", "Threads", countName,
              *(prefix + " " + what for prefix, _ in measures for what in ("med", "p95", "max")), "faults")
    rows = [(c.label, str(c.threads) if c.threads else "default", str(count(c)),
             *(cell for _, values in measures for cell in spread(values(c))), str(len(c.faults)))
            for c in contenders]
    widths = [max(len(r[i]) for r in [header, *rows]) for i in range(len(header))]

    def cells(row):
        return "| " + " | ".join(v.ljust(w) if i == 0 else v.rjust(w)
                                 for i, (v, w) in enumerate(zip(row, widths))) + " |"

    rule = "|" + "|".join("-" * (w + 1) + (":" if i else "-") for i, w in enumerate(widths)) + "|"
    return "\n".join([cells(header), rule] + [cells(r) for r in rows])


def printSummary(caption, engines, finished, table):
    """The caption, the id name each engine gave (a path or a command name does not tell which
    version ran) and the table."""
    print()
    print(caption)
    for label, _ in engines:
        ids = sorted({c.idName for c in finished if c.label == label})
        print("  %s: %s" % (label, ", ".join(ids)))
    print(table)


def printFaults(finished):
    """Prints every fault; returns the number of the engine under test and that of the others,
    as only the first decides the exit code."""
    for contender in finished:
        for fault in contender.faults:
            print("FAULT %s, Threads %s: %s" % (contender.label, contender.threads or "default", fault))
    underTest = sum(len(c.faults) for c in finished if c.index == 0)
    others = sum(len(c.faults) for c in finished if c.index != 0)
    return underTest, others
