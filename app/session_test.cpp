// A session started without --seed prints its derived seed so that it can be played again:
// the command line must take every such seed back. (What a session does is tested end to end,
// in tests/e2e.)
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/session.h"
#include "platform/options.h"

namespace skimbo {
namespace {

std::uint32_t seed_given_back(std::uint32_t seed) {
    const std::string text = std::to_string(seed);
    const char* argv[] = {"korvel-skimbo", "--headless", "--seed", text.c_str()};
    return parse_options(4, argv).seed;
}

TEST(SessionSeed, EveryDerivedSeedIsOneTheCommandLineTakesBack) {
    // Mixes of 0, of the largest 32-bit number and of the first one past --seed's range.
    const std::uint32_t edges[][2] = {{1, 0x9E3779B1u}, {1, 0x61C8864Eu}, {1, 0x1E3779B1u}};
    for (auto [pid, now_ms] : edges) EXPECT_EQ(seed_given_back(derive_seed(pid, now_ms)), derive_seed(pid, now_ms)) << now_ms;
    std::mt19937 random(7);
    for (int i = 0; i < 10000; ++i) {
        const std::uint32_t pid = random() % 4194304, now_ms = random();
        ASSERT_EQ(seed_given_back(derive_seed(pid, now_ms)), derive_seed(pid, now_ms)) << pid << " " << now_ms;
    }
}

}  // namespace
}  // namespace skimbo
