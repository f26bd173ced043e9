#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Stress test of the engine program over pipes: no input and no load may crash it, hang it
or corrupt its state, and every "go" gets exactly one legal "bestmove".

    python3 tools/stress.py                  long form (10,000 search cycles, 1,000 stops, ...)
    python3 tools/stress.py --short          short form for the test suite, under 2 minutes
    python3 tools/stress.py --engine bin/orvath32 --only hash

Phases, each on an engine process of its own (--only picks some):
  cycles   random "position" commands (random legal games, FENs taken from them, and broken
           FENs and move lists that the engine must refuse or read exactly as it is specified
           to), each followed by "go depth 1..6" or now and then a short clock, with "MultiPV"
           and "Threads" changed from time to time; resident memory at the start and the end
  stop     "go infinite" then "stop" after 0..30 ms, on 1 to 4 threads; no "bestmove" may come
           before the "stop"
  eof      "go" of several kinds and then the end of input: one "bestmove", then exit code 0
  flood    "stop", "isready", "ponderhit" and other lines sent in bulk while a search runs
  lines    lines of 1 MiB, NUL bytes, invalid UTF-8, CR LF line ends
  hash     "setoption name Hash value" cycling between 4 and 2048, a search after each; the
           resident memory must come back down when the table shrinks and must not creep up

Every best move is checked against an independent rules implementation (chess_rules.py).
Exit code 1 when any fault was seen.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from chess_rules import Position, StartFen, sq88, White, Black  # noqa: E402
from uci_process import Crashed, EngineError, UciProcess  # noqa: E402

Root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
AnswerSeconds = 60.0
BestMovePattern = re.compile(r"^bestmove ([a-h][1-8][a-h][1-8][nbrq]?)$")

GameStarts = (
    StartFen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
)
# Positions without a legal move: the answer is "bestmove a1a1".
NoMoveFens = (
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
)

Long = dict(cycles=10000, stops=1000, eofs=40, floods=40, floodLines=2000, hashCycles=100)
Short = dict(cycles=400, stops=60, eofs=8, floods=6, floodLines=500, hashCycles=6)


class Fault(Exception):
    pass


# ---- the engine's reading of "position", written out independently -----------------------
# The engine refuses a position that its generators cannot work on and keeps its board; it
# reads every other text in its own way (unknown placement characters skipped, any side
# letter but "w" meaning black, castling letters naming rooks). Positions are compared through
# chess_rules, which knows standard castling only; where the engine would grant a castling
# right that chess_rules cannot express, the expected position is marked as unverifiable.

PieceLetters = "PNBRQKpnbrqk"
Whitespace = b" \t\n\r\x0b\x0c"


def engineWords(data):
    """The words of a line as the engine splits it (C white space), as latin-1 text."""
    return [w.decode("latin-1") for w in data.split()]


def readFenLikeEngine(fen):
    """(Position or None, verified) for a FEN text as the engine's reader takes it; None when
    the engine would refuse the position."""
    squares = {}
    counts = {}
    pos = 0
    square = 56

    def peek():
        return fen[pos] if pos < len(fen) else ""

    while pos < len(fen) and fen[pos] != " ":
        c = fen[pos]
        pos += 1
        if c == "/":
            square -= 16
        elif "0" <= c <= "9":
            square += ord(c) - ord("0")
        elif c in PieceLetters:
            if 0 <= square < 64 and square not in squares and counts.get(c, 0) < 16:
                squares[square] = c
                counts[c] = counts.get(c, 0) + 1
            square += 1
    pos += 1
    side = White if peek() == "w" else Black
    pos += 2
    castleField = ""
    while pos < len(fen) and fen[pos] != " ":
        castleField += fen[pos]
        pos += 1
    pos += 1
    epField = fen[pos:pos + 2]

    # Playable: one king each, no pawn on the first or last rank, piece lists that hold every
    # promotion, at most sixteen men a side, the side not to move not in check.
    if counts.get("K", 0) != 1 or counts.get("k", 0) != 1:
        return None, True
    if any(p in "Pp" and (s < 8 or s >= 56) for s, p in squares.items()):
        return None, True
    for colourLetters in ("PNBRQ", "pnbrq"):
        pawns = counts.get(colourLetters[0], 0)
        if any(counts.get(p, 0) + pawns > 16 for p in colourLetters[1:]):
            return None, True
    if sum(1 for p in squares.values() if p.isupper()) > 16 or sum(1 for p in squares.values() if p.islower()) > 16:
        return None, True

    rows = []
    for rank in range(7, -1, -1):
        row, gap = "", 0
        for file in range(8):
            p = squares.get(rank * 8 + file)
            if p is None:
                gap += 1
            else:
                row += (str(gap) if gap else "") + p
                gap = 0
        rows.append(row + (str(gap) if gap else ""))
    placement = "/".join(rows)

    # Castling rights as the engine grants them: (colour, side) -> rook square.
    rights = {}
    for letter in castleField:
        colour = Black if "a" <= letter <= "z" else White
        rankStart = 0 if colour == White else 56
        rook = "R" if colour == White else "r"
        king = [s for s, p in squares.items() if p == ("K" if colour == White else "k")][0]
        if king // 8 != rankStart // 8:
            continue
        upper = letter.upper() if colour == Black else letter
        rookSquare = None
        if upper == "K":
            for s in range(rankStart + 7, rankStart - 1, -1):
                if squares.get(s) == rook:
                    rookSquare = s
                    break
        elif upper == "Q":
            for s in range(rankStart, rankStart + 8):
                if squares.get(s) == rook:
                    rookSquare = s
                    break
        elif "A" <= upper <= "H":
            rookSquare = rankStart + ord(upper) - ord("A")
        else:
            continue
        if rookSquare is None or squares.get(rookSquare) != rook:
            continue
        kind = "Q" if rookSquare % 8 < king % 8 else "K"
        rights.setdefault((colour, kind), (king, rookSquare))
    verified = True
    letters = ""
    for (colour, kind), (king, rookSquare) in sorted(rights.items()):
        home = 4 if colour == White else 60
        corner = (7 if kind == "K" else 0) + (0 if colour == White else 56)
        if king != home or rookSquare != corner:
            verified = False  # a castling move chess_rules cannot play
            continue
        letters += kind if colour == White else kind.lower()
    letters = "".join(l for l in "KQkq" if l in letters) or "-"

    position = Position("%s %s %s - 0 1" % (placement, "wb"[side], letters))
    if side == White:
        waiting = position.kings[Black]
        if position.attacked(waiting, White):
            return None, True
    elif position.attacked(position.kings[White], Black):
        return None, True

    # En passant only where a pawn of the side to move could take.
    if len(epField) == 2 and "a" <= epField[0] <= "h" and epField[1] in "36":
        candidate = (ord(epField[0]) - ord("a")) + 8 * (ord(epField[1]) - ord("1"))
        them, us = ("p", "P") if side == White else ("P", "p")
        behind = candidate - 8 if side == White else candidate + 8
        fits = candidate // 8 == (5 if side == White else 2)
        attackers = []
        file = candidate % 8
        rankOfAttackers = candidate // 8 + (-1 if side == White else 1)
        for df in (-1, 1):
            if 0 <= file + df < 8:
                attackers.append(rankOfAttackers * 8 + file + df)
        if fits and candidate not in squares and squares.get(behind) == them and \
                any(squares.get(s) == us for s in attackers):
            position.ep = sq88(epField)
    return position, verified


def expectedAfterPosition(words, previous):
    """The position the engine holds after "position" with these words, given the one it held;
    returns (Position, verified)."""
    current, verified = previous
    if not words:
        return previous
    if words[0] == "startpos":
        position, verified = Position(StartFen), True
        rest = words[2:]
    elif words[0] == "fen":
        fenWords = []
        rest = words[1:]
        while rest and rest[0] != "moves":
            fenWords.append(rest.pop(0))
        rest = rest[1:]
        position, verified = readFenLikeEngine("".join(w + " " for w in fenWords))
        if position is None:
            return previous
    else:
        return previous
    for text in rest:
        move = position.parseMove(text)
        if move is None:
            break
        position.makeMove(move)
    return position, verified


# ---- random positions ----------------------------------------------------------------------

def randomGame(rng, start, plies):
    """A start FEN and a list of legal move texts played from it at random."""
    position = Position(start)
    moves = []
    for _ in range(plies):
        legal = position.legalMoves()
        if not legal:
            break
        move = rng.choice(legal)
        position.makeMove(move)
        moves.append(move.uci())
    return start, moves


def mutateFen(rng, fen):
    """A broken or odd variant of a FEN text."""
    kind = rng.randrange(12)
    fields = fen.split()
    placement = fields[0]
    if kind == 0:
        return fen[:rng.randrange(len(fen))]
    if kind == 1:
        chars = list(fen)
        for _ in range(rng.randrange(1, 6)):
            chars[rng.randrange(len(chars))] = rng.choice("pnbrqkPNBRQK12345678/-wbKQkqx.0 ")
        return "".join(chars)
    if kind == 2:  # a king removed or doubled
        letter = rng.choice("Kk")
        if rng.random() < 0.5:
            return fen.replace(letter, "1", 1)
        return fen.replace("1", letter, 1) if "1" in placement else letter + fen
    if kind == 3:  # a pawn on the first or last rank
        ranks = placement.split("/")
        index = rng.choice((0, len(ranks) - 1))
        ranks[index] = rng.choice("Pp") + "7"
        return " ".join(["/".join(ranks)] + fields[1:])
    if kind == 4:  # the wrong side to move, often leaving a king in check
        fields[1] = "b" if fields[1] == "w" else "w"
        return " ".join(fields)
    if kind == 5:  # too many pieces
        return "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQK5/8/8/pppppppp/7k w - - 0 1"
    if kind == 6:
        return "".join(chr(rng.randrange(33, 127)) for _ in range(rng.randrange(1, 80)))
    if kind == 7:  # castling letters of every kind
        fields[2] = "".join(rng.choice("KQkqABCDEFGHabcdefgh-") for _ in range(rng.randrange(1, 6)))
        return " ".join(fields)
    if kind == 8:  # en-passant field of any square
        fields[3] = rng.choice("abcdefgh") + rng.choice("12345678")
        return " ".join(fields)
    if kind == 9:  # counters out of range
        return " ".join(fields[:4] + [str(rng.randrange(-10 ** 12, 10 ** 12)), str(rng.randrange(-10 ** 12, 10 ** 12))])
    if kind == 10:  # fields missing
        return " ".join(fields[:rng.randrange(1, 4)])
    return placement.replace("/", "", 1)


class PositionSource:
    """Random "position" argument texts: a pool of random games, cut at random plies."""

    def __init__(self, rng, games):
        self.rng = rng
        self.games = []
        for i in range(games):
            start = GameStarts[i % len(GameStarts)]
            self.games.append(randomGame(rng, start, rng.randrange(20, 260)))

    def legal(self):
        start, moves = self.rng.choice(self.games)
        cut = self.rng.randrange(len(moves) + 1)
        if start == StartFen and self.rng.random() < 0.5:
            return "startpos moves " + " ".join(moves[:cut])
        # A FEN from inside the game, with the rest of the game (or some of it) as moves.
        position = Position(start)
        for text in moves[:cut]:
            position.makeMove(position.parseMove(text))
        more = moves[cut:cut + self.rng.randrange(0, 40)]
        return "fen " + position.fen() + (" moves " + " ".join(more) if more else "")

    def broken(self):
        choice = self.rng.randrange(6)
        start, moves = self.rng.choice(self.games)
        if choice == 0:
            return self.rng.choice(("", "xyz", "Startpos", "FEN", "fen", "startpos", "startpos moves"))
        if choice == 1:  # a move list that goes wrong somewhere
            cut = self.rng.randrange(len(moves) + 1)
            bad = self.rng.choice(("e1h1", "a7a8Q", "a7a8", "e2e5", "zz", "0000", "e7e5"))
            return "startpos moves " + " ".join(moves[:cut] + [bad] + moves[cut:cut + 5])
        if choice == 2:  # the keyword slot misused
            return "startpos " + " ".join(moves[:8])
        position = Position(start)
        cut = self.rng.randrange(len(moves) + 1)
        for text in moves[:cut]:
            position.makeMove(position.parseMove(text))
        return "fen " + mutateFen(self.rng, position.fen()) + " moves " + " ".join(moves[cut:cut + 3])

    def noMove(self):
        return "fen " + self.rng.choice(NoMoveFens)


# ---- the engine ------------------------------------------------------------------------------

def sendBytes(engine, data):
    """Writes raw bytes, for lines that are not valid text."""
    try:
        engine.proc.stdin.write(data)
        engine.proc.stdin.flush()
    except (BrokenPipeError, OSError) as exc:
        raise Crashed("%s: write failed (%s), exit code %s" % (engine.name, exc, engine.proc.poll())) from exc


def memoryOf(engine):
    """(VmRSS, VmHWM) in KiB, or (None, None) once the process is gone."""
    values = {}
    try:
        with open("/proc/%d/status" % engine.proc.pid) as status:
            for line in status:
                key, _, rest = line.partition(":")
                if key in ("VmRSS", "VmHWM"):
                    values[key] = int(rest.split()[0])
    except OSError:
        pass
    return values.get("VmRSS"), values.get("VmHWM")


class Stress:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.sizes = Short if args.short else Long
        self.faults = []
        self.counts = {}
        self.memory = []

    def fault(self, text):
        self.faults.append(text)
        print("FAULT: " + text, flush=True)
        if len(self.faults) >= 20:
            raise Fault("too many faults")

    def count(self, what, n=1):
        self.counts[what] = self.counts.get(what, 0) + n

    def start(self):
        engine = UciProcess(self.args.engine)
        engine.handshake(AnswerSeconds)
        return engine

    def finish(self, engine, phase):
        code = engine.quit(timeout=30.0)
        if code != 0:
            self.fault("%s: exit code %s after quit%s" % (phase, code, engine.stderrTail()))

    def bestMove(self, engine, expected, context, seen=None):
        """Waits for the "bestmove" line and checks it against `expected` (Position, verified);
        then makes sure no second one follows. Returns the move text."""
        seen = [] if seen is None else seen
        _, line = engine.waitFor("bestmove", AnswerSeconds, seen)
        match = BestMovePattern.match(line)
        if not match:
            self.fault("%s: malformed '%s'" % (context, line))
            return None
        text = match.group(1)
        position, verified = expected
        legal = [m.uci() for m in position.legalMoves()]
        if not legal:
            if text != "a1a1":
                self.fault("%s: '%s' where no legal move exists (want a1a1)" % (context, line))
        elif text not in legal:
            if verified:
                self.fault("%s: illegal '%s' in %s" % (context, line, position.fen()))
            else:
                self.count("best moves not verifiable (castling chess_rules cannot play)")
        self.count("best moves checked")
        after = []
        engine.send("isready")
        engine.waitFor("readyok", AnswerSeconds, after)
        extra = [l for l in after if l.startswith("bestmove")]
        if extra:
            self.fault("%s: a second bestmove %s" % (context, extra))
        return text

    # ---- phases --------------------------------------------------------------------------

    def phaseCycles(self, source):
        engine = self.start()
        expected = (Position(StartFen), True)
        rssStart = None
        lines = 1
        cycles = self.sizes["cycles"]
        started = time.monotonic()
        for cycle in range(cycles):
            roll = self.rng.random()
            if roll < 0.6:
                args = source.legal()
            elif roll < 0.95:
                args = source.broken()
            else:
                args = source.noMove()
            line = ("position " + args).rstrip()
            expected = expectedAfterPosition(engineWords(line.encode("latin-1"))[1:], expected)
            engine.send(line)
            if self.rng.random() < 0.1:
                lines = self.rng.choice((1, 1, 2, 3, 5, 10, 50, 500))
                engine.send("setoption name MultiPV value %d" % lines)
            if self.rng.random() < 0.1:
                engine.send("setoption name Threads value %d" % self.rng.choice((1, 1, 2, 3, 4, 8)))
            go = self.goLine(lines)
            engine.send(go)
            self.bestMove(engine, expected, "cycle %d (%s; %s)" % (cycle, line[:200], go))
            if cycle == 50:
                rssStart = memoryOf(engine)
            if (cycle + 1) % 1000 == 0:
                print("  cycles: %d done, %.0f s, VmRSS %s KiB" % (cycle + 1, time.monotonic() - started,
                                                                 memoryOf(engine)[0]), flush=True)
        rssEnd = memoryOf(engine)
        self.memory.append(("cycles", rssStart, rssEnd))
        self.count("search cycles", cycles)
        if rssStart and rssEnd and rssStart[0] and rssEnd[0] > rssStart[0] + 8 * 1024:
            self.fault("cycles: resident memory grew from %d to %d KiB" % (rssStart[0], rssEnd[0]))
        self.finish(engine, "cycles")

    def goLine(self, pvLines):
        """Mostly "go depth 1..6" (shallower with many variations), sometimes a short clock, a
        node or mate limit, chosen root moves or a ponder search."""
        if self.rng.random() < 0.8:
            return "go depth %d" % self.rng.randrange(1, 7 if pvLines <= 5 else 4)
        clock = self.rng.choice((1, 10, 50, 200, 999, 1000, 2000, 0, -100))
        increment = self.rng.choice((0, 0, 10, 100, -5))
        return self.rng.choice((
            "go movetime %d" % self.rng.randrange(1, 60),
            "go wtime %d btime %d winc %d binc %d" % (clock, clock, increment, increment),
            "go wtime %d btime %d movestogo %d" % (clock, clock, self.rng.choice((1, 2, 40, -1, 0))),
            "go depth 2 movetime 30 nodes 100 searchmoves e2e4 d2d4",
            "go nodes %d mate %d" % (self.rng.choice((1, 500, 5000)), self.rng.randrange(1, 4)),
            # A ponder search is released by "ponderhit" and then runs on the clock it was given.
            "go ponder wtime %d btime %d\nponderhit" % (clock, clock),
        ))

    def phaseStop(self, source):
        engine = self.start()
        for i in range(self.sizes["stops"]):
            args = source.legal() if self.rng.random() < 0.95 else source.noMove()
            line = "position " + args
            expected = expectedAfterPosition(engineWords(line.encode())[1:], (Position(StartFen), True))
            engine.send(line)
            if i % 50 == 0:
                engine.send("setoption name Threads value %d" % (1 + i // 50 % 4))
            engine.send("go infinite")
            delay = self.rng.choice((0, 0, 0.001, 0.005, 0.01, 0.03))
            if delay:
                time.sleep(delay)
            early = [l for l in engine.drain() if l.startswith("bestmove")]
            if early:
                self.fault("stop %d: %s before 'stop' (%s)" % (i, early, line[:120]))
            engine.send("stop")
            self.bestMove(engine, expected, "stop %d (%s)" % (i, line[:120]))
        self.count("go infinite / stop pairs", self.sizes["stops"])
        self.finish(engine, "stop")

    def phaseEof(self, source):
        kinds = ("go infinite", "go depth 60", "go movetime 100000", "go wtime 100000 btime 100000",
                 "go depth 2 infinite", "go", "go ponder", "go infinite\nstop")
        for i in range(self.sizes["eofs"]):
            engine = self.start()
            args = source.legal() if i % 5 else source.noMove()
            line = "position " + args
            expected = expectedAfterPosition(engineWords(line.encode())[1:], (Position(StartFen), True))
            engine.send(line)
            go = kinds[i % len(kinds)]
            engine.send(go)
            time.sleep(self.rng.choice((0, 0.01, 0.05)))
            engine.proc.stdin.close()
            try:
                seen = []
                _, best = engine.waitFor("bestmove", AnswerSeconds, seen)
                match = BestMovePattern.match(best)
                legal = [m.uci() for m in expected[0].legalMoves()] or ["a1a1"]
                if not match or match.group(1) not in legal:
                    self.fault("eof %d (%s): bad '%s'" % (i, go, best))
                code = engine.proc.wait(timeout=AnswerSeconds)
                rest = engine.drain()
                if any(l.startswith("bestmove") for l in rest):
                    self.fault("eof %d (%s): a second bestmove" % (i, go))
                if code != 0:
                    self.fault("eof %d (%s): exit code %s%s" % (i, go, code, engine.stderrTail()))
            except (EngineError, subprocess.TimeoutExpired) as exc:
                self.fault("eof %d (%s): %s" % (i, go, exc))
                engine.kill()
            self.count("searches ended by the end of input")

    def phaseFlood(self, source):
        engine = self.start()
        junk = ("isready", "stop", "ponderhit", "setoption name Hash value 8", "", "   ", "\t", "xyzzy",
                "isready extra", "stop now")
        for i in range(self.sizes["floods"]):
            line = "position " + source.legal()
            expected = expectedAfterPosition(engineWords(line.encode())[1:], (Position(StartFen), True))
            engine.send(line)
            infinite = i % 2 == 0
            engine.send("go infinite" if infinite else "go movetime 200")
            # The poll reads one line every few thousand nodes and acts on "stop" only; what is
            # left when the search ends is run by the command loop as usual.
            flood = [self.rng.choice(junk) for _ in range(self.sizes["floodLines"])]
            if infinite:
                flood.insert(self.rng.randrange(50), "stop")
            sendBytes(engine, ("\n".join(flood) + "\n").encode())
            self.afterFlood(engine, expected, "flood %d (%s)" % (i, "go infinite" if infinite else "go movetime 200"),
                            flood)
        self.count("flooded searches", self.sizes["floods"])
        self.count("lines flooded", self.sizes["floods"] * self.sizes["floodLines"])
        self.finish(engine, "flood")

    def afterFlood(self, engine, expected, context, flood):
        """Once the command loop has run the whole flood: one legal bestmove, and no more
        "readyok" lines than "isready" commands it can have run."""
        engine.send("uci")  # not in the flood, so its reply marks the end
        seen = []
        engine.waitFor("uciok", AnswerSeconds, seen)
        best = [l for l in seen if l.startswith("bestmove")]
        if len(best) != 1:
            self.fault("%s: %d bestmove lines for one search" % (context, len(best)))
        if best:
            match = BestMovePattern.match(best[0])
            legal = [m.uci() for m in expected[0].legalMoves()] or ["a1a1"]
            if not match or match.group(1) not in legal:
                self.fault("%s: bad '%s'" % (context, best[0]))
            self.count("best moves checked")
        ready = sum(1 for l in seen if l == "readyok")
        sent = sum(1 for l in flood if l.split()[:1] == ["isready"])
        if ready > sent:
            self.fault("%s: %d readyok for %d isready" % (context, ready, sent))
        self.count("isready answered after a flooded search", ready)

    def phaseLines(self):
        engine = self.start()
        start = Position(StartFen)

        def expectReady(context, answers=1):
            engine.send("isready")
            seen = []
            engine.waitFor("readyok", AnswerSeconds, seen)
            got = sum(1 for l in seen if l == "readyok") + 1
            if got != answers:
                self.fault("%s: %d readyok where %d were due" % (context, got, answers))

        def expectMoveFrom(position, context, go=b"go depth 2\n"):
            sendBytes(engine, go)
            self.bestMove(engine, (position, True), context)

        # 1 MiB lines: junk, a move list that goes on and on, an option value, a FEN.
        mib = 1 << 20
        sendBytes(engine, b"x" * mib + b"\n")
        expectReady("1 MiB word")
        shuffle = b" g1f3 g8f6 f3g1 f6g8" * (mib // 20)
        sendBytes(engine, b"position startpos moves" + shuffle + b" e2e4\n")
        afterShuffle = Position(StartFen)
        afterShuffle.makeMove(afterShuffle.parseMove("e2e4"))
        expectMoveFrom(afterShuffle, "1 MiB move list")
        sendBytes(engine, b"setoption name Hash value " + b"9" * mib + b"\n")
        sendBytes(engine, b"setoption name " + b"Hash " * (mib // 5) + b"value 8\n")
        sendBytes(engine, b"position fen " + b"8/" * (mib // 2) + b" w - - 0 1\n")
        expectMoveFrom(afterShuffle, "1 MiB option and FEN lines")
        sendBytes(engine, b"go " + b"depth 1 " * (mib // 8) + b"\n")
        self.bestMove(engine, (afterShuffle, True), "1 MiB go line")
        self.count("lines of 1 MiB", 6)

        # NUL bytes and invalid UTF-8: words that hold them are words of their own.
        sendBytes(engine, b"\x00\n\x00isready\nisready\x00\n\xff\xfe\n\xc3\x28 uci\n")
        expectReady("NUL and invalid UTF-8 commands")
        sendBytes(engine, b"uci \xff\xfe\x00\n")
        engine.waitFor("uciok", AnswerSeconds)
        sendBytes(engine, b"position startpos moves e2e4 e7e5\x00 g1f3\n")
        afterE4 = Position(StartFen)
        afterE4.makeMove(afterE4.parseMove("e2e4"))
        expectMoveFrom(afterE4, "move list ended by a NUL byte")
        sendBytes(engine, b"position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR \xc3\xa9 KQkq - 0 1\n")
        blackToMove = Position(StartFen.replace(" w ", " b "))
        expectMoveFrom(blackToMove, "side letter in invalid UTF-8")
        for _ in range(20):
            garbage = bytes(self.rng.randrange(256) for _ in range(self.rng.randrange(1, 400)))
            sendBytes(engine, garbage.replace(b"\n", b"") + b"\n")
        sendBytes(engine, b"position startpos\n")
        expectMoveFrom(start, "after random bytes")
        self.count("lines of NUL bytes and invalid UTF-8", 27)

        # CR LF line ends, also on the lines read during a search.
        sendBytes(engine, b"isready\r\n")
        engine.waitFor("readyok", AnswerSeconds)
        sendBytes(engine, b"position startpos moves e2e4 e7e5\r\n")
        afterE5 = Position(StartFen)
        for text in ("e2e4", "e7e5"):
            afterE5.makeMove(afterE5.parseMove(text))
        expectMoveFrom(afterE5, "CR LF position", go=b"go depth 2\r\n")
        sendBytes(engine, b"go infinite\r\n")
        time.sleep(0.05)
        sendBytes(engine, b"stop\r\n")
        self.bestMove(engine, (afterE5, True), "CR LF stop")
        sendBytes(engine, b"\r\n\r\r\n")
        expectReady("lines of carriage returns")
        self.count("CR LF lines", 6)
        self.finish(engine, "lines")

    def phaseHash(self):
        """Resident memory is sampled whenever the table is back at 4 MB. It may rise once
        (a C library may keep freed blocks in its heap), but it must not grow from one round
        of sizes to the next."""
        engine = self.start()
        position = Position(GameStarts[1])
        engine.send("position fen " + GameStarts[1])
        sizes = (4, 2048, 16, 1024, 4, 2048, 64, 2048, 4, 512, 2048, 4)
        self.bestMoveAfterSize(engine, position, 4)
        baseline = memoryOf(engine)[0]
        samples = []
        peak = 0
        for i in range(self.sizes["hashCycles"]):
            size = sizes[i % len(sizes)]
            self.bestMoveAfterSize(engine, position, size, clear=(i % 3 == 0))
            rss = memoryOf(engine)[0] or 0
            peak = max(peak, rss)
            if size == 4:
                samples.append(rss)
        self.bestMoveAfterSize(engine, position, 4)
        end = memoryOf(engine)
        samples.append(end[0])
        self.memory.append(("hash", (baseline, None), end))
        heapHeld = 32 * 1024 + 8 * 1024
        if baseline and end[0] > baseline + heapHeld:
            self.fault("hash: resident memory %d KiB at 4 MB after cycling, %d KiB before" % (end[0], baseline))
        # Over a long run, the second half must add nothing to the first.
        if len(samples) >= 16 and end[0] > samples[len(samples) // 2] + 1024:
            self.fault("hash: resident memory at 4 MB grows: %s KiB" % samples)
        print("  hash: VmRSS at 4 MB %s KiB at first, then %s KiB; peak seen %d KiB; VmHWM %s KiB"
              % (baseline, samples, peak, end[1]), flush=True)
        self.count("hash size changes", self.sizes["hashCycles"])
        self.finish(engine, "hash")

    def bestMoveAfterSize(self, engine, position, size, clear=False):
        engine.send("setoption name Hash value %d" % size)
        if clear:
            engine.send("setoption name Clear Hash")
        engine.send("go depth 4")
        self.bestMove(engine, (position, True), "Hash %d MB%s" % (size, " cleared" if clear else ""))

    def run(self):
        phases = self.args.only.split(",") if self.args.only else ["cycles", "stop", "eof", "flood", "lines", "hash"]
        source = None
        if set(phases) & {"cycles", "stop", "eof", "flood"}:
            source = PositionSource(self.rng, 60 if self.args.short else 300)
        for phase in phases:
            started = time.monotonic()
            print("=== %s" % phase, flush=True)
            try:
                if phase == "cycles":
                    self.phaseCycles(source)
                elif phase == "stop":
                    self.phaseStop(source)
                elif phase == "eof":
                    self.phaseEof(source)
                elif phase == "flood":
                    self.phaseFlood(source)
                elif phase == "lines":
                    self.phaseLines()
                elif phase == "hash":
                    self.phaseHash()
                else:
                    raise SystemExit("unknown phase " + phase)
            except Fault:
                break
            except EngineError as exc:
                self.fault("%s: %s" % (phase, exc))
            print("    %.1f s" % (time.monotonic() - started), flush=True)

        print("=== summary (seed %d)" % self.args.seed)
        for what, n in sorted(self.counts.items()):
            print("  %s: %d" % (what, n))
        for phase, first, last in self.memory:
            print("  memory, %s: VmRSS %s KiB at the start, %s KiB at the end, VmHWM %s KiB"
                  % (phase, first[0] if first else "?", last[0] if last else "?", last[1] if last else "?"))
        if self.faults:
            print("FAILED: %d faults" % len(self.faults))
            return 1
        print("no faults")
        return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", default=os.path.join(Root, "bin", "orvath64"))
    parser.add_argument("--short", action="store_true", help="the quick form for the test suite")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--only", help="comma-separated phases: cycles,stop,eof,flood,lines,hash")
    args = parser.parse_args()
    if args.seed is None:
        args.seed = random.randrange(1 << 30)
    return Stress(args).run()


if __name__ == "__main__":
    sys.exit(main())
