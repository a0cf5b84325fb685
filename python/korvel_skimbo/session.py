"""A host-stream session: the program started with --headless --host-stream, its frame
records read as they come, contacts written as lines, its log read as events.

Two reader threads drain standard output and standard error all the time, whatever the
host is doing, so the program never waits on a full pipe while the host writes a contact
or thinks about a frame; that is what keeps a slow host from ending the session as a
"host-stream slow reader". The host sees only the newest frames (`keep` of them).
"""
import collections
import contextlib
import fcntl
import io
import os
import signal
import subprocess
import threading
import time
from dataclasses import dataclass

from korvel_skimbo.log import ProgramFailure, outcome, parse_line

WIDTH, HEIGHT = 640, 172
HEADER = b"\x00\x05\x0a\x00"  # the payload's length, 330,240, big-endian
RECORD = len(HEADER) + WIDTH * HEIGHT * 3
PIPE_BYTES = 1 << 20  # three records: the program writes each in one call
LAST_CONTACT_MS = 900000  # the program refuses a later contact time


def pixel_at(pixels, x, y, width=WIDTH):
    at = 3 * (y * width + x)
    return tuple(pixels[at:at + 3])


@dataclass(frozen=True)
class Frame:
    index: int            # the record's place in the stream, from 0; a gap means frames the host skipped
    pixels: memoryview    # 172 rows of 640 RGB triplets, top row first

    def pixel(self, x, y):
        return pixel_at(self.pixels, x, y)


def widen_pipe(stream):
    # A pipe holds 64 KiB unless asked for more; a record is 330,244 bytes.
    try:
        fcntl.fcntl(stream.fileno(), fcntl.F_SETPIPE_SZ, PIPE_BYTES)
    except OSError:
        pass  # above the system's limit for this user: the default works, with more calls


def read_record(stream):
    """The next whole record as a fresh buffer, filled straight from the pipe; None at the
    end of the stream, a record cut short included."""
    record = bytearray(RECORD)
    view, got = memoryview(record), 0
    while got < RECORD:
        count = stream.readinto(view[got:])
        if not count:
            return None
        got += count
    return record


class Session:
    """with Session("build/korvel-skimbo", "--seed", "7") as game: ...

    Starts the program, waits for its first frame, and on leaving closes its standard input
    (the session ends with status 0, reason exit-gesture) and keeps the Exit in `exit`.
    A failure of the program is raised as ProgramFailure from whichever call meets it."""

    def __init__(self, program="korvel-skimbo", *options, keep=1, start_timeout=10.0):
        command = [os.fspath(program), "--headless", "--host-stream", *options]
        try:
            self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                            stderr=subprocess.PIPE, bufsize=0, start_new_session=True)
        except OSError as error:
            raise ProgramFailure(f"cannot start {program}: {error.strerror}", None) from None
        widen_pipe(self.process.stdout)
        lock = threading.Lock()
        self.new_frame, self.new_line = threading.Condition(lock), threading.Condition(lock)
        self.kept = collections.deque(maxlen=keep)
        self.records, self.log = 0, []
        self.records_ended = self.log_ended = False
        self.first_frame_at = None
        self.exit = None
        self.ending = None  # the Exit or the ProgramFailure, once the program has ended
        self.readers = [threading.Thread(target=target, daemon=True) for target in (self.read_records, self.read_log)]
        for reader in self.readers:
            reader.start()
        self.await_first_frame(start_timeout)

    def __enter__(self):
        return self

    def __exit__(self, kind, error, trace):
        try:
            self.close()
        except ProgramFailure:
            if error is None:
                raise  # otherwise the error that left the block says more

    def read_records(self):
        while (record := read_record(self.process.stdout)) is not None:
            if record[:len(HEADER)] != HEADER:
                break  # not the program's stream: stop reading, so that it ends
            with self.new_frame:
                self.first_frame_at = self.first_frame_at or time.monotonic()
                self.kept.append(Frame(self.records, memoryview(record)[len(HEADER):]))
                self.records += 1
                self.new_frame.notify_all()
        with self.new_frame:
            self.records_ended = True
            self.new_frame.notify_all()

    def read_log(self):
        with io.BufferedReader(self.process.stderr) as lines:
            for line in lines:
                event = parse_line(line.decode(errors="replace"))
                with self.new_line:
                    self.log.append(event)
                    self.new_line.notify_all()
        with self.new_line:
            self.log_ended = True
            self.new_line.notify_all()

    def await_first_frame(self, timeout):
        with self.new_frame:
            started = self.new_frame.wait_for(lambda: self.records or self.records_ended, timeout)
        if not started:
            self.signal_all(signal.SIGKILL)
            with contextlib.suppress(ProgramFailure):
                self.finish()
            raise ProgramFailure(f"no frame within {timeout} s", self.process.returncode)
        if not self.records:
            self.finish()

    def next_frame(self, timeout=None):
        """The oldest kept frame not handed out yet, waiting for one; None once the program
        has ended without failing. With keep=1 (the default) that is the newest frame."""
        with self.new_frame:
            if not self.new_frame.wait_for(lambda: self.kept or self.records_ended, timeout):
                raise TimeoutError(f"no frame within {timeout} s")
            if self.kept:
                return self.kept.popleft()
        self.finish()
        return None

    def frames(self):
        while (frame := self.next_frame()) is not None:
            yield frame

    def wait_for(self, kind, timeout=10.0, start=0, **fields):
        """The first log event from position `start` on of this kind with these fields, such as
        wait_for("state", state="running") or wait_for("state", score=3); None when the log
        ends without one."""
        def found():
            hit = next((e for e in self.log[start:] if e.matches(kind, fields)), None)
            return hit or self.log_ended
        with self.new_line:
            result = self.new_line.wait_for(found, timeout)
        if not result:
            raise TimeoutError(f"no {kind} line with {fields} within {timeout} s")
        if result is True:
            self.finish()
            return None
        return result

    def time_ms(self):
        """Session time: milliseconds since the first frame arrived."""
        if self.first_frame_at is None:
            return 0
        return min(int((time.monotonic() - self.first_frame_at) * 1000), LAST_CONTACT_MS)

    def down(self, x, y):
        self.send((1, x, y))

    def up(self, x, y):
        self.send((0, x, y))

    def tap(self, x=320, y=86):
        self.send((1, x, y), (0, x, y))

    def hold(self, x, y, seconds):
        """Holds a finger at (x, y) for `seconds`; frames are still read meanwhile. The exit
        corner (x <= 43, y <= 39) held for 1.2 s ends the session."""
        self.down(x, y)
        time.sleep(seconds)
        self.up(x, y)

    def send(self, *contacts):
        for _, x, y in contacts:
            if not (0 <= x < WIDTH and 0 <= y < HEIGHT):
                raise ValueError(f"contact ({x}, {y}) is off the 640x172 canvas")
        stamp = self.time_ms()
        lines = b"".join(b"CONTACT %d %d %d %d\n" % (stamp, down, x, y) for down, x, y in contacts)
        try:
            self.process.stdin.write(lines)
        except BrokenPipeError:
            self.finish()  # the program has ended: a failure is raised, a normal end drops the contact

    def close(self):
        """Closes standard input, which ends the session at the next frame, and returns the
        Exit read from the exit line."""
        self.process.stdin.close()
        return self.finish()

    def signal_all(self, number):
        """Signals the program and whatever it started (a wrapper's children hold its pipes):
        it leads a process group of its own."""
        with contextlib.suppress(ProcessLookupError):
            os.killpg(self.process.pid, number)

    def finish(self, grace=4.0):
        """Waits for the program to end, stopping one that stays past `grace` seconds with
        SIGTERM and then SIGKILL, and returns its Exit or raises its ProgramFailure."""
        if self.ending is None:
            try:
                self.process.wait(grace)
            except subprocess.TimeoutExpired:
                self.signal_all(signal.SIGTERM)
                try:
                    self.process.wait(2)
                except subprocess.TimeoutExpired:
                    self.signal_all(signal.SIGKILL)
                    self.process.wait()
            for reader in self.readers:
                reader.join()
            for pipe in (self.process.stdin, self.process.stdout, self.process.stderr):
                pipe.close()
            try:
                self.ending = self.exit = outcome(self.log, self.process.returncode)
            except ProgramFailure as failure:
                self.ending = failure
        if isinstance(self.ending, ProgramFailure):
            raise self.ending
        return self.ending
