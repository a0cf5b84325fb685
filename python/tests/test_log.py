"""The log parser on lines the program writes, and how a session's end is read."""
import pytest

from korvel_skimbo import Exit, ProgramFailure, parse_line
from korvel_skimbo.log import outcome

LINES = [
    ("[korvel-skimbo 926301] HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=2602536563",
     "hello", {"upstream": "Aerowinger", "native": "640x172", "rotation": 270, "seed": 2602536563}),
    ("[korvel-skimbo 926302] first frame presented (640x172 logical, rot 270)", "first-frame", {}),
    ("[korvel-skimbo 926302] state=game-over score=12 best=14 y=148.00",
     "state", {"state": "game-over", "score": 12, "best": 14, "y": 148.0}),
    ("[korvel-skimbo 926302] HB frames=1 elapsed_ms=0 state=ready score=0",
     "heartbeat", {"frames": 1, "elapsed_ms": 0, "state": "ready", "score": 0}),
    ("[korvel-skimbo 926802] input tap phase=running score=0", "tap", {"phase": "running", "score": 0}),
    ("[korvel-skimbo 4211] failure: unknown option: --seed=5", "failure", {"message": "unknown option: --seed=5"}),
    ("[korvel-skimbo 927722] bench render_frames=85 elapsed_ms=1420 cpu_s=0.014 maxrss_native=13924",
     "bench", {"render_frames": 85, "elapsed_ms": 1420, "cpu_s": 0.014, "maxrss_native": 13924}),
    ("[korvel-skimbo 927722] exit code=0 reason=exit-gesture frames=85\n",
     "exit", {"code": 0, "reason": "exit-gesture", "frames": 85}),
    ("[korvel-skimbo 17] sandbox: nice=OK wd=FAIL(1)", "line", {"nice": "OK", "wd": "FAIL(1)"}),
    ("==4211==ERROR: AddressSanitizer: heap-buffer-overflow", "line", {}),
]


@pytest.mark.parametrize("line, kind, fields", LINES)
def test_a_log_line_becomes_an_event(line, kind, fields):
    event = parse_line(line)
    assert (event.kind, event.fields) == (kind, fields)
    assert event.ms == (None if kind == "line" and "==" in line else int(line.split()[1].rstrip("]")))


def log(*lines):
    return [parse_line(f"[korvel-skimbo 1] {line}") for line in lines]


@pytest.mark.parametrize("events, status, ending", [
    (log("exit code=12 reason=max-session frames=60"), 12, Exit(12, "max-session", 60)),
    (log("failure: capture-open", "exit code=21 reason=startup-or-runtime-error frames=1"), 21,
     ProgramFailure("capture-open", 21)),
    (log("state=ready score=0 best=0 y=79.00"), -9, ProgramFailure("ended by SIGKILL", -9)),
    (log("exit code=0 reason=exit-gesture frames=3"), 1, ProgramFailure("ended with status 1 without an exit line", 1)),
])
def test_the_end_of_a_session(events, status, ending):
    if isinstance(ending, Exit):
        assert outcome(events, status) == ending
    else:
        with pytest.raises(ProgramFailure) as failed:
            outcome(events, status)
        assert (failed.value.message, failed.value.status) == (ending.message, ending.status)
