#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plays games between two UCI engines and judges them with rules of its own.

    python3 tools/match.py --engine1 bin/orvath64 --engine2 bin/orvath32 --games 100 --tc 1+0.01

Each side has a real clock: the wall time from writing "go" to reading "bestmove" is taken
off, then the increment is added. Adjudication:
  - an illegal or malformed best move loses and is reported as ERROR;
  - a clock below zero after a move loses on time (FORFEIT);
  - an engine whose output ends loses (CRASH); one that gives no best move within its clock
    plus a grace period loses (HANG) and is restarted for the next game;
  - checkmate, stalemate, the fifty-move rule, threefold repetition, insufficient material,
    and a ply cap (draw) end the game normally.
Games alternate colours and go through a fixed set of short openings so that they differ.
With --chess960 FILE they start instead from the Chess960 positions in FILE (one FEN a line,
anything after a ";" ignored; `tools/chess_rules.py --chess960-starts N` writes such lines),
each played twice with colours swapped; both engines get UCI_Chess960, and castling is written
and judged as the king moving onto its own rook.
The exit code is 1 when any ERROR, FORFEIT, CRASH or HANG occurred.
"""

import argparse
import math
import os
import sys
import threading
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from chess_rules import Position, StartFen  # noqa: E402
from uci_process import Crashed, TimedOut, UciProcess  # noqa: E402

GraceSeconds = 5.0
HandshakeSeconds = 10.0
DefaultPlyCap = 400

Openings = (
    "e2e4 e7e5 g1f3 b8c6",
    "d2d4 d7d5 c2c4 e7e6",
    "e2e4 c7c5 g1f3 d7d6",
    "d2d4 g8f6 c2c4 g7g6",
    "c2c4 e7e5 b1c3 g8f6",
    "e2e4 e7e6 d2d4 d7d5",
    "e2e4 c7c6 d2d4 d7d5",
    "g1f3 d7d5 g2g3 g8f6",
    "e2e4 e7e5 f1c4 g8f6",
    "d2d4 d7d5 c1f4 g8f6",
    "e2e4 d7d5 e4d5 d8d5",
    "b1c3 d7d5 e2e4 d5d4",
)


class EngineStats:
    def __init__(self, name):
        self.name = name
        self.moves = 0
        self.thinkSeconds = 0.0
        self.illegal = 0
        self.forfeits = 0
        self.crashes = 0
        self.hangs = 0
        self.badPv = 0
        self.ponderHits = 0
        self.ponderMisses = 0
        self.strayLines = 0
        self.minClock = None
        self.badExit = 0

    def seeClock(self, seconds):
        if self.minClock is None or seconds < self.minClock:
            self.minClock = seconds


class Match:
    def __init__(self, args):
        self.args = args
        self.base, self.inc = parseTc(args.tc)
        self.names = (args.name1 or os.path.basename(args.engine1),
                      args.name2 or os.path.basename(args.engine2))
        if self.names[0] == self.names[1]:
            self.names = (self.names[0] + "#1", self.names[1] + "#2")
        self.paths = (args.engine1, args.engine2)
        self.stats = (EngineStats(self.names[0]), EngineStats(self.names[1]))
        self.score = {"win": 0, "draw": 0, "loss": 0}
        self.plies = []
        self.reasons = {}
        self.lock = threading.Lock()
        self.nextGame = 0
        self.setupFailures = 0
        self.startFens = loadStartFens(args.chess960) if args.chess960 else None
        self.openings = [] if args.chess960 else loadOpenings(args.openings)
        self.pgn = open(args.pgn, "w") if args.pgn else None

    # ---- engines ---------------------------------------------------------------------
    def startEngine(self, index):
        engine = UciProcess(self.paths[index], self.names[index])
        options = [("Hash", self.args.hash)] if self.args.hash else []
        if (self.args.ponder1, self.args.ponder2)[index]:
            options.append(("Ponder", "true"))
        if self.startFens:
            options.append(("UCI_Chess960", "true"))
        for setting in (self.args.option1, self.args.option2)[index] or []:
            name, _, value = setting.partition("=")
            options.append((name, value))
        engine.handshake(HandshakeSeconds, options)
        return engine

    def closeEngine(self, engine, index):
        if engine is None:
            return
        if engine.closed:
            engine.kill()
            return
        code = engine.quit()
        if code != 0:
            self.report("ERROR %s: exit code %s after quit%s"
                        % (self.names[index], code, engine.stderrTail()))
            with self.lock:
                self.stats[index].badExit += 1

    # ---- one game --------------------------------------------------------------------
    def playGame(self, number, engines):
        """Plays game `number`; engines[i] belongs to engine i and may be replaced (after a
        crash or hang) or None (to be started). Returns the engines to use next."""
        whiteIndex = number % 2
        opening = self.openings[(number // 2) % len(self.openings)] if self.openings else []
        startFen = self.startFens[(number // 2) % len(self.startFens)] if self.startFens else StartFen
        pos = Position(startFen, chess960=bool(self.startFens))
        startCmd = "position fen " + startFen if self.startFens else "position startpos"
        played = []
        times = []  # (think seconds, clock left) of each engine move
        for text in opening:
            move = pos.parseMove(text)
            pos.makeMove(move)
            played.append(text)
        clocks = [self.base, self.base]  # by colour
        result, reason, loser = None, None, None
        problem = None

        engines = list(engines)
        for i in (0, 1):
            if engines[i] is None:
                try:
                    engines[i] = self.startEngine(i)
                except (Crashed, TimedOut) as exc:
                    self.report("ERROR start of %s failed: %s" % (self.names[i], exc))
                    raise
        for i in (0, 1):
            engines[i].send("ucinewgame")
            engines[i].isReady(HandshakeSeconds)
        # The move each engine ponders on while the other thinks, by engine index.
        ponderMoves = [None, None]

        while True:
            outcome = pos.outcome()
            if outcome:
                result, reason = outcome
                break
            if len(played) >= self.args.maxplies:
                result, reason = "1/2-1/2", "ply cap %d" % self.args.maxplies
                break
            colour = pos.side
            index = whiteIndex if colour == 0 else 1 - whiteIndex
            engine, stats = engines[index], self.stats[index]

            positionCmd = startCmd + (" moves " + " ".join(played) if played else "")
            goCmd = "go wtime %d btime %d winc %d binc %d" % (
                max(0, int(clocks[0] * 1000)), max(0, int(clocks[1] * 1000)),
                int(self.inc * 1000), int(self.inc * 1000))
            stray = [l for l in engine.drain() if not l.startswith("info")]
            if stray:
                with self.lock:
                    stats.strayLines += len(stray)
                self.report("WARN %s: unexpected lines before go: %r" % (engine.name, stray[:3]))
            seen = []
            try:
                ponderMove, ponderMoves[index] = ponderMoves[index], None
                if ponderMove is not None and played and played[-1] == ponderMove:
                    # The expected reply came: the search goes on, on the engine's own clock now.
                    with self.lock:
                        stats.ponderHits += 1
                    sent = engine.send("ponderhit")
                else:
                    if ponderMove is not None:
                        with self.lock:
                            stats.ponderMisses += 1
                        engine.send("stop")
                        engine.waitFor("bestmove", GraceSeconds)
                    engine.send(positionCmd)
                    sent = engine.send(goCmd)
                arrived, line = engine.waitFor("bestmove", clocks[colour] + GraceSeconds, seen)
            except Crashed as exc:
                with self.lock:
                    stats.crashes += 1
                problem = "CRASH %s" % exc
                reason, loser = "crash", colour
                break
            except TimedOut as exc:
                with self.lock:
                    stats.hangs += 1
                problem = "HANG %s" % exc
                reason, loser = "hang", colour
                engine.kill()
                break

            elapsed = arrived - sent
            clocks[colour] -= elapsed
            with self.lock:
                stats.moves += 1
                stats.thinkSeconds += elapsed
                stats.seeClock(clocks[colour])
            if clocks[colour] < 0:
                with self.lock:
                    stats.forfeits += 1
                problem = "FORFEIT %s: clock %.3f s after a move of %.3f s" % (
                    engine.name, clocks[colour], elapsed)
                reason, loser = "time forfeit", colour
                break
            words = line.split()
            wellFormed = len(words) == 2 or (len(words) == 4 and words[2] == "ponder")
            move = pos.parseMove(words[1]) if wellFormed else None
            if move is None:
                with self.lock:
                    stats.illegal += 1
                problem = "ERROR %s: %s '%s'" % (
                    engine.name, "malformed" if not wellFormed else "illegal move", line)
                reason, loser = "illegal move", colour
                break
            if self.args.check_pv:
                bad = checkPv(pos, seen)
                if bad:
                    with self.lock:
                        stats.badPv += 1
                    self.report("ERROR %s: %s\n  after: %s\n  fen: %s"
                                % (engine.name, bad, positionCmd, pos.fen()))
            clocks[colour] += self.inc
            if self.args.verbose:
                self.report("  game %d ply %d %s %s: think %.1f ms, clock %.3f s, %s"
                            % (number + 1, len(played) + 1, engine.name, words[1], elapsed * 1000,
                               clocks[colour], lastDepth(seen)))
            times.append((elapsed, clocks[colour]))
            pos.makeMove(move)
            played.append(words[1])
            if len(words) == 4 and (self.args.ponder1, self.args.ponder2)[index]:
                self.startPondering(engine, pos, startCmd, played, words[3], clocks, ponderMoves, index)

        for i in (0, 1):
            if ponderMoves[i] is not None and engines[i] is not None and not engines[i].closed:
                try:
                    engines[i].send("stop")
                    engines[i].waitFor("bestmove", GraceSeconds)
                except (Crashed, TimedOut):
                    engines[i].kill()
        if loser is not None:
            result = "0-1" if loser == 0 else "1-0"
            self.report("%s\n  game %d, reproduce with: %s\n  %s\n  fen before the move: %s"
                        % (problem, number + 1, positionCmd, goCmd, pos.fen()))

        self.record(number, whiteIndex, result, reason, played, len(opening), clocks, times,
                    startFen if self.startFens else None)
        for i in (0, 1):
            if engines[i] is not None and engines[i].closed:
                engines[i].kill()
                engines[i] = None
        return engines

    def startPondering(self, engine, pos, startCmd, played, ponderText, clocks, ponderMoves, index):
        """Sends the position after the expected reply and "go ponder" with the clocks as they
        stand, as tournament managers do; an illegal ponder move is counted as an error."""
        after = Position(pos.fen(), chess960=pos.chess960)
        reply = after.parseMove(ponderText)
        if reply is None:
            with self.lock:
                self.stats[index].illegal += 1
            self.report("ERROR %s: illegal ponder move %s after %s" % (engine.name, ponderText, pos.fen()))
            return
        engine.send(startCmd + " moves " + " ".join(played + [ponderText]))
        engine.send("go ponder wtime %d btime %d winc %d binc %d" % (
            max(0, int(clocks[0] * 1000)), max(0, int(clocks[1] * 1000)), int(self.inc * 1000), int(self.inc * 1000)))
        ponderMoves[index] = ponderText

    def record(self, number, whiteIndex, result, reason, played, openingPlies, clocks, times, startFen):
        white, black = self.names[whiteIndex], self.names[1 - whiteIndex]
        if result == "1/2-1/2":
            outcome = "draw"
        else:
            engine1White = whiteIndex == 0
            outcome = "win" if (result == "1-0") == engine1White else "loss"
        with self.lock:
            self.score[outcome] += 1
            self.plies.append(len(played))
            self.reasons[reason] = self.reasons.get(reason, 0) + 1
            done = sum(self.score.values())
            print("Game %d (%d/%d): %s - %s  %s (%s), %d plies, clocks left W %.3f s B %.3f s  "
                  "[%s: +%d =%d -%d]"
                  % (number + 1, done, self.args.games, white, black, result, reason, len(played),
                     clocks[0], clocks[1], self.names[0], self.score["win"], self.score["draw"],
                     self.score["loss"]), flush=True)
            if self.pgn:
                self.pgn.write(pgnText(number + 1, white, black, result, reason, played,
                                       openingPlies, self.args.tc, times, startFen))
                self.pgn.flush()

    def report(self, text):
        with self.lock:
            print(text, flush=True)

    # ---- running ---------------------------------------------------------------------
    def worker(self):
        engines = [None, None]
        try:
            while True:
                with self.lock:
                    number = self.nextGame
                    if number >= self.args.games:
                        break
                    self.nextGame += 1
                try:
                    engines = self.playGame(number, engines)
                except (Crashed, TimedOut) as exc:
                    # Outside a move (start-up, ucinewgame/isready): count it and start over.
                    self.report("ERROR game %d could not be set up: %s" % (number + 1, exc))
                    for i in (0, 1):
                        if engines[i] is not None:
                            engines[i].kill()
                        engines[i] = None
                    with self.lock:
                        self.setupFailures += 1
        finally:
            for i in (0, 1):
                self.closeEngine(engines[i], i)

    def run(self):
        start = time.time()
        print("Match %s vs %s, %d games, tc %s, concurrency %d, %s"
              % (self.names[0], self.names[1], self.args.games, self.args.tc, self.args.concurrency,
                 "Chess960 positions %d" % len(self.startFens) if self.startFens
                 else "openings %d" % len(self.openings)), flush=True)
        threads = [threading.Thread(target=self.worker) for _ in range(self.args.concurrency)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        return self.summary(time.time() - start)

    def summary(self, seconds):
        games = sum(self.score.values())
        print("\n==== Summary: %s vs %s, tc %s, %d games in %.0f s ===="
              % (self.names[0], self.names[1], self.args.tc, games, seconds))
        print("%s: +%d =%d -%d  (score %.1f%%)"
              % (self.names[0], self.score["win"], self.score["draw"], self.score["loss"],
                 100.0 * (self.score["win"] + 0.5 * self.score["draw"]) / max(1, games)))
        elo = eloEstimate(self.score["win"], self.score["draw"], self.score["loss"])
        if elo:
            print("Elo difference of %s: %+.1f +/- %.1f (95%%)" % (self.names[0], elo[0], elo[1]))
        print("Endings: " + ", ".join("%s %d" % kv for kv in sorted(self.reasons.items())))
        if self.plies:
            print("Average game length: %.1f plies (min %d, max %d)"
                  % (sum(self.plies) / len(self.plies), min(self.plies), max(self.plies)))
        failures = self.setupFailures
        bad = failures
        for s in self.stats:
            print("%s: moves %d, avg think %.1f ms, illegal/malformed %d, time forfeits %d, "
                  "crashes %d, hangs %d, bad PV %d, stray lines %d, bad exits %d, "
                  "min clock left %s"
                  % (s.name, s.moves, 1000.0 * s.thinkSeconds / max(1, s.moves), s.illegal,
                     s.forfeits, s.crashes, s.hangs, s.badPv, s.strayLines, s.badExit,
                     "%.3f s" % s.minClock if s.minClock is not None else "-"))
            if s.ponderHits + s.ponderMisses:
                print("%s: ponder hits %d of %d (%.1f%%)" % (s.name, s.ponderHits, s.ponderHits + s.ponderMisses,
                                                            100.0 * s.ponderHits / (s.ponderHits + s.ponderMisses)))
            bad += s.illegal + s.forfeits + s.crashes + s.hangs + s.badPv + s.badExit
        if failures:
            print("Games that could not be set up: %d" % failures)
        print("Result: %s" % ("CLEAN" if bad == 0 else "PROBLEMS (%d)" % bad))
        return 0 if bad == 0 else 1


def eloDifference(score):
    return -400.0 * math.log10(1.0 / score - 1.0)


def eloEstimate(wins, draws, losses):
    """The Elo difference that the score implies and the half-width of its 95% interval, from
    the variance of the per-game results; None when the score is 0 or 100%."""
    games = wins + draws + losses
    if games == 0:
        return None
    score = (wins + 0.5 * draws) / games
    if score <= 0.0 or score >= 1.0:
        return None
    variance = (wins * (1.0 - score) ** 2 + draws * (0.5 - score) ** 2 + losses * score ** 2) / games
    margin = 1.96 * math.sqrt(variance / games)
    low, high = max(score - margin, 1e-6), min(score + margin, 1.0 - 1e-6)
    return eloDifference(score), (eloDifference(high) - eloDifference(low)) / 2.0


def checkPv(pos, seen):
    """Checks the moves of the last "info ... pv" line before the best move; returns a
    description of the first fault, or None."""
    for line in reversed(seen):
        words = line.split()
        if words[:1] != ["info"] or "pv" not in words:
            continue
        pv = words[words.index("pv") + 1:]
        made = 0
        fault = None
        for text in pv:
            move = pos.parseMove(text)
            if move is None:
                fault = "illegal PV move %s at PV ply %d in '%s'" % (text, made + 1, line)
                break
            pos.makeMove(move, record=False)
            made += 1
        for _ in range(made):
            pos.unmakeMove()
        return fault
    return None


def pgnText(number, white, black, result, reason, played, openingPlies, tc, times, startFen=None):
    """The game in PGN with coordinate moves; each engine move carries a comment with its
    think time and the clock left after the increment, both in milliseconds. A Chess960 game
    names its variant and start position."""
    body = []
    for i, text in enumerate(played):
        if i % 2 == 0:
            body.append("%d." % (i // 2 + 1))
        body.append(text)
        if i >= openingPlies and i - openingPlies < len(times):
            think, left = times[i - openingPlies]
            body.append("{%d/%d}" % (round(think * 1000), round(left * 1000)))
    lines, line = [], ""
    for word in body + [result]:
        if len(line) + len(word) + 1 > 79:
            lines.append(line)
            line = word
        else:
            line = (line + " " + word).strip()
    lines.append(line)
    start = '[Variant "Chess960"]\n[SetUp "1"]\n[FEN "%s"]\n' % startFen if startFen else ""
    return ('[Event "match"]\n[Round "%d"]\n[White "%s"]\n[Black "%s"]\n[Result "%s"]\n%s'
            '[TimeControl "%s"]\n[Termination "%s"]\n[Opening "%d plies"]\n\n%s\n\n'
            % (number, white, black, result, start, tc, reason, openingPlies, "\n".join(lines)))


def lastDepth(seen):
    for line in reversed(seen):
        words = line.split()
        if "depth" in words and "multipv" in words:
            return "depth " + words[words.index("depth") + 1]
    return "no PV line"


def parseTc(text):
    base, _, inc = text.partition("+")
    return float(base), float(inc or 0)


def loadOpenings(source):
    if source == "none":
        return []
    lines = Openings
    if source != "builtin":
        with open(source) as f:
            lines = [l.strip() for l in f if l.strip() and not l.startswith("#")]
    openings = []
    for line in lines:
        pos = Position(StartFen)
        for text in line.split():
            move = pos.parseMove(text)
            if move is None:
                raise SystemExit("opening '%s': %s is not legal" % (line, text))
            pos.makeMove(move)
        openings.append(line.split())
    return openings


def loadStartFens(path):
    """The Chess960 start positions of the file, each checked by the rules."""
    fens = []
    with open(path) as f:
        for line in f:
            fen = line.split(";")[0].strip()
            if not fen or fen.startswith("#"):
                continue
            try:
                Position(fen, chess960=True)
            except ValueError as exc:
                raise SystemExit("%s: %s" % (path, exc))
            fens.append(fen)
    if not fens:
        raise SystemExit("%s holds no position" % path)
    return fens


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine1", required=True)
    parser.add_argument("--engine2", required=True)
    parser.add_argument("--name1")
    parser.add_argument("--name2")
    parser.add_argument("--games", type=int, default=2)
    parser.add_argument("--tc", default="1+0.01", help="seconds+increment, e.g. 10+0.1")
    parser.add_argument("--concurrency", type=int, default=1)
    parser.add_argument("--openings", default="builtin",
                        help="'builtin', 'none', or a file with one line of moves per opening")
    parser.add_argument("--chess960", metavar="FILE",
                        help="play Chess960 from the positions in FILE (one FEN a line), instead of openings")
    parser.add_argument("--maxplies", type=int, default=DefaultPlyCap)
    parser.add_argument("--hash", type=int, default=0, help="Hash option in MB (0: default)")
    parser.add_argument("--option1", action="append", metavar="NAME=VALUE",
                        help="a UCI option for the first engine only, e.g. Threads=2 (repeatable)")
    parser.add_argument("--ponder1", action="store_true",
                        help="the first engine ponders (its Ponder option is set, and it thinks on the opponent's time)")
    parser.add_argument("--ponder2", action="store_true", help="the second engine ponders")
    parser.add_argument("--option2", action="append", metavar="NAME=VALUE",
                        help="a UCI option for the second engine only (repeatable)")
    parser.add_argument("--pgn", help="write the games to this file, with think time/clock comments")
    parser.add_argument("--verbose", action="store_true", help="print every move with its time")
    parser.add_argument("--no-check-pv", dest="check_pv", action="store_false",
                        help="do not check the legality of the last PV before each move")
    args = parser.parse_args()
    sys.exit(Match(args).run())


if __name__ == "__main__":
    main()
