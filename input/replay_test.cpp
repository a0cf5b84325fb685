// Replay files: which texts are scripts, the events they hold, and the message of every refusal.
#include "input/replay.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/scratch_dir.h"

namespace skimbo {
namespace {

// The events as "t down x y" joined by "; ", or the failure's message.
template <typename Load>
std::string outcome(Load load) {
    try {
        std::string text;
        for (const ReplayEvent& e : load())
            text += (text.empty() ? "" : "; ") + std::to_string(e.t_ms) + " " + std::to_string(e.down) + " " + std::to_string(e.x) + " " +
                    std::to_string(e.y);
        return text;
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
}

TEST(Replay, TextsAndWhatTheyHold) {
    const std::string malformed = "malformed replay", invalid = "invalid replay";
    const std::pair<std::string, std::string> cases[] = {
        // Any white space separates numbers, line breaks included; the last record needs none,
        // and a record cut short by the end of the file is dropped.
        {" \t\n\r\v\f", ""},
        {"0 1\n320\n\n86 60\t0 320 86\r\n2000 1 10 10 5000 1 3\n", "0 1 320 86; 60 0 320 86; 2000 1 10 10"},
        // Equal times, the canvas's edges, signs and leading zeros, the largest time.
        {"100 1 0 0 100 0 639 171", "100 1 0 0; 100 0 639 171"},
        {"+5 +1 0320 086 4294967295 0 0 0", "5 1 320 86; 4294967295 0 0 0"},
        // Numbers outside the game's ranges, or back in time.
        {"0 2 320 86", invalid}, {"0 -1 320 86", invalid}, {"0 1 640 86", invalid}, {"0 1 -1 86", invalid},
        {"0 1 320 172", invalid}, {"0 1 320 -1", invalid}, {"100 1 0 0\n99 0 0 0", invalid},
        // Not whole decimal numbers, or beyond their field's type.
        {"0 1 320 86x", malformed}, {"0 1 32.0 86", malformed}, {"- 1 0 0", malformed}, {"+-5 1 0 0", malformed},
        {"-1 1 0 0", malformed}, {"4294967296 1 0 0", malformed}, {"0 1 2147483648 0", malformed},
        {"0 1 0 -2147483649", malformed}, {"0 99999999999999999999 0 0", malformed}, {std::string("0 1 320 8\0 6", 12), malformed},
        // The first error wins: a record is checked before the next token is read.
        {"0 2 0 0 x", invalid}, {"0 1 0 0 5 1 x", malformed},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(outcome([&] { return parse_replay(text); }), expected) << '"' << text << '"';
}

TEST(Replay, LoadsTheWholeFileOrFailsAsUnreadable) {
    test_support::ScratchDir scratch;
    std::string many;
    for (int i = 0; i < 20000; ++i) many += std::to_string(i) + " " + std::to_string(i % 2) + " 5 6\n";
    std::ofstream(scratch.path + "/script") << many;
    ReplayScript script;
    const auto load = [&](const std::string& file) {
        return outcome([&] { script.load(file); return script.events; });
    };
    EXPECT_EQ(load(scratch.path + "/script").substr(0, 26), "0 0 5 6; 1 1 5 6; 2 0 5 6;");
    EXPECT_EQ(script.events.size(), 20000u);
    EXPECT_EQ(load(scratch.path + "/missing"), "replay unreadable");
    EXPECT_EQ(load(scratch.path), "replay unreadable");  // a directory opens, but cannot be read
}

}  // namespace
}  // namespace skimbo
