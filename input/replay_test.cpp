#include "input/replay.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace skimbo {

void PrintTo(const ReplayEvent& e, std::ostream* out) {
    *out << "{" << e.t_ms << " " << e.down << " " << e.x << " " << e.y << "}";
}

namespace {

// The message load/parse failed with, or "" when it succeeded.
template <typename Load>
std::string failure_of(Load load) {
    try {
        load();
    } catch (const std::runtime_error& failure) {
        return failure.what();
    }
    return "";
}

using Events = std::vector<ReplayEvent>;

TEST(ReplayParse, AcceptedTexts) {
    struct Case {
        const char* text;
        Events events;
    };
    const Case cases[] = {
        {"", {}},
        {" \t\n\r\v\f\n", {}},
        {"0 1 320 86\n60 0 320 86\n2000 1 10 10\n", {{0, true, 320, 86}, {60, false, 320, 86}, {2000, true, 10, 10}}},
        // The last record needs no line break; line breaks carry no meaning.
        {"0 1 320 86", {{0, true, 320, 86}}},
        {"0 1\n320\n\n86 60\t0 320 86", {{0, true, 320, 86}, {60, false, 320, 86}}},
        {"\r\n7 0 0 0\r\n", {{7, false, 0, 0}}},
        // A record cut short because the file ends is dropped.
        {"5000 1 3", {}},
        {"0 1 320 86\n5000 1 3\n", {{0, true, 320, 86}}},
        {"0 1 320 86 9", {{0, true, 320, 86}}},
        // Equal times, the canvas edges, signs and leading zeros, the largest time.
        {"100 1 0 0 100 0 639 171", {{100, true, 0, 0}, {100, false, 639, 171}}},
        {"+5 +1 0320 086", {{5, true, 320, 86}}},
        {"4294967295 0 639 171", {{4294967295u, false, 639, 171}}},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_replay(c.text), c.events) << '"' << c.text << '"';
}

TEST(ReplayParse, RefusedTexts) {
    struct Case {
        const char* text;
        const char* failure;
    };
    const Case cases[] = {
        {"0 2 320 86", "invalid replay"},
        {"0 -1 320 86", "invalid replay"},
        {"0 1 640 86", "invalid replay"},
        {"0 1 -1 86", "invalid replay"},
        {"0 1 320 172", "invalid replay"},
        {"0 1 320 -1", "invalid replay"},
        {"+5 1 0320 -0086", "invalid replay"},
        {"100 1 0 0\n99 0 0 0", "invalid replay"},
        // Not numbers at all, or not numbers of their field's type.
        {"abc", "malformed replay"},
        {"0 1 320 86x", "malformed replay"},
        {"0 1 32.0 86", "malformed replay"},
        {"0x10 1 0 0", "malformed replay"},
        {"1e3 1 0 0", "malformed replay"},
        {"- 1 0 0", "malformed replay"},
        {"+-5 1 0 0", "malformed replay"},
        {"4294967296 1 0 0", "malformed replay"},
        {"0 1 2147483648 0", "malformed replay"},
        {"0 1 0 -2147483649", "malformed replay"},
        {"0 99999999999999999999 0 0", "malformed replay"},
        // A negative time is not a time, whatever unsigned extraction would make of it.
        {"-1 1 0 0", "malformed replay"},
        // Present but unreadable tokens at the very end of a file without a line break.
        {"0 1 320 86\nx", "malformed replay"},
        {"0 1 320 86\n-1", "malformed replay"},
        {"0 1 320 86\n5000 1 3 4294967296", "malformed replay"},
        {"0 1 320 86\n5000 1 99999999999", "malformed replay"},
        // The first error wins: a record is checked before the next token is read.
        {"0 2 0 0 x", "invalid replay"},
        {"0 1 0 0 5 1 x", "malformed replay"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failure_of([&] { parse_replay(c.text); }), c.failure) << '"' << c.text << '"';

    const std::string with_nul("0 1 320 8\0 6", 12);
    EXPECT_EQ(failure_of([&] { parse_replay(with_nul); }), "malformed replay");
}

class ReplayLoad : public ::testing::Test {
protected:
    test_support::ScratchDir scratch;
    std::string dir = scratch.path;


    std::string file_with(const std::string& text) {
        std::string path = dir + "/script.replay";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

TEST_F(ReplayLoad, ReadsTheWholeFile) {
    ReplayScript script;
    script.load(file_with("0 1 320 86\n60 0 320 86\n2000 1 10 10"));
    EXPECT_EQ(script.events, (Events{{0, true, 320, 86}, {60, false, 320, 86}, {2000, true, 10, 10}}));

    std::string many;
    for (int i = 0; i < 100000; ++i) many += std::to_string(i) + " " + std::to_string(i % 2) + " 5 6\n";
    script.load(file_with(many));
    ASSERT_EQ(script.events.size(), 100000u);
    EXPECT_EQ(script.events.back(), (ReplayEvent{99999, true, 5, 6}));

    script.load(file_with(""));
    EXPECT_TRUE(script.events.empty());
}

TEST_F(ReplayLoad, FailuresCarryTheirMessages) {
    ReplayScript script;
    EXPECT_EQ(failure_of([&] { script.load(dir + "/missing.replay"); }), "replay unreadable");
    // A directory opens like a file but cannot be read as one.
    EXPECT_EQ(failure_of([&] { script.load(dir); }), "replay unreadable");
    EXPECT_EQ(failure_of([&] { script.load(file_with("0 1 320 86\n-1")); }), "malformed replay");
    EXPECT_EQ(failure_of([&] { script.load(file_with("0 1 320 86\n1 1 0 4294967296")); }), "malformed replay");
    EXPECT_EQ(failure_of([&] { script.load(file_with("100 1 0 0 99 1 0 0\n")); }), "invalid replay");
}

}  // namespace
}  // namespace skimbo
