"""Replays on the virtual clock and their captures, through the library."""
import pytest
from conftest import ROOT

from korvel_skimbo import ProgramFailure, read_ppm, run_replay

TAP_THEN_EXIT_HOLD = [(0, 1, 320, 86), (50, 0, 320, 86), (1000, 1, 10, 10)]


def test_a_replay_plays_on_the_virtual_clock(program, tmp_path):
    run = run_replay(program, TAP_THEN_EXIT_HOLD, "--seed", "7", "--capture-dir", str(tmp_path))
    # the hold from 1000 ms completes in frame 132 (2200 ms), which ends before it is drawn
    assert (run.exit.status, run.exit.reason, run.exit.frames) == (0, "exit-gesture", 132)
    kinds = [event.kind for event in run.log]
    assert kinds[:5] == ["hello", "tap", "first-frame", "state", "heartbeat"] and kinds[-2:] == ["bench", "exit"]
    assert [e.fields for e in run.log if e.kind == "tap"] == [{"phase": "running", "score": 0}]
    picture = read_ppm(tmp_path / "0-frame.ppm")
    assert (picture.width, picture.height, len(picture.pixels)) == (640, 172, 640 * 172 * 3)


def test_a_replay_file_by_its_path(program):
    assert run_replay(program, ROOT / "examples" / "tap-pause-exit.replay").exit.frames == 522


def test_a_refused_replay_is_a_failure(program):
    with pytest.raises(ProgramFailure) as failed:
        run_replay(program, [(0, 1, 640, 86)])
    assert (failed.value.message, failed.value.status) == ("invalid replay", 21)


def test_a_file_that_is_no_capture(tmp_path):
    (tmp_path / "cut.ppm").write_bytes(b"P6\n640 172\n255\n" + bytes(100))
    with pytest.raises(ValueError, match="100 bytes of pixels"):
        read_ppm(tmp_path / "cut.ppm")
