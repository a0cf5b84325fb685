"""The program's log as events, and how a session ended.

Every line on the program's standard error reads "[korvel-skimbo <monotonic ms>] <message>".
The session's own messages become events of a few kinds whose fields are the message's
key=value pairs, numbers as int or float ("failure" has one field, "message"); every other
line (the device and sandbox lines) is kept as an event of kind "line" with its text.
"""
import re
import signal
from dataclasses import dataclass, field

PREFIX = re.compile(r"\[korvel-skimbo (\d+)\] (.*)")

# The first words of each message the session itself prints, and the event kind they make.
KINDS = (
    ("HELLO ", "hello"),
    ("first frame presented", "first-frame"),
    ("state=", "state"),
    ("HB ", "heartbeat"),
    ("input tap ", "tap"),
    ("failure: ", "failure"),
    ("bench ", "bench"),
    ("exit ", "exit"),
)


class ProgramFailure(Exception):
    """The program failed: "failure: <message>" and status 21, another end without an exit
    line (a signal), or a program that could not be started (status None)."""

    def __init__(self, message, status):
        super().__init__(f"{message} (status {status})")
        self.message = message
        self.status = status


@dataclass(frozen=True)
class LogEvent:
    ms: int | None  # the program's monotonic clock when it wrote the line; None: no prefix
    kind: str       # hello, first-frame, state, heartbeat, tap, failure, bench, exit or line
    text: str       # the message after the prefix
    fields: dict = field(default_factory=dict)

    def matches(self, kind, wanted):
        return self.kind == kind and all(self.fields.get(k) == v for k, v in wanted.items())


@dataclass(frozen=True)
class Exit:
    status: int   # 0 exit-gesture, 11 sigterm or parent-lost, 12 max-session
    reason: str
    frames: int


def number_or_text(value):
    for kind in (int, float):
        try:
            return kind(value)
        except ValueError:
            pass
    return value


def parse_line(line):
    """One line of standard error as a LogEvent; a line without the prefix (a sanitizer's
    report, say) is kept whole as kind "line" with ms None."""
    line = line.rstrip("\n")
    prefixed = PREFIX.fullmatch(line)
    if not prefixed:
        return LogEvent(None, "line", line)
    ms, text = int(prefixed[1]), prefixed[2]
    kind = next((name for start, name in KINDS if text.startswith(start)), "line")
    if kind == "failure":
        fields = {"message": text[len("failure: "):]}
    else:
        fields = {k: number_or_text(v) for k, v in (w.split("=", 1) for w in text.split() if "=" in w)}
    return LogEvent(ms, kind, text, fields)


def outcome(events, returncode):
    """The session's Exit, read from its exit line, or the ProgramFailure that ended it."""
    failure = next((e.fields["message"] for e in events if e.kind == "failure"), None)
    exit_line = next((e for e in reversed(events) if e.kind == "exit"), None)
    if failure is not None or returncode == 21:
        raise ProgramFailure(failure or "status 21 without a failure line", returncode)
    if exit_line is None or exit_line.fields.get("code") != returncode:
        raise ProgramFailure(ending_without_exit_line(returncode), returncode)
    return Exit(returncode, exit_line.fields["reason"], exit_line.fields["frames"])


def ending_without_exit_line(returncode):
    if returncode < 0:
        return f"ended by {signal.Signals(-returncode).name}"
    return f"ended with status {returncode} without an exit line"
