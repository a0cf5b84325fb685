// The game's physics checked against numbers worked out by hand from its rules.
#include "game/game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace skimbo {
namespace {

// A running game with the pipes far away, so nothing but the ceiling and ground matters.
Game open_sky_running(double bird_y) {
    Game game;
    game.init(1);
    for (int i = 0; i < 4; ++i) game.pipes[i].x = 10000 + 180 * i;
    game.bird_y = bird_y;
    game.phase = GamePhase::running;
    return game;
}

// Counts steps until the phase changes away from `from`; -1 if it never does within limit.
int steps_until_phase_leaves(Game& game, GamePhase from, int limit = 1000) {
    for (int step = 1; step <= limit; ++step) {
        game.step();
        if (game.phase != from) return step;
    }
    return -1;
}

TEST(Game, InitWithSeedOneLaysOutPipesAndDrawsFourGaps) {
    Game game;
    game.init(1);
    EXPECT_EQ(game.phase, GamePhase::ready);
    EXPECT_EQ(game.bird_y, 79.0);
    const double xs[] = {420, 600, 780, 960};
    const double gaps[] = {65.82277626357973, 72.4635336860083, 79.21210161503404, 89.24416318396106};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(game.pipes[i].x, xs[i]);
        EXPECT_EQ(game.pipes[i].gap_y, gaps[i]) << i;
        EXPECT_FALSE(game.pipes[i].scored);
    }
    EXPECT_EQ(game.rng_state, 3027450565u);
}

TEST(Game, ReadyStepBobsTheBirdAndScrollsTheSceneryButNotThePipes) {
    Game game;
    game.init(1);
    game.step();
    EXPECT_EQ(game.bird_y, 79.09998148251026);
    EXPECT_EQ(game.scroll, 85.0 / 120.0);
    EXPECT_EQ(game.pipes[0].x, 420.0);
    EXPECT_EQ(game.phase, GamePhase::ready);
}

TEST(Game, BoostLiftsFor37StepsThenFallsAndCapsVelocityOnThe88thStep) {
    Game game = open_sky_running(30);
    game.boost();
    EXPECT_EQ(game.bird_vy, -128.0);
    EXPECT_EQ(game.bird_tilt, 20.0);
    double lowest_y = game.bird_y;
    int apex_step = 0;
    for (int step = 1; step <= 88; ++step) {
        game.step();
        ASSERT_EQ(game.phase, GamePhase::running) << step;
        if (game.bird_y < lowest_y) {
            lowest_y = game.bird_y;
            apex_step = step;
        }
        if (step == 87) {
            EXPECT_LT(game.bird_vy, 170.0);
        }
    }
    EXPECT_EQ(apex_step, 37);
    EXPECT_NEAR(30 - lowest_y, 19.45, 0.005);
    EXPECT_EQ(game.bird_vy, 170.0);
    double before = game.bird_y;
    game.step();
    EXPECT_EQ(game.bird_vy, 170.0);
    EXPECT_EQ(game.bird_y, before + 170.0 / 120.0);
}

TEST(Game, TiltDecaysAndStopsAtTheFloor) {
    Game game = open_sky_running(30);
    game.boost();
    game.step();
    EXPECT_EQ(game.bird_tilt, 19.25);
    for (int i = 0; i < 200 && game.phase == GamePhase::running; ++i) game.step();
    EXPECT_EQ(game.bird_tilt, -90.0);
}

TEST(Game, PipeZeroIsScoredOnStep407AndRecycledOnStep644) {
    Game game;
    game.init(1);
    game.boost();
    for (Pipe& pipe : game.pipes) pipe.gap_y = 79;
    int scored_step = 0, recycled_step = 0;
    for (int step = 1; step <= 700 && !recycled_step; ++step) {
        game.bird_y = 79;  // keep the bird alive in the middle of every opening
        game.bird_vy = 0;
        double rightmost = std::max({game.pipes[1].x, game.pipes[2].x, game.pipes[3].x});
        game.step();
        ASSERT_EQ(game.phase, GamePhase::running) << step;
        if (!scored_step && game.pipes[0].scored) scored_step = step;
        if (game.pipes[0].x > 600) {
            recycled_step = step;
            EXPECT_EQ(game.pipes[0].x, rightmost - 85.0 / 120.0 + 180);
            EXPECT_FALSE(game.pipes[0].scored);
        }
    }
    EXPECT_EQ(scored_step, 407);
    EXPECT_EQ(recycled_step, 644);
    EXPECT_EQ(game.score, 1);
    EXPECT_EQ(game.best, 1);
}

TEST(Game, GroundDeathGivesGameOverOnThe78thStepAfterTheKill) {
    Game game = open_sky_running(140);
    int kill_step = steps_until_phase_leaves(game, GamePhase::running);
    ASSERT_GT(kill_step, 0);
    EXPECT_EQ(game.phase, GamePhase::dying);
    EXPECT_EQ(game.bird_y, 148.0);
    EXPECT_EQ(game.bird_vy, 0.0);
    EXPECT_EQ(steps_until_phase_leaves(game, GamePhase::dying), 78);
    EXPECT_EQ(game.phase, GamePhase::game_over);
    EXPECT_EQ(game.phase_time, 0.0);
}

TEST(Game, CeilingDeathFallsAndGivesGameOverOnItsLandingStep104) {
    Game game = open_sky_running(10);
    EXPECT_TRUE(game.collides());
    game.step();
    EXPECT_EQ(game.phase, GamePhase::dying);
    EXPECT_EQ(game.bird_y, 10.0);
    EXPECT_EQ(game.bird_vy, 67.2);
    EXPECT_EQ(steps_until_phase_leaves(game, GamePhase::dying), 104);
    EXPECT_EQ(game.bird_y, 148.0);
}

TEST(Game, CollisionBoundariesAreInclusive) {
    struct Case {
        double bird_y, pipe_x, gap_y;
        bool hit;
    };
    const Case cases[] = {
        {79, 163, 79, false},      // pipe's left edge on the bird's right edge, bird inside the opening
        {79, 163, 50, true},       // same column, bird below the opening's bottom edge
        {79, 101, 50, true},       // pipe's right edge on the bird's left edge
        {79, 163.001, 50, false},  // a hair to the right: no overlap
        {79, 100.999, 50, false},  // a hair to the left: no overlap
        {79, 140, 103, true},      // bird's top exactly on the opening's top edge
        {79, 140, 55, true},       // bird's bottom exactly on the opening's bottom edge
        {79, 140, 102.99, false},  // just inside the opening
        {148, 10000, 79, true},    // bottom on the ground
        {147.99, 10000, 79, false},
        {10.01, 10000, 79, false},
    };
    for (const Case& c : cases) {
        Game game = open_sky_running(c.bird_y);
        game.pipes[0].x = c.pipe_x;
        game.pipes[0].gap_y = c.gap_y;
        EXPECT_EQ(game.collides(), c.hit) << c.bird_y << " " << c.pipe_x << " " << c.gap_y;
    }
}

TEST(Game, CollisionBeforeTheMoveKillsWithoutMovingAnything) {
    Game game = open_sky_running(79);
    game.pipes[0].x = 140;
    game.pipes[0].gap_y = 20;
    game.scroll = 5;
    game.step();
    EXPECT_EQ(game.phase, GamePhase::dying);
    EXPECT_EQ(game.bird_y, 79.0);
    EXPECT_EQ(game.bird_vy, 67.2);
    EXPECT_EQ(game.pipes[0].x, 140.0);
    EXPECT_EQ(game.scroll, 5.0);
}

TEST(Game, PipeCrossingTheLineInTheStepOfACollisionIsNotScored) {
    Game game = open_sky_running(79);
    // Pipe 0's centre crosses x = 150 in this step; pipe 1 overlaps the bird and closes on it.
    game.pipes[0].x = 132.5;
    game.pipes[0].gap_y = 79;
    game.pipes[1].x = 163.5;
    game.pipes[1].gap_y = 20;
    game.step();
    EXPECT_EQ(game.phase, GamePhase::dying);
    EXPECT_FALSE(game.pipes[0].scored);
    EXPECT_EQ(game.score, 0);
}

TEST(Game, BoostAndPauseFollowThePhaseTable) {
    Game game = open_sky_running(140);
    steps_until_phase_leaves(game, GamePhase::running);
    Game dying = game;
    game.boost();
    EXPECT_EQ(game.bird_vy, dying.bird_vy);
    EXPECT_EQ(game.phase, GamePhase::dying);

    game.toggle_pause();
    EXPECT_EQ(game.phase, GamePhase::paused);
    game.advance(0.1);
    game.toggle_pause();
    EXPECT_EQ(game.phase, GamePhase::dying);
    EXPECT_EQ(game.phase_time, dying.phase_time);

    steps_until_phase_leaves(game, GamePhase::dying);
    game.toggle_pause();
    game.toggle_pause();
    EXPECT_EQ(game.phase, GamePhase::game_over);
}

TEST(Game, TapInGameOverResetsKeepingBestAndDrawingTheNextGaps) {
    Game game;
    game.init(1);
    game.phase = GamePhase::game_over;
    game.score = 3;
    Game expected_generator = game;
    double next_gaps[4];
    for (double& gap : next_gaps) gap = expected_generator.next_gap();
    game.boost();
    EXPECT_EQ(game.phase, GamePhase::ready);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(game.best, 3);
    EXPECT_EQ(game.bird_vy, 0.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(game.pipes[i].gap_y, next_gaps[i]);
}

TEST(Game, AdvanceIgnoresNonPositiveNonFiniteTimeAndPausedGames) {
    Game game;
    game.init(7);
    game.advance(0.004);
    const double rejected[] = {0.0, -1.0, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), std::nan("")};
    for (double dt : rejected) {
        game.advance(dt);
        EXPECT_EQ(game.accumulator, 0.004) << dt;
        EXPECT_EQ(game.clock, 0.0) << dt;
    }
    game.toggle_pause();
    game.advance(0.5);
    EXPECT_EQ(game.accumulator, 0.004);
    EXPECT_EQ(game.clock, 0.0);
}

TEST(Game, AdvanceRunsWholeStepsAndCarriesTheRemainder) {
    struct Case {
        double dt;
        int steps;
    };
    for (Case c : {Case{1.0, 30}, Case{0.25, 30}, Case{1.0 / 120.0, 1}, Case{0.1, 12}}) {
        Game stepped, advanced;
        stepped.init(3);
        advanced.init(3);
        for (int i = 0; i < c.steps; ++i) stepped.step();
        advanced.advance(c.dt);
        EXPECT_EQ(advanced.clock, stepped.clock) << c.dt;
        EXPECT_EQ(advanced.bird_y, stepped.bird_y) << c.dt;
    }
    Game game;
    game.init(3);
    game.advance(0.004);
    game.advance(0.004);
    EXPECT_EQ(game.clock, 0.0);
    EXPECT_DOUBLE_EQ(game.accumulator, 0.008);
    game.advance(0.004);
    EXPECT_EQ(game.clock, 1.0 / 120.0);
}

TEST(Game, PhaseNamesAreTheLogWords) {
    EXPECT_STREQ(phase_name(GamePhase::ready), "ready");
    EXPECT_STREQ(phase_name(GamePhase::running), "running");
    EXPECT_STREQ(phase_name(GamePhase::dying), "dying");
    EXPECT_STREQ(phase_name(GamePhase::game_over), "game-over");
    EXPECT_STREQ(phase_name(GamePhase::paused), "paused");
    EXPECT_STREQ(phase_name(5u), "invalid");
}

}  // namespace
}  // namespace skimbo
