#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The engine behind a real client: Debian's polyglot, the adapter through which xboard and
the other xboard-protocol GUIs run UCI engines, is started with the engine program behind it
and spoken to as xboard speaks to it.

    python3 tests/polyglot/run_polyglot_test.py [--engine bin/orvath64] [--polyglot PATH]

The dialogue: "xboard" and "protover 2" (the feature reply must end with done=1 and name the
engine and its options), a game under a clock ("level", "time"/"otim", "usermove"s answered
by "move"), "ping" during and after a search, "force" and two "undo"s, "setboard" with a FEN
under "st", a game with pondering on ("hard", which polyglot passes to the engine's Ponder
option; it then has the engine ponder with "go ... ponder" on our time), and "quit". Every engine move is checked against the project's own rules
(tools/chess_rules.py). After "quit" polyglot must end with exit code 0, and its log must show
that it saw the engine process exit with 0.

Exit code 0 when all of it holds, 1 at the first fault, 2 when polyglot is not installed.
"""

import argparse
import os
import queue
import random
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
Root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(Root, "tools"))

from chess_rules import Position  # noqa: E402
from uci_process import EngineError, UciProcess  # noqa: E402

StartSeconds = 20.0
MoveSeconds = 30.0
QuitSeconds = 10.0
ClockMoves = 4
SetboardFen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
# What polyglot writes when it or the engine went wrong; a game result, too, since none of
# these short games can end (polyglot ends the game itself when its engine plays an illegal
# move).
FaultPrefixes = ("Error", "Illegal move", "telluser", "resign", "1-0", "0-1", "1/2-1/2")


class Fault(Exception):
    pass


def findPolyglot(given):
    if given:
        return given if os.access(given, os.X_OK) else None
    # Debian installs it with the games, which are not always on the path.
    return shutil.which("polyglot") or shutil.which("polyglot", path="/usr/games")


def iniValue(text):
    """A value for polyglot's configuration file, where ;#[]=\\ must be escaped."""
    return "".join("\\" + c if c in ";#[]=\\" else c for c in text)


def writeIni(directory, engine, log):
    # EngineCommand goes through the shell's word expansion, so the path is quoted for it.
    path = os.path.join(directory, "engine.ini")
    with open(path, "w") as ini:
        ini.write("[PolyGlot]\n")
        ini.write("EngineDir = %s\n" % iniValue(os.path.dirname(engine)))
        ini.write("EngineCommand = %s\n" % iniValue(shlex.quote(engine)))
        ini.write("Log = true\n")
        ini.write("LogFile = %s\n" % iniValue(log))
        ini.write("Book = false\n")
        ini.write("[Engine]\n")
    return path


class XboardDialogue:
    """polyglot driven as xboard drives it; every line it writes is kept for the report."""

    def __init__(self, polyglot, ini, directory):
        self.process = UciProcess(polyglot, name="polyglot", args=[ini], cwd=directory)
        self.transcript = []
        self.pings = 0

    def send(self, line):
        self.transcript.append("> " + line)
        self.process.send(line)

    def expect(self, prefix, timeout=MoveSeconds):
        """Waits for a line starting with the word(s) `prefix`; returns it and the lines read
        before it. A fault reported by polyglot ends the wait at once."""
        deadline = time.monotonic() + timeout
        seen = []
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise Fault("no '%s' within %.0f s" % (prefix, timeout))
            try:
                _, line = self.process.lines.get(timeout=remaining)
            except queue.Empty:
                continue
            if line is None:
                raise Fault("polyglot's output ended while waiting for '%s', exit code %s%s"
                            % (prefix, self.process.proc.poll(), self.process.stderrTail()))
            self.transcript.append("< " + line)
            if line.startswith(FaultPrefixes):
                raise Fault("polyglot reported: " + line)
            if line == prefix or line.startswith(prefix + " "):
                return line, seen
            seen.append(line)

    def ping(self):
        self.pings += 1
        self.send("ping %d" % self.pings)
        return "pong %d" % self.pings


def checkedMove(line, position, what):
    """Plays the engine's move on `position` after checking it is legal there."""
    text = line.split()[1]
    move = position.parseMove(text)
    if move is None:
        raise Fault("%s: illegal engine move %s in %s" % (what, text, position.fen()))
    position.makeMove(move)


def allowsMate(position, move, depth=2):
    """Whether the engine can mate after our `move`: at once, or (depth 2) with a check after
    which every move of ours allows a mate at once."""
    position.makeMove(move)
    mated = False
    for reply in position.legalMoves():
        position.makeMove(reply)
        if position.inCheck():
            answers = position.legalMoves()
            mated = not answers or (depth > 1 and all(allowsMate(position, a, 1) for a in answers))
        position.unmakeMove()
        if mated:
            break
    position.unmakeMove()
    return mated


def ourMove(dialogue, position, rng, avoid=None):
    # Random moves, but none that lets the engine mate soon (f2f3, g2g4 and Qh4): a game that
    # ends leaves us no move to play, and the engine's replies vary with the clock.
    moves = [m for m in position.legalMoves() if m.uci() != avoid]
    safe = [m for m in moves if not allowsMate(position, m)]
    move = rng.choice(safe or moves)
    dialogue.send("usermove " + move.uci())
    position.makeMove(move)
    return move.uci()


def startUp(dialogue):
    dialogue.send("xboard")
    dialogue.send("protover 2")
    _, seen = dialogue.expect("feature done=1", StartSeconds)
    features = " ".join(seen)
    for wanted in ('myname="Orvath 0.3b x64"', "ping=1", "setboard=1", "usermove=1", "memory=1",
                   'option="Clear Hash -button"', 'option="MultiPV -spin 1 1 500"'):
        if wanted not in features:
            raise Fault("feature reply lacks %s: %s" % (wanted, features))


def clockGame(dialogue, rng):
    """A game under a clock; the first search is pinged while it runs. Returns the position
    and the last move we played."""
    dialogue.send("new")
    dialogue.send("level 0 1 0")
    dialogue.send("post")
    position = Position()
    ours = None
    for number in range(ClockMoves):
        dialogue.send("time 1000")
        dialogue.send("otim 1000")
        ours = ourMove(dialogue, position, rng)
        if number == 0:
            # polyglot may answer it before or after the move.
            pong = dialogue.ping()
            line, seen = dialogue.expect("move")
            if pong not in seen:
                dialogue.expect(pong)
        else:
            line, _ = dialogue.expect("move")
        checkedMove(line, position, "clock game")
    dialogue.expect(dialogue.ping())
    return position, ours


def forceAndUndo(dialogue, position, lastOurs, rng):
    """Takes back the engine's move and ours, plays another move in force mode (the engine
    must stay silent), then lets the engine move with "go"."""
    dialogue.send("force")
    dialogue.send("undo")
    dialogue.send("undo")
    position.unmakeMove()
    position.unmakeMove()
    ourMove(dialogue, position, rng, avoid=lastOurs)
    _, seen = dialogue.expect(dialogue.ping())
    if any(text.startswith("move ") for text in seen):
        raise Fault("the engine moved in force mode: %s" % seen)
    dialogue.send("go")
    line, _ = dialogue.expect("move")
    checkedMove(line, position, "after undo")


def setboardGame(dialogue, rng):
    dialogue.send("new")
    dialogue.send("force")
    dialogue.send("setboard " + SetboardFen)
    dialogue.send("st 1")
    dialogue.send("go")
    position = Position(SetboardFen)
    line, _ = dialogue.expect("move")
    checkedMove(line, position, "setboard")
    ourMove(dialogue, position, rng)
    line, _ = dialogue.expect("move")
    checkedMove(line, position, "setboard")
    dialogue.expect(dialogue.ping())


def ponderGame(dialogue, rng, log):
    """A game under a clock with pondering on: the engine thinks on our time, and polyglot
    ends each ponder search with "ponderhit" or "stop" when our move comes."""
    dialogue.send("new")
    dialogue.send("hard")
    dialogue.send("level 0 1 0")
    position = Position()
    for _ in range(ClockMoves):
        dialogue.send("time 1000")
        dialogue.send("otim 1000")
        ourMove(dialogue, position, rng)
        line, _ = dialogue.expect("move")
        checkedMove(line, position, "ponder game")
        time.sleep(0.2)  # our thinking time, which the engine ponders on
    dialogue.send("easy")
    dialogue.expect(dialogue.ping())
    # polyglot writes the word last: "go wtime 10000 btime 9887 ponder".
    with open(log, errors="replace") as f:
        if not any("Adapter->Engine: go " in line and line.rstrip().endswith(" ponder") for line in f):
            raise Fault("polyglot never had the engine ponder")


def quitAndCheckExit(dialogue, log):
    dialogue.send("quit")
    code = dialogue.process.proc.wait(timeout=QuitSeconds)
    if code != 0:
        raise Fault("polyglot exit code %s after quit" % code)
    # polyglot waits for its engine after quit and logs what waitpid told it.
    with open(log, errors="replace") as f:
        text = f.read()
    if "Child exited with status 0." not in text:
        tail = [line for line in text.splitlines() if "Child" in line or "child" in line]
        raise Fault("polyglot's log does not show the engine exiting with 0: %s" % tail)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--engine", default=os.path.join(Root, "bin", "orvath64"))
    parser.add_argument("--polyglot", help="the polyglot program (default: from the path or /usr/games)")
    parser.add_argument("--seed", type=int, default=13, help="seed of our moves")
    args = parser.parse_args()

    polyglot = findPolyglot(args.polyglot)
    if not polyglot:
        print("skipped: polyglot is not installed (Debian package polyglot)")
        return 2
    engine = os.path.abspath(args.engine)
    rng = random.Random(args.seed)
    with tempfile.TemporaryDirectory(prefix="orvath-polyglot-") as directory:
        log = os.path.join(directory, "polyglot.log")
        dialogue = XboardDialogue(polyglot, writeIni(directory, engine, log), directory)
        step = "start-up"
        try:
            startUp(dialogue)
            step = "clock game"
            position, ours = clockGame(dialogue, rng)
            step = "force and undo"
            forceAndUndo(dialogue, position, ours, rng)
            step = "setboard"
            setboardGame(dialogue, rng)
            step = "ponder game"
            ponderGame(dialogue, rng, log)
            step = "quit"
            quitAndCheckExit(dialogue, log)
        except (Fault, EngineError, OSError, subprocess.TimeoutExpired) as exc:
            dialogue.process.kill()
            print("FAILED at %s: %s" % (step, exc))
            print("last lines of the dialogue:\n  " + "\n  ".join(dialogue.transcript[-30:]))
            if os.path.exists(log):
                with open(log, errors="replace") as f:
                    print("end of polyglot's log:\n  " + "\n  ".join(f.read().splitlines()[-20:]))
            return 1
    moves = sum(1 for line in dialogue.transcript if line.startswith("< move "))
    print("polyglot test passed: %d engine moves checked legal, %d pings answered, engine exit code 0"
          % (moves, dialogue.pings))
    return 0


if __name__ == "__main__":
    sys.exit(main())
