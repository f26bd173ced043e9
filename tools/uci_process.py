# SPDX-License-Identifier: GPL-3.0-or-later
"""A UCI engine as a child process over pipes, for the match tools (or any program that
speaks a line protocol, such as an adapter in front of an engine).

Every line the engine writes is stamped with the monotonic clock by a reader thread the
moment it arrives, so that think times measured by the caller do not include the caller's
own delays. End of output (crash or exit) shows up as a `Crashed` error on the next wait.
"""

import os
import queue
import subprocess
import threading
import time


class EngineError(Exception):
    pass


class Crashed(EngineError):
    pass


class TimedOut(EngineError):
    pass


class UciProcess:
    def __init__(self, path, name=None, args=(), cwd=None):
        self.path = path
        self.name = name or path
        self.proc = subprocess.Popen([path, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, bufsize=0, cwd=cwd)
        self.lines = queue.Queue()
        self.stderr = []
        self.closed = False
        threading.Thread(target=self._readStdout, daemon=True).start()
        threading.Thread(target=self._readStderr, daemon=True).start()

    def _readStdout(self):
        # Reads whatever the pipe holds at once (not byte by byte, which would charge the
        # driver's own cost to the engine's clock) and stamps each line on arrival.
        fd = self.proc.stdout.fileno()
        pending = b""
        while True:
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            stamp = time.monotonic()
            pending += chunk
            *complete, pending = pending.split(b"\n")
            for raw in complete:
                self.lines.put((stamp, raw.decode("utf-8", "replace").rstrip("\r")))
        if pending:
            self.lines.put((time.monotonic(), pending.decode("utf-8", "replace").rstrip("\r")))
        self.lines.put((time.monotonic(), None))

    def _readStderr(self):
        for raw in iter(self.proc.stderr.readline, b""):
            self.stderr.append(raw.decode("utf-8", "replace").rstrip("\r\n"))

    def send(self, line):
        """Writes one command line; returns the monotonic time just before writing."""
        stamp = time.monotonic()
        try:
            self.proc.stdin.write((line + "\n").encode())
            self.proc.stdin.flush()
        except (BrokenPipeError, OSError) as exc:
            self.closed = True
            raise Crashed("%s: write failed (%s), exit code %s"
                          % (self.name, exc, self.proc.poll())) from exc
        return stamp

    def drain(self):
        """Lines already received and not yet read, without waiting."""
        out = []
        while True:
            try:
                stamp, line = self.lines.get_nowait()
            except queue.Empty:
                return out
            if line is None:
                self.lines.put((stamp, None))
                return out
            out.append(line)

    def waitFor(self, prefix, timeout, seen=None):
        """Waits for the first line that starts with `prefix` (a whole word); returns
        (arrival time, line). Lines read on the way are appended to `seen`."""
        deadline = time.monotonic() + timeout
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimedOut("%s: no '%s' within %.1f s" % (self.name, prefix, timeout))
            try:
                stamp, line = self.lines.get(timeout=remaining)
            except queue.Empty:
                continue
            if line is None:
                self.lines.put((stamp, None))
                self.closed = True
                try:
                    code = self.proc.wait(timeout=2)
                except subprocess.TimeoutExpired:
                    code = None
                raise Crashed("%s: output ended while waiting for '%s', exit code %s%s"
                              % (self.name, prefix, code, self.stderrTail()))
            if line == prefix or line.startswith(prefix + " "):
                return stamp, line
            if seen is not None:
                seen.append(line)

    def stderrTail(self):
        return ("; stderr: " + " | ".join(self.stderr[-5:])) if self.stderr else ""

    def handshake(self, timeout=10.0, options=()):
        self.send("uci")
        self.waitFor("uciok", timeout)
        for name, value in options:
            self.send("setoption name %s value %s" % (name, value))
        self.isReady(timeout)

    def isReady(self, timeout=10.0):
        self.send("isready")
        self.waitFor("readyok", timeout)

    def quit(self, timeout=5.0):
        """Asks the engine to end; returns its exit code, or None when it had to be killed."""
        try:
            self.send("quit")
        except Crashed:
            pass
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            return None

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.closed = True
