"""Host-stream sessions of the real program, driven through the library."""
import os
import signal
import time

import pytest

from korvel_skimbo import ProgramFailure, Session, read_ppm


def test_every_frame_reaches_the_host_as_the_capture_shows_it(program, tmp_path):
    with Session(program, "--seed", "11", "--capture-dir", str(tmp_path), keep=10000) as game:
        first = game.next_frame()
        game.tap()
        assert game.wait_for("tap").fields == {"phase": "running", "score": 0}
        assert game.wait_for("state", state="running") is not None
    frames = [first, *game.frames()]
    assert game.exit.status == 0 and game.exit.reason == "exit-gesture"
    assert [frame.index for frame in frames] == list(range(game.exit.frames)) and game.records == game.exit.frames
    first_capture = min(tmp_path.glob("*-ready.ppm"), key=lambda path: int(path.name.split("-")[0]))
    assert first.pixels == read_ppm(first_capture).pixels


def test_a_host_that_stops_reading_is_still_served(program):
    with Session(program) as game:
        time.sleep(2.5)  # the program gives up on a record after 1 s without room in the pipe
        late = game.next_frame()
        assert late.index > 100
        game.hold(10, 10, 1.6)  # the exit corner: the session ends while the finger is down
        assert game.wait_for("exit", timeout=5).fields["reason"] == "exit-gesture"
    assert (game.exit.status, game.exit.reason) == (0, "exit-gesture")


def kill(game):
    os.kill(game.process.pid, signal.SIGKILL)


@pytest.mark.parametrize("options, meanwhile, message, status", [
    (["--bogus"], None, "unknown option: --bogus", 21),
    (["--capture-dir", "/nonexistent"], None, "capture-open", 21),
    ([], kill, "ended by SIGKILL", -signal.SIGKILL),
])
def test_a_failure_is_raised_with_its_message(program, options, meanwhile, message, status):
    with pytest.raises(ProgramFailure) as failed:
        with Session(program, *options) as game:
            meanwhile and meanwhile(game)
            for _ in game.frames():
                game.tap()
    assert (failed.value.message, failed.value.status) == (message, status)


@pytest.mark.parametrize("script, message, status", [
    (None, "cannot start", None),
    ("#!/bin/sh\nsleep 30\n", "no frame within 1 s", -signal.SIGKILL),  # its child holds the pipes
])
def test_a_program_that_never_draws(tmp_path, script, message, status):
    program = tmp_path / "korvel-skimbo"
    if script:
        program.write_text(script)
        program.chmod(0o755)
    with pytest.raises(ProgramFailure) as failed:
        Session(program, start_timeout=1)
    assert failed.value.message.startswith(message) and failed.value.status == status
