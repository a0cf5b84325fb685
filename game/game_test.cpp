// The game's physics against numbers worked out by hand from its rules. Whole sessions of it
// are checked by the golden replayed session (tests/e2e/session_e2e_test).
#include "game/game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace skimbo {
namespace {

// A running game with the pipes far away, so that only the ceiling and the ground matter.
Game running_at(double bird_y) {
    Game game;
    game.init(1);
    for (int i = 0; i < 4; ++i) game.pipes[i].x = 10000 + 180 * i;
    game.bird_y = bird_y;
    game.phase = GamePhase::running;
    return game;
}

// Steps until the phase is no longer `from`; -1 if that takes more than 1000.
int steps_while(Game& game, GamePhase from) {
    for (int step = 1; step <= 1000; ++step)
        if (game.step(), game.phase != from) return step;
    return -1;
}

TEST(Game, SeedOneLaysOutFourPipesWithTheFirstFourGaps) {
    Game game;
    game.init(1);
    const double gaps[] = {65.82277626357973, 72.4635336860083, 79.21210161503404, 89.24416318396106};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(game.pipes[i].x, 420 + 180 * i);
        EXPECT_EQ(game.pipes[i].gap_y, gaps[i]) << i;
    }
    EXPECT_EQ(game.rng_state, 3027450565u);
}

// A boost lifts the bird for 37 steps, 19.45 px in all; it then falls, reaching the terminal
// 170 px/s on the 88th step. The nose turns up 20 degrees, then down 0.75 a step to -90.
TEST(Game, FlightAfterABoost) {
    Game game = running_at(30);
    game.boost();
    double highest = game.bird_y;
    int apex = 0;
    for (int step = 1; step <= 88; ++step) {
        game.step();
        if (game.bird_y < highest) highest = game.bird_y, apex = step;
        EXPECT_EQ(game.bird_tilt, 20 - 0.75 * step);
        EXPECT_EQ(game.bird_vy < 170.0, step < 88) << step;
    }
    EXPECT_EQ(apex, 37);
    EXPECT_NEAR(30 - highest, 19.45, 0.005);
    const double before = game.bird_y;
    game.step();
    EXPECT_EQ(game.bird_vy, 170.0);
    EXPECT_EQ(game.bird_y, before + 170.0 / 120.0);
    for (int step = 90; step <= 150; ++step) game.step();
    EXPECT_EQ(game.phase, GamePhase::running);
    EXPECT_EQ(game.bird_tilt, -90.0);
}

// Kept in the middle of every opening, the bird scores pipe 0 as its centre passes x = 150 on
// step 407; on step 644 the pipe has left the screen and comes back behind the rightmost one.
TEST(Game, PipeZeroIsScoredOnStep407AndRecycledOnStep644) {
    Game game;
    game.init(1);
    game.boost();
    for (Pipe& pipe : game.pipes) pipe.gap_y = 79;
    int scored = 0, recycled = 0;
    for (int step = 1; step <= 700 && !recycled; ++step) {
        game.bird_y = 79, game.bird_vy = 0;
        const double rightmost = std::max({game.pipes[1].x, game.pipes[2].x, game.pipes[3].x});
        game.step();
        ASSERT_EQ(game.phase, GamePhase::running) << step;
        if (!scored && game.pipes[0].scored) scored = step;
        if (game.pipes[0].x > 600) {
            recycled = step;
            EXPECT_EQ(game.pipes[0].x, rightmost - 85.0 / 120.0 + 180);
            EXPECT_FALSE(game.pipes[0].scored);
        }
    }
    EXPECT_EQ(scored, 407);
    EXPECT_EQ(recycled, 644);
    EXPECT_EQ(game.score, 1);
    EXPECT_EQ(game.best, 1);
}

// On the ground the bird rests at 148 and the game is over 0.65 s (78 steps) after the kill;
// from the ceiling it is knocked down at 67.2 px/s and the game ends with its landing. A pipe
// that closes in on the bird kills it before anything moves.
TEST(Game, DeathsEndInGameOverWithTheBirdOnTheGround) {
    struct Case {
        double from_y, pipe_x, kill_y, kill_vy;
        int steps_dying;  // 0: not checked
    };
    for (const Case& c : {Case{140, 10000, 148, 0, 78}, Case{10, 10000, 10, 67.2, 104}, Case{79.5, 140, 79.5, 67.2, 0}}) {
        Game game = running_at(c.from_y);
        game.pipes[0] = {c.pipe_x, 20, false};
        EXPECT_GT(steps_while(game, GamePhase::running), 0);
        EXPECT_EQ(game.bird_y, c.kill_y) << c.from_y;
        EXPECT_EQ(game.bird_vy, c.kill_vy) << c.from_y;
        const int dying = steps_while(game, GamePhase::dying);
        EXPECT_EQ(c.steps_dying ? dying : 0, c.steps_dying) << c.from_y;
        EXPECT_EQ(game.phase, GamePhase::game_over);
        EXPECT_EQ(game.bird_y, 148.0);
    }
}

TEST(Game, CollisionBoundariesAreInclusive) {
    struct Case {
        double bird_y, pipe_x, gap_y;
        bool hit;
    };
    const Case cases[] = {
        {79, 163, 79, false},     {79, 163, 50, true},      {79, 101, 50, true},   {79, 163.001, 50, false},
        {79, 100.999, 50, false}, {79, 140, 103, true},     {79, 140, 55, true},   {79, 140, 102.99, false},
        {148, 10000, 79, true},   {147.99, 10000, 79, false}, {10, 10000, 79, true}, {10.01, 10000, 79, false},
    };
    for (const Case& c : cases) {
        Game game = running_at(c.bird_y);
        game.pipes[0].x = c.pipe_x, game.pipes[0].gap_y = c.gap_y;
        EXPECT_EQ(game.collides(), c.hit) << c.bird_y << " " << c.pipe_x << " " << c.gap_y;
    }
}

// Time is simulated in whole 1/120 s steps, at most 30 per call; the rest carries over.
// Non-positive, non-finite time and a paused game advance nothing.
TEST(Game, AdvanceRunsWholeStepsAndCarriesTheRest) {
    struct Case {
        double dt;
        int steps;
    };
    for (Case c : {Case{1.0, 30}, Case{0.25, 30}, Case{1.0 / 120.0, 1}, Case{0.1, 12}, Case{0.004, 0}, Case{0, 0},
                   Case{-1, 0}, Case{std::numeric_limits<double>::infinity(), 0}, Case{std::nan(""), 0}}) {
        Game stepped, advanced;
        stepped.init(3), advanced.init(3);
        for (int i = 0; i < c.steps; ++i) stepped.step();
        advanced.advance(c.dt);
        EXPECT_EQ(advanced.clock, stepped.clock) << c.dt;
        EXPECT_EQ(advanced.bird_y, stepped.bird_y) << c.dt;
    }
    Game game;
    game.init(3);
    game.advance(0.004), game.advance(0.004);
    EXPECT_EQ(game.clock, 0.0);
    game.toggle_pause();
    game.advance(0.5);
    game.toggle_pause();
    game.advance(0.004);
    EXPECT_EQ(game.clock, 1.0 / 120.0);
}

// A boost starts a run or lifts the bird, restarts after game over keeping the best, and does
// nothing while dying or paused; a pause resumes the phase it interrupted.
TEST(Game, BoostAndPauseFollowThePhase) {
    Game game = running_at(140);
    game.score = 3;
    steps_while(game, GamePhase::running);
    const double falling = game.bird_vy;
    game.boost();
    EXPECT_EQ(game.bird_vy, falling);
    game.toggle_pause();
    game.boost();
    game.toggle_pause();
    EXPECT_EQ(game.phase, GamePhase::dying);
    steps_while(game, GamePhase::dying);
    game.boost();
    EXPECT_EQ(game.phase, GamePhase::ready);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(game.best, 3);
    game.boost();
    EXPECT_EQ(game.phase, GamePhase::running);
    EXPECT_EQ(game.bird_vy, -128.0);
}

}  // namespace
}  // namespace skimbo
