// The headless platform: its refusals, replay loading and the input pump's replay step.
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/allocation_count.h"
#include "tests/support/scratch_dir.h"

namespace skimbo {
namespace {

class HeadlessPlatform : public ::testing::Test {
protected:
    test_support::ScratchDir scratch;
    std::string dir = scratch.path;
    std::vector<Action> actions;
    ActionHandler on_action = [this](Action a) { actions.push_back(a); };

    void SetUp() override {
        actions.reserve(64);
    }

    Options replaying(const std::string& script) {
        std::string path = dir + "/script.replay";
        std::ofstream(path, std::ios::binary) << script;
        Options options;
        options.headless = true;
        options.virtual_clock = true;
        options.replay_path = path;
        return options;
    }

    std::vector<Action> frame(Platform& platform, unsigned now_ms) {
        actions.clear();
        platform.input(now_ms, on_action);
        return actions;
    }
};

using Actions = std::vector<Action>;

std::string failure_of(const Options& options) {
    try {
        Platform platform(options);
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
    return "";
}

TEST_F(HeadlessPlatform, RefusesHostStreamOutsideHeadlessRealTimeWithoutReplay) {
    Options device;
    device.host_stream = true;
    Options virtual_clock = device;
    virtual_clock.headless = true;
    virtual_clock.virtual_clock = true;
    Options replay = device;
    replay.headless = true;
    replay.replay_path = "any.replay";
    for (const Options& options : {device, virtual_clock, replay})
        EXPECT_EQ(failure_of(options), "host-stream requires headless real-time without replay");
}

TEST_F(HeadlessPlatform, LoadsTheReplayOrFailsWithItsMessage) {
    Platform platform(replaying("0 1 320 86\n60 0 320 86\n"));
    EXPECT_EQ(platform.replay.events.size(), 2u);
    EXPECT_EQ(platform.replay_cursor, 0u);
    EXPECT_FALSE(platform.host->enabled);

    Options missing = replaying("");
    missing.replay_path = dir + "/none.replay";
    EXPECT_EQ(failure_of(missing), "replay unreadable");
    EXPECT_EQ(failure_of(replaying("0 1 320 86\n-1")), "malformed replay");
    EXPECT_EQ(failure_of(replaying("0 1 320 172")), "invalid replay");
}

TEST_F(HeadlessPlatform, EventsArriveInTheFirstFrameThatReachesThemInFileOrder) {
    // Frames of the virtual clock: 0, 16, 33, 50 ms.
    Platform platform(replaying("0 1 320 86\n"
                                "8 0 320 86\n"
                                "17 1 620 10\n17 0 620 10\n33 1 320 86\n"
                                "34 0 0 0\n"));
    EXPECT_EQ(frame(platform, 0), Actions{Action::Tap});
    EXPECT_EQ(platform.replay_cursor, 1u);
    EXPECT_EQ(frame(platform, 16), Actions{});
    EXPECT_EQ(platform.replay_cursor, 2u);
    // An event at 17 ms waits for the frame of 33 ms; a down and an up due together are both
    // delivered, and the next down is a new contact.
    EXPECT_EQ(frame(platform, 33), (Actions{Action::PauseToggle, Action::Tap}));
    EXPECT_EQ(platform.replay_cursor, 5u);
    EXPECT_TRUE(platform.gestures.held);
    EXPECT_EQ(frame(platform, 50), Actions{});
    EXPECT_FALSE(platform.gestures.held);
    EXPECT_EQ(frame(platform, 120000), Actions{});
    EXPECT_EQ(platform.replay_cursor, 6u);
}

TEST_F(HeadlessPlatform, ReplayedHoldIsTimedFromTheEventsOwnTime) {
    Platform platform(replaying("17 1 10 10\n"));
    EXPECT_EQ(frame(platform, 16), Actions{});
    EXPECT_EQ(platform.gestures.exit_progress, 0u);
    EXPECT_EQ(frame(platform, 33), Actions{});
    EXPECT_EQ(platform.gestures.exit_progress, 13u);  // 16 ms of 1200
    EXPECT_EQ(frame(platform, 1216), Actions{});
    EXPECT_EQ(platform.gestures.exit_progress, 999u);
    EXPECT_EQ(frame(platform, 1233), Actions{Action::ExitGesture});
    EXPECT_EQ(frame(platform, 1250), Actions{});
}

TEST_F(HeadlessPlatform, InputAllocatesNothingPerFrame) {
    // Alternating downs and releases every 7 ms: each down is a tap.
    std::string script;
    int downs_due = 0;
    for (int t = 0; t < 20000; t += 7) {
        script += std::to_string(t) + " " + std::to_string(t % 2) + " 320 86\n";
        downs_due += t % 2 == 1 && t <= 1199 * 1000 / 60;
    }
    Platform platform(replaying(script));
    std::uint64_t before = testing::allocation_count();
    int taps = 0;
    const ActionHandler count_taps = [&taps](Action a) { taps += a == Action::Tap; };
    for (unsigned frame_index = 0; frame_index < 1200; ++frame_index)
        platform.input(frame_index * 1000 / 60, count_taps);
    EXPECT_EQ(testing::allocation_count(), before);
    EXPECT_EQ(taps, downs_due);
}

}  // namespace
}  // namespace skimbo
