#include "game/game.h"
#include <gtest/gtest.h>
TEST(Game, Seed1) { skimbo::Game g; g.init(1); EXPECT_DOUBLE_EQ(g.pipes[0].gap_y, 65.82277626357973); }
