"""The bot that sees only the frames, on three seeds at once, on the real clock."""
from concurrent.futures import ThreadPoolExecutor

import pixel_bot

SEEDS, POINTS = (1, 2, 3), 10


def test_the_pixel_bot_scores_ten_on_each_of_three_seeds(program):
    with ThreadPoolExecutor(len(SEEDS)) as games:
        scores = list(games.map(lambda seed: pixel_bot.play(program, seed, POINTS), SEEDS))
    assert min(scores) >= POINTS, scores
