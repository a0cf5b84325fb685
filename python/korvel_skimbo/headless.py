"""The other headless modes: a replay played on the virtual clock, and PPM captures."""
import os
import re
import subprocess
import tempfile
from dataclasses import dataclass

from korvel_skimbo.log import Exit, ProgramFailure, outcome, parse_line
from korvel_skimbo.session import pixel_at

PPM_HEADER = re.compile(rb"P6\s+(\d+)\s+(\d+)\s+255\s")


@dataclass(frozen=True)
class Run:
    exit: Exit
    log: list  # the LogEvents of the whole session


@dataclass(frozen=True)
class Picture:
    width: int
    height: int
    pixels: memoryview  # rows of RGB triplets, top row first

    def pixel(self, x, y):
        return pixel_at(self.pixels, x, y, self.width)


def write_samples(samples, path):
    with open(path, "w") as replay:
        replay.writelines("%d %d %d %d\n" % tuple(sample) for sample in samples)


def run_replay(program, replay, *options, timeout=60.0):
    """Plays a replay with --headless --virtual-clock and the options given. `replay` is a
    replay file's path or a sequence of (t_ms, down, x, y) samples. Returns the Run; a
    failure ("malformed replay", say) is raised as ProgramFailure."""
    with tempfile.TemporaryDirectory() as scratch:
        if not isinstance(replay, (str, os.PathLike)):
            write_samples(replay, os.path.join(scratch, "samples.replay"))
            replay = os.path.join(scratch, "samples.replay")
        command = [os.fspath(program), "--headless", "--virtual-clock", "--replay", os.fspath(replay), *options]
        try:
            done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, timeout=timeout)
        except OSError as error:
            raise ProgramFailure(f"cannot start {program}: {error.strerror}", None) from None
    log = [parse_line(line) for line in done.stderr.decode(errors="replace").splitlines()]
    return Run(outcome(log, done.returncode), log)


def read_ppm(path):
    """A binary PPM with one byte a sample, as the program's captures are."""
    with open(path, "rb") as capture:
        data = capture.read()
    header = PPM_HEADER.match(data)
    if not header:
        raise ValueError(f"{path}: not a P6 picture with samples of one byte")
    width, height = int(header[1]), int(header[2])
    pixels = memoryview(data)[header.end():]
    if len(pixels) != width * height * 3:
        raise ValueError(f"{path}: {len(pixels)} bytes of pixels for {width}x{height}")
    return Picture(width, height, pixels)
