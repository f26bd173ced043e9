#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Chess rules for the match tools: a 0x88 mailbox board with FEN input, legal moves,
make/unmake and the game-ending rules (mate, stalemate, fifty moves, threefold repetition,
insufficient material), for standard chess and Chess960.

It is deliberately independent of the engine, so that the match driver can judge the
engine's moves with rules it did not write. Speed is secondary: a game needs a few hundred
legal-move lists, not millions.

Castling rights are kept as the squares of the rooks that may still castle, so that the same
rules serve Chess960, where king and rooks start on any files: the king ends on the g- or
c-file and the rook beside it on the f- or d-file, every square either crosses or reaches must
be empty but for the two of them, and no square the king stands on or crosses may be
attacked. A FEN names the rooks by "KQkq" (the outermost rook of a side) or by their files
(X-FEN and Shredder-FEN). In standard chess castling is written as the king's two-square step
("e1g1"); a Position made with chess960=True writes and reads it as the king moving onto its
own rook ("e1h1"), as Chess960 interfaces do.

    python3 tools/chess_rules.py --selftest           perft totals of known positions
    python3 tools/chess_rules.py --perft D [FEN]      one perft count
    python3 tools/chess_rules.py --perft960 D FEN     one perft count of a Chess960 position
    python3 tools/chess_rules.py --chess960-starts N [SEED]
                                                      N different Chess960 start positions
"""

import os
import random
import sys
import time

StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"

White, Black = 0, 1
Empty = "."

KnightSteps = (33, 31, 18, 14, -14, -18, -31, -33)
KingSteps = (1, -1, 16, -16, 15, 17, -15, -17)
RookDirs = (1, -1, 16, -16)
BishopDirs = (15, 17, -15, -17)

def sq88(name):
    """'e4' -> 0x88 index."""
    return (int(name[1]) - 1) * 16 + (ord(name[0]) - ord("a"))


def sqName(s):
    return "abcdefgh"[s & 7] + str((s >> 4) + 1)


def colourOf(piece):
    return White if piece.isupper() else Black


class Move:
    """A move as the protocol writes it: origin, destination, promotion letter (lower case).
    A castling move also knows its rook's square; its destination is the king's in standard
    notation and the rook's in Chess960 notation."""
    __slots__ = ("frm", "to", "promo", "rook")

    def __init__(self, frm, to, promo=None, rook=None):
        self.frm, self.to, self.promo, self.rook = frm, to, promo, rook

    def uci(self):
        return sqName(self.frm) + sqName(self.to) + (self.promo or "")

    def __eq__(self, other):
        return (self.frm, self.to, self.promo) == (other.frm, other.to, other.promo)

    def __hash__(self):
        return hash((self.frm, self.to, self.promo))

    def __repr__(self):
        return self.uci()


def backRank(colour):
    return 0 if colour == White else 7


class Position:
    def __init__(self, fen=StartFen, chess960=False):
        self.chess960 = chess960
        self.setFen(fen)

    # ---- set-up and text -------------------------------------------------------------
    def setFen(self, fen):
        parts = fen.split()
        if len(parts) < 4:
            raise ValueError("FEN needs at least 4 fields: " + fen)
        self.board = [Empty] * 128
        rank, file = 7, 0
        for ch in parts[0]:
            if ch == "/":
                rank, file = rank - 1, 0
            elif ch.isdigit():
                file += int(ch)
            else:
                if ch not in "PNBRQKpnbrqk" or rank < 0 or file > 7:
                    raise ValueError("bad FEN board: " + fen)
                self.board[rank * 16 + file] = ch
                file += 1
        self.side = White if parts[1] == "w" else Black
        self.ep = None if parts[3] == "-" else sq88(parts[3])
        self.halfmove = int(parts[4]) if len(parts) > 4 else 0
        self.fullmove = int(parts[5]) if len(parts) > 5 else 1
        self.kings = [None, None]
        for s in range(128):
            if not s & 0x88 and self.board[s] in "Kk":
                self.kings[colourOf(self.board[s])] = s
        if None in self.kings:
            raise ValueError("FEN without both kings: " + fen)
        self.castling = frozenset(r for r in map(self._castlingRook, parts[2]) if r is not None)
        self.undo = []
        self.keys = [self.key()]

    def _castlingRook(self, letter):
        """The square of the rook that one letter of the castling field names, or None: "K"
        and "Q" the outermost rook on that side of the king, a file letter the rook on that
        file, of a king on its back rank."""
        colour = White if letter.isupper() else Black
        rank, rook, king = backRank(colour), "R" if colour == White else "r", self.kings[colour]
        if king >> 4 != rank:
            return None
        upper = letter.upper()
        if upper == "K":
            files = range(7, king & 7, -1)
        elif upper == "Q":
            files = range(0, king & 7)
        elif "A" <= upper <= "H":
            files = (ord(upper) - ord("A"),)
        else:
            return None
        for file in files:
            if self.board[rank * 16 + file] == rook:
                return rank * 16 + file
        return None

    def _castlingText(self):
        """The castling field: "KQkq" for the outermost rooks, the file letter for an inner one."""
        text = ""
        for colour in (White, Black):
            rook = "R" if colour == White else "r"
            king = self.kings[colour]
            for r in sorted((r for r in self.castling if r >> 4 == backRank(colour)), reverse=True):
                outer = range(r + 1, (r & ~7) + 8) if r > king else range(r & ~7, r)
                if any(self.board[s] == rook for s in outer):
                    letter = "abcdefgh"[r & 7]
                else:
                    letter = "k" if r > king else "q"
                text += letter.upper() if colour == White else letter
        return text or "-"

    def fen(self):
        rows = []
        for rank in range(7, -1, -1):
            row, gap = "", 0
            for file in range(8):
                p = self.board[rank * 16 + file]
                if p == Empty:
                    gap += 1
                else:
                    row += (str(gap) if gap else "") + p
                    gap = 0
            rows.append(row + (str(gap) if gap else ""))
        ep = sqName(self.ep) if self.ep is not None else "-"
        return "%s %s %s %s %d %d" % ("/".join(rows), "wb"[self.side], self._castlingText(), ep,
                                      self.halfmove, self.fullmove)

    def key(self):
        """Identity of the position for repetition: placement, side, rights, and the en
        passant square only when a capture there is actually possible."""
        ep = self.ep if self.ep is not None and self._epCapturePossible() else None
        return ("".join(self.board), self.side, tuple(sorted(self.castling)), ep)

    def _epCapturePossible(self):
        pawn = "P" if self.side == White else "p"
        back = -16 if self.side == White else 16
        for d in (-1, 1):
            s = self.ep + back + d
            if not s & 0x88 and self.board[s] == pawn:
                m = Move(s, self.ep)
                self.makeMove(m, record=False)
                ok = not self.attacked(self.kings[self.side ^ 1], self.side)
                self.unmakeMove()
                if ok:
                    return True
        return False

    # ---- attacks ---------------------------------------------------------------------
    def attacked(self, s, by):
        """Whether side `by` attacks square s."""
        b = self.board
        if by == White:
            for d in (-15, -17):
                t = s + d
                if not t & 0x88 and b[t] == "P":
                    return True
            knight, king, rq, bq = "N", "K", "RQ", "BQ"
        else:
            for d in (15, 17):
                t = s + d
                if not t & 0x88 and b[t] == "p":
                    return True
            knight, king, rq, bq = "n", "k", "rq", "bq"
        for d in KnightSteps:
            t = s + d
            if not t & 0x88 and b[t] == knight:
                return True
        for d in KingSteps:
            t = s + d
            if not t & 0x88 and b[t] == king:
                return True
        for dirs, sliders in ((RookDirs, rq), (BishopDirs, bq)):
            for d in dirs:
                t = s + d
                while not t & 0x88:
                    p = b[t]
                    if p != Empty:
                        if p in sliders:
                            return True
                        break
                    t += d
        return False

    def inCheck(self):
        return self.attacked(self.kings[self.side], self.side ^ 1)

    # ---- generation ------------------------------------------------------------------
    def pseudoMoves(self):
        b, us = self.board, self.side
        moves = []
        own = str.isupper if us == White else str.islower
        for s in range(128):
            if s & 0x88:
                continue
            p = b[s]
            if p == Empty or not own(p):
                continue
            kind = p.upper()
            if kind == "P":
                self._pawnMoves(s, moves)
            elif kind == "N" or kind == "K":
                for d in (KnightSteps if kind == "N" else KingSteps):
                    t = s + d
                    if not t & 0x88 and (b[t] == Empty or not own(b[t])):
                        moves.append(Move(s, t))
                if kind == "K":
                    self._castlingMoves(s, moves)
            else:
                dirs = RookDirs if kind == "R" else BishopDirs if kind == "B" else RookDirs + BishopDirs
                for d in dirs:
                    t = s + d
                    while not t & 0x88:
                        if b[t] == Empty:
                            moves.append(Move(s, t))
                        else:
                            if not own(b[t]):
                                moves.append(Move(s, t))
                            break
                        t += d
        return moves

    def _pawnMoves(self, s, moves):
        b, us = self.board, self.side
        up = 16 if us == White else -16
        startRank, lastRank = (1, 7) if us == White else (6, 0)
        enemy = str.islower if us == White else str.isupper

        def add(t):
            if t >> 4 == lastRank:
                for promo in "qrbn":
                    moves.append(Move(s, t, promo))
            else:
                moves.append(Move(s, t))

        t = s + up
        if not t & 0x88 and b[t] == Empty:
            add(t)
            if s >> 4 == startRank and b[t + up] == Empty:
                moves.append(Move(s, t + up))
        for d in (up - 1, up + 1):
            t = s + d
            if t & 0x88:
                continue
            if (b[t] != Empty and enemy(b[t])) or t == self.ep:
                add(t)

    def _castlingMoves(self, s, moves):
        b, us = self.board, self.side
        them, rank = us ^ 1, backRank(us)
        rook = "R" if us == White else "r"
        for r in sorted(self.castling):
            if r >> 4 != rank or b[r] != rook:
                continue
            kingTo, rookTo = castlingTargets(s, r)
            crossed = set(span(s, kingTo)) | set(span(r, rookTo))
            if any(b[x] != Empty for x in crossed - {s, r}):
                continue
            if any(self.attacked(x, them) for x in span(s, kingTo)):
                continue
            moves.append(Move(s, r if self.chess960 else kingTo, rook=r))

    def legalMoves(self):
        legal = []
        us = self.side
        for m in self.pseudoMoves():
            self.makeMove(m, record=False)
            if not self.attacked(self.kings[us], us ^ 1):
                legal.append(m)
            self.unmakeMove()
        return legal

    # ---- make / unmake ---------------------------------------------------------------
    def makeMove(self, m, record=True):
        """Plays a move assumed pseudo-legal. With record, the position joins the
        repetition history."""
        b = self.board
        piece = b[m.frm]
        captured = Empty if m.rook is not None else b[m.to]
        undo = (m, piece, captured, self.castling, self.ep, self.halfmove, self.fullmove,
                self.kings[:], None, None, record)
        epVictim = None
        castled = None
        kind = piece.upper()
        if m.rook is not None:
            # King and rook leave first: in Chess960 either may land where the other stood.
            kingTo, rookTo = castlingTargets(m.frm, m.rook)
            rook = b[m.rook]
            b[m.frm] = b[m.rook] = Empty
            b[kingTo], b[rookTo] = piece, rook
            self.kings[self.side] = kingTo
            castled = (m.frm, kingTo, m.rook, rookTo)
        else:
            b[m.to], b[m.frm] = piece, Empty
        if kind == "P":
            if m.to == self.ep:
                epVictim = m.to + (-16 if self.side == White else 16)
                captured = b[epVictim]
                b[epVictim] = Empty
            if m.promo:
                b[m.to] = m.promo.upper() if self.side == White else m.promo
        elif kind == "K" and castled is None:
            self.kings[self.side] = m.to
        # A king that moves loses both rights; a rook that moves or is taken loses its own.
        lost = {m.frm, m.to}
        if kind == "K":
            lost |= {r for r in self.castling if r >> 4 == backRank(self.side)}
        self.castling = self.castling - lost
        self.ep = (m.frm + m.to) // 2 if kind == "P" and abs(m.to - m.frm) == 32 else None
        self.halfmove = 0 if kind == "P" or captured != Empty else self.halfmove + 1
        if self.side == Black:
            self.fullmove += 1
        self.side ^= 1
        self.undo.append(undo[:8] + (epVictim, castled, record))
        if record:
            self.keys.append(self.key())

    def unmakeMove(self):
        (m, piece, captured, castling, ep, halfmove, fullmove, kings, epVictim, castled,
         record) = self.undo.pop()
        b = self.board
        self.side ^= 1
        if castled is not None:
            kingFrom, kingTo, rookFrom, rookTo = castled
            rook = b[rookTo]
            b[kingTo] = b[rookTo] = Empty
            b[kingFrom], b[rookFrom] = piece, rook
        else:
            b[m.frm], b[m.to] = piece, captured
        if epVictim is not None:
            b[m.to] = Empty
            b[epVictim] = "p" if self.side == White else "P"
        self.castling, self.ep, self.halfmove, self.fullmove, self.kings = (
            castling, ep, halfmove, fullmove, kings)
        if record:
            self.keys.pop()

    def parseMove(self, text):
        """The legal move written as `text`, or None when it is not a legal move here."""
        for m in self.legalMoves():
            if m.uci() == text:
                return m
        return None

    # ---- game end --------------------------------------------------------------------
    def repetitions(self):
        """How often the current position has occurred, counting this occurrence, within
        the reversible stretch since the last capture or pawn move."""
        current = self.keys[-1]
        span = min(self.halfmove, len(self.keys) - 1)
        return sum(1 for k in self.keys[len(self.keys) - 1 - span:] if k == current)

    def insufficientMaterial(self):
        minors = []
        for s in range(128):
            if s & 0x88:
                continue
            p = self.board[s]
            if p in "PpRrQq":
                return False
            if p in "NnBb":
                minors.append((p, ((s >> 4) + (s & 7)) & 1))
        if len(minors) <= 1:
            return True
        # Bishops only, all on squares of one colour: no mate can ever arise.
        return all(p in "Bb" for p, _ in minors) and len({c for _, c in minors}) == 1

    def outcome(self):
        """None while the game goes on, else (result, reason) with result "1-0", "0-1" or
        "1/2-1/2". Mate and stalemate take precedence over the draw rules."""
        if not self.legalMoves():
            if self.inCheck():
                return ("0-1" if self.side == White else "1-0", "checkmate")
            return ("1/2-1/2", "stalemate")
        if self.insufficientMaterial():
            return ("1/2-1/2", "insufficient material")
        if self.halfmove >= 100:
            return ("1/2-1/2", "fifty-move rule")
        if self.repetitions() >= 3:
            return ("1/2-1/2", "threefold repetition")
        return None


def span(a, b):
    """The squares from a to b on one rank, both included."""
    step = 1 if b >= a else -1
    return range(a, b + step, step)


def castlingTargets(kingFrom, rookFrom):
    """Where king and rook stand after castling: the g- and f-file when the rook stands beyond
    the king towards the h-file, else the c- and d-file."""
    base = kingFrom & ~7
    return (base + 6, base + 5) if rookFrom > kingFrom else (base + 2, base + 3)


def chess960StartFen(number):
    """Start position `number` (0..959) of Chess960 in the usual numbering, in which 518 is the
    standard one: the bishops, the queen and the knights in turn from the number's digits,
    then rook, king, rook on the three squares left."""
    row = [None] * 8
    number, light = divmod(number, 4)
    row[2 * light + 1] = "B"
    number, dark = divmod(number, 4)
    row[2 * dark] = "B"
    number, queen = divmod(number, 6)
    row[[i for i in range(8) if row[i] is None][queen]] = "Q"
    knightPairs = [(a, b) for a in range(5) for b in range(a + 1, 5)]
    for place in knightPairs[number]:
        row[[i for i in range(8) if row[i] is None][place - knightPairs[number].index(place)]] = "N"
    for piece in "RKR":
        row[row.index(None)] = piece
    back = "".join(row)
    return "%s/pppppppp/8/8/8/8/PPPPPPPP/%s w KQkq - 0 1" % (back.lower(), back)


def perft(pos, depth):
    if depth == 0:
        return 1
    moves = pos.legalMoves()
    if depth == 1:
        return len(moves)
    total = 0
    for m in moves:
        pos.makeMove(m, record=False)
        total += perft(pos, depth - 1)
        pos.unmakeMove()
    return total


Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
PerftTable = (
    (StartFen, 4, 197281),
    (Kiwipete, 3, 97862),
    ("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238),
    ("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467),
    ("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379),
)


def selfTest():
    ok = True
    for fen, depth, expected in PerftTable:
        start = time.time()
        got = perft(Position(fen), depth)
        status = "ok" if got == expected else "FAIL"
        ok &= got == expected
        print("%-4s perft %d = %d (expected %d, %.1f s)  %s"
              % (status, depth, got, expected, time.time() - start, fen))

    # Game-end rules on small hand-made cases.
    def check(name, cond):
        nonlocal ok
        ok &= bool(cond)
        print("%-4s %s" % ("ok" if cond else "FAIL", name))

    check("fool's mate is mate", _play(StartFen, "f2f3 e7e5 g2g4 d8h4").outcome() == ("0-1", "checkmate"))
    check("stalemate", Position("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1").outcome() == ("1/2-1/2", "stalemate"))
    check("K+B vs K is dead", Position("8/8/4k3/8/8/3B4/4K3/8 w - - 0 1").outcome()[1] == "insufficient material")
    check("K+N+N vs K plays on", Position("8/8/4k3/8/8/3NN3/4K3/8 w - - 0 1").outcome() is None)
    check("same-colour bishops are dead",
          Position("8/8/2b1k3/8/8/3B4/4K3/8 w - - 0 1").outcome()[1] == "insufficient material")
    check("opposite bishops play on", Position("8/8/3bk3/8/8/3B4/4K3/8 w - - 0 1").outcome() is None)
    check("fifty moves", Position("8/8/4k3/8/8/3R4/4K3/8 w - - 100 80").outcome()[1] == "fifty-move rule")
    rep = _play(StartFen, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8")
    check("threefold repetition", rep.outcome() == ("1/2-1/2", "threefold repetition"))
    twice = _play(StartFen, "g1f3 g8f6 f3g1 f6g8")
    check("twofold is not a draw", twice.outcome() is None)
    epPos = Position("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1")
    epPos.makeMove(epPos.parseMove("e2e4"))
    check("en passant capture parsed", epPos.parseMove("d4e3") is not None)
    check("castling parsed as king move", Position(Kiwipete).parseMove("e1g1") is not None)
    check("promotion needs its letter", Position("8/4P1k1/8/8/8/8/8/4K3 w - - 0 1").parseMove("e7e8") is None)

    # Chess960: the published positions, castling written as the king taking its rook, and
    # the castling fields of X-FEN and Shredder-FEN.
    for fen, depth, expected in chess960PerftTable():
        start = time.time()
        got = perft(Position(fen, chess960=True), depth)
        ok &= got == expected
        print("%-4s perft %d = %d (expected %d, %.1f s)  %s"
              % ("ok" if got == expected else "FAIL", depth, got, expected, time.time() - start, fen))
    castled = _play(StartFen.replace("KQkq", "HAha"), "e2e4 e7e5 g1f3 g8f6 f1c4 f8c5 e1h1 e8h8", chess960=True)
    check("Chess960 castling as king takes rook",
          castled.fen() == "rnbq1rk1/pppp1ppp/5n2/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 w - - 6 5")
    check("Chess960 castling not as the king's step",
          Position(Kiwipete, chess960=True).parseMove("e1g1") is None
          and Position(Kiwipete, chess960=True).parseMove("e1h1") is not None)
    beside = Position("1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1RK4R w HBhb - 0 1", chess960=True)
    check("king beside its rook castles without moving",
          sorted(m.uci() for m in beside.legalMoves() if m.rook is not None) == ["c1b1", "c1h1"])
    xfen = "rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK3R1R w QFkq - 0 1"
    check("X-FEN names an inner rook by its file",
          Position(xfen, chess960=True).fen() == xfen.replace("QFkq", "FQkq"))
    inner = _play(xfen, "b1f1", chess960=True)
    check("castling with the inner rook", inner.fen().split()[0].endswith("/R4RKR"))
    check("Chess960 start position 518 is the standard one", chess960StartFen(518) == StartFen)
    check("Chess960 start positions differ", len({chess960StartFen(n) for n in range(960)}) == 960)
    return ok


def chess960PerftTable():
    """(FEN, depth, count) of the published Chess960 positions that the engine's tests use too,
    at depth 2 (depth 3 for the first two)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "chess960-perft.epd")
    table = []
    with open(path) as f:
        for number, line in enumerate(l for l in f if l.strip()):
            fields = line.split(";")
            depth = 3 if number < 2 else 2
            counts = {int(field.split()[0][1:]): int(field.split()[1]) for field in fields[1:]}
            table.append((fields[0].strip(), depth, counts[depth]))
    return table


def _play(fen, moves, chess960=False):
    pos = Position(fen, chess960)
    for text in moves.split():
        m = pos.parseMove(text)
        assert m is not None, text
        pos.makeMove(m)
    return pos


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--selftest":
        sys.exit(0 if selfTest() else 1)
    if len(sys.argv) > 2 and sys.argv[1] in ("--perft", "--perft960"):
        fen = " ".join(sys.argv[3:]) or StartFen
        print(perft(Position(fen, chess960=sys.argv[1] == "--perft960"), int(sys.argv[2])))
        sys.exit(0)
    if len(sys.argv) > 2 and sys.argv[1] == "--chess960-starts":
        generator = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 960)
        for number in generator.sample(range(960), min(int(sys.argv[2]), 960)):
            print(chess960StartFen(number))
        sys.exit(0)
    print(__doc__)
    sys.exit(2)
