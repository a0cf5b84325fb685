#!/usr/bin/env python3
"""A bot that plays korvel-skimbo from the frame records alone.

It reads no log, knows no seed and runs none of the game's code: in every frame it finds the
yellow bird in its column and the green pipes, takes the gap of the next pipe the bird has
not yet passed, and taps when the bird, carried on by its speed for the frames a tap takes
to arrive, would sink more than 9 px below the middle of that gap. A judge outside the bot reads the log
to end the game when the first run is over (or has scored --pipes points) and prints the
score.

usage: PYTHONPATH=python examples/pixel_bot.py [--program build/korvel-skimbo] [--seed S] [--pipes N]
(no PYTHONPATH where the library is installed)
"""
import argparse
import collections
import sys

from korvel_skimbo import Session

ROW = 640 * 3
GROUND = 158               # the first row of the ground
BIRD_LEFT = 137            # the bird's column is x 137..163
BIRD_COLUMNS = range(140, 161, 4)
PIPE_ROW = 150             # below the lowest gap, above the ground: pipe wherever a pipe stands
PIPE_OUTLINE = 2           # dark columns on either side of the body that PIPE_ROW finds
TARGET_BELOW_MIDDLE = 9    # a tap lifts the bird about 20 px: it swings around the gap's middle
LEAD_FRAMES = 2.5          # frames between the picture and the frame that reads the tap
SPEED_FRAMES = 4           # sightings the bird's speed is measured over
TAP_EVERY_FRAMES = 3       # a tap sets the climb; taps in quick succession change nothing


def is_bird(r, g, b):
    """The yellows of the bird's body, found nowhere else above the ground."""
    return r >= 200 and b <= 120 and r - b > 100


def is_pipe(r, g, b):
    """The pipes' greens and their dark outline; sky, clouds, hills, digits and the yellow
    bird are not."""
    return g > r and (g - b >= 70 or (g < 110 and g - b >= 40))


def column(frame, x):
    """Column x's red, green and blue values from the top row to the ground's edge."""
    end = ROW * GROUND
    return zip(*(frame.pixels[3 * x + c:end:ROW] for c in range(3)))


def find_bird(frame):
    """The bird's vertical centre, or None when it is not in its column."""
    rows = [y for x in BIRD_COLUMNS for y, rgb in enumerate(column(frame, x)) if is_bird(*rgb)]
    return (min(rows) + max(rows)) / 2 + 1 if rows else None


def find_pipes(frame):
    """The pipes as (left, right) column pairs of their bodies along PIPE_ROW, left to right."""
    row = frame.pixels[ROW * PIPE_ROW:ROW * (PIPE_ROW + 1)]
    inside = [is_pipe(*rgb) for rgb in zip(row[0::3], row[1::3], row[2::3])] + [False]
    pipes, left = [], None
    for x, pipe in enumerate(inside):
        if pipe and left is None:
            left = x
        elif not pipe and left is not None:
            pipes.append((left, x - 1))
            left = None
    return pipes


def find_gap(frame, x):
    """The longest run of rows that are no pipe in column x, as (top, bottom)."""
    best, top = (0, -1), None
    for y, rgb in enumerate(list(column(frame, x)) + [(0, 255, 0)]):
        if not is_pipe(*rgb) and top is None:
            top = y
        elif is_pipe(*rgb) and top is not None:
            best, top = max(best, (top, y - 1), key=lambda run: run[1] - run[0]), None
    return best


def next_gap_middle(frame):
    """The middle of the gap in the first pipe whose right edge the bird has not yet passed."""
    for left, right in find_pipes(frame):
        if right + PIPE_OUTLINE >= BIRD_LEFT:
            top, bottom = find_gap(frame, (left + right) // 2)
            return (top + bottom) / 2
    return None


class Pilot:
    def __init__(self):
        # (frame index, bird centre) of the last sightings: the bird's outline turns with its
        # climb, so its centre wobbles by a pixel or two from frame to frame
        self.seen = collections.deque(maxlen=SPEED_FRAMES)
        self.tapped_at = -TAP_EVERY_FRAMES

    def speed(self):
        """The bird's speed over the last sightings, in pixels a frame, downward positive."""
        (first, top), (last, bottom) = self.seen[0], self.seen[-1]
        return (bottom - top) / (last - first) if last > first else 0.0

    def wants_tap(self, frame):
        bird, middle = find_bird(frame), next_gap_middle(frame)
        if bird is None or middle is None:
            return False
        self.seen.append((frame.index, bird))
        speed = self.speed()
        if bird + speed * LEAD_FRAMES < middle + TARGET_BELOW_MIDDLE or frame.index - self.tapped_at < TAP_EVERY_FRAMES:
            return False
        self.tapped_at = frame.index
        return True


def fly(session, done):
    """Plays until done() says so or the session ends: one tap starts the run, then the
    pilot taps whenever a frame asks for it."""
    pilot = Pilot()
    session.tap()
    for frame in session.frames():
        if done():
            return
        if pilot.wants_tap(frame):
            session.tap()


def first_run(session, pipes):
    """The judge: from the log, whether the first run is over or has `pipes` points, and its score."""
    states = [e.fields for e in list(session.log) if e.kind == "state"]
    dead = next((i for i, s in enumerate(states) if s["state"] in ("dying", "game-over")), len(states))
    score = max((s["score"] for s in states[:dead + 1]), default=0)
    return dead < len(states) or score >= pipes, score


def play(program, seed, pipes):
    """One game of the bot on the real clock; returns the first run's score."""
    with Session(program, "--seed", str(seed)) as session:
        fly(session, lambda: first_run(session, pipes)[0])
    return first_run(session, pipes)[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", default="build/korvel-skimbo")
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--pipes", type=int, default=55, help="end the game at this score")
    args = parser.parse_args()
    print(f"seed {args.seed}: {play(args.program, args.seed, args.pipes)} points")


if __name__ == "__main__":
    sys.exit(main())
