// The game's rules where a played session does not reach; played sessions are checked frame for
// frame by the golden replayed session (tests/e2e/session_e2e_test).
#include "game/game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace skimbo {
namespace {

// A running game with the pipes far away, so that only the ceiling and the ground matter.
Game running_at(double bird_y) {
    Game game;
    game.init(1);
    for (int i = 0; i < 4; ++i) game.pipes[i].x = 10000 + 180 * i;
    game.bird_y = bird_y, game.phase = GamePhase::running;
    return game;
}

// The bird (x 137..163, y +-10) against the ground at 158, the ceiling at 0 and a pipe 36 wide
// with a 68 px opening: touching counts.
TEST(Game, CollisionEdgesCount) {
    struct Case {
        double bird_y, pipe_x, gap_y;
        bool hit;
    };
    for (Case c : {Case{79, 163, 79, false}, Case{79, 163, 50, true}, Case{79, 101, 50, true}, Case{79, 163.001, 50, false},
                   Case{79, 100.999, 50, false}, Case{79, 140, 103, true}, Case{79, 140, 55, true}, Case{79, 140, 102.99, false},
                   Case{148, 10000, 79, true}, Case{147.99, 10000, 79, false}, Case{10, 10000, 79, true}, Case{10.01, 10000, 79, false}}) {
        Game game = running_at(c.bird_y);
        game.pipes[0].x = c.pipe_x, game.pipes[0].gap_y = c.gap_y;
        EXPECT_EQ(game.collides(), c.hit) << c.bird_y << " " << c.pipe_x << " " << c.gap_y;
    }
}

// Time is simulated in whole 1/120 s steps, at most 30 per call, the rest carried over; time
// that is not positive and finite, or handed to a paused game, is not.
TEST(Game, AdvanceRunsWholeStepsAndCarriesTheRest) {
    for (auto [dt, steps] : {std::pair{1.0, 30}, {0.25, 30}, {1.0 / 120.0, 1}, {0.1, 12}, {0.004, 0}, {0.0, 0}, {-1.0, 0},
                             {std::numeric_limits<double>::infinity(), 0}, {std::nan(""), 0}}) {
        Game stepped, advanced;
        stepped.init(3), advanced.init(3);
        for (int i = 0; i < steps; ++i) stepped.step();
        advanced.advance(dt);
        EXPECT_EQ(advanced.clock, stepped.clock) << dt;
        EXPECT_EQ(advanced.bird_y, stepped.bird_y) << dt;
    }
    Game game;
    game.init(3);
    game.advance(0.004), game.toggle_pause(), game.advance(0.5), game.toggle_pause(), game.advance(0.004);
    EXPECT_EQ(game.clock, 0.0);
    game.advance(0.0004);
    EXPECT_EQ(game.clock, 1.0 / 120.0);
}

// A tap starts a run or lifts the bird, does nothing while it falls dead or the game is paused,
// and restarts after the game is over, keeping the best score; a pause resumes what it stopped.
// From the ceiling the bird is knocked down at 67.2 px/s and the game ends when it lands.
TEST(Game, TapsAndPausesFollowThePhase) {
    Game game = running_at(10);
    game.score = 3;
    game.step();
    EXPECT_EQ(std::tuple(game.phase, game.bird_y, game.bird_vy), std::tuple(GamePhase::dying, 10.0, 67.2));
    game.toggle_pause(), game.boost(), game.toggle_pause(), game.boost();
    EXPECT_EQ(std::tuple(game.phase, game.bird_vy), std::tuple(GamePhase::dying, 67.2));
    int steps = 0;
    while (game.phase == GamePhase::dying) game.step(), ++steps;
    EXPECT_EQ(std::tuple(steps, game.bird_y), std::tuple(104, 148.0));
    game.boost();
    EXPECT_EQ(std::tuple(game.phase, game.score, game.best, game.bird_y), std::tuple(GamePhase::ready, 0, 3, 79.0));
    game.boost();
    EXPECT_EQ(std::tuple(game.phase, game.bird_vy, game.bird_tilt), std::tuple(GamePhase::running, -128.0, 20.0));
}

}  // namespace
}  // namespace skimbo
