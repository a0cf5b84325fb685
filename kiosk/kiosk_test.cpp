// The supervisor's own rules, without processes: its command line, how it cuts the program's
// log into lines, and how long it waits after failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kiosk/command_line.h"
#include "kiosk/program_log.h"
#include "kiosk/supervisor.h"

namespace skimbo::kiosk {
namespace {

using Lines = std::vector<std::string>;

TEST(KioskCommandLine, TakesItsOwnOptionsAndPassesTheRestOn) {
    struct Case {
        Lines args;
        std::string program, base, error;
        Lines passed;
    };
    const std::string program = "/usr/bin/korvel-skimbo", base = "/run/korvel-skimbo";
    const Case cases[] = {
        {{}, program, base, "", {}},
        {{"--program", "/opt/k", "--base", "/run/k/s", "--", "--seed", "7", "--"}, "/opt/k", "/run/k/s", "", {"--seed", "7", "--"}},
        {{"--seed", "7"}, program, base, "unknown option: --seed", {}},
        {{"--base"}, program, base, "missing value of --base", {}},
        {{"--program", "korvel-skimbo"}, "korvel-skimbo", base, "--program needs an absolute path: korvel-skimbo", {}},
        // The program trusts a working directory only below a path of plain names.
        {{"--base", "/run/k/"}, program, "/run/k/", "--base needs an absolute path of plain names: /run/k/", {}},
        {{"--base", "/run//k"}, program, "/run//k", "--base needs an absolute path of plain names: /run//k", {}},
        {{"--base", "/run/../k"}, program, "/run/../k", "--base needs an absolute path of plain names: /run/../k", {}},
        {{"--base", "/"}, program, "/", "--base needs an absolute path of plain names: /", {}},
        {{"--base", "/k"}, program, "/k", "", {}},
    };
    for (const Case& c : cases) {
        const CommandLine line = parse_command_line(c.args);
        EXPECT_EQ(line.error, c.error) << testing::PrintToString(c.args);
        EXPECT_EQ(std::tie(line.options.program, line.options.base, line.options.program_options), std::tie(c.program, c.base, c.passed))
            << testing::PrintToString(c.args);
    }
    EXPECT_TRUE(parse_command_line({"--help"}).options.help);
}

// Pieces, each with whether it continues a line, however the bytes arrive.
Lines split(const std::vector<std::string>& chunks, bool finish = true) {
    LineSplitter splitter;
    Lines pieces;
    const auto piece = [&](std::string_view text, bool continues) { pieces.push_back((continues ? "+" : "") + std::string(text)); };
    for (const std::string& chunk : chunks) splitter.feed(chunk, piece);
    if (finish) splitter.finish(piece);
    return pieces;
}

TEST(KioskLog, CutsLinesAndLongLinesIntoPiecesWithoutLosingAByte) {
    const std::string max(LineSplitter::max_line_bytes, 'm'), over = max + "tail";
    EXPECT_EQ(split({"one\ntw", "o\n\nthr", "ee"}), (Lines{"one", "two", "", "three"}));
    EXPECT_EQ(split({"held back"}, false), Lines{});
    EXPECT_EQ(split({over + "\nnext\n"}), (Lines{max, "+tail", "next"}));
    EXPECT_EQ(split({max + "\n" + max + "\n"}), (Lines{max, max}));
    EXPECT_EQ(split({max + max + "x"}), (Lines{max, "+" + max, "+x"}));
    std::vector<std::string> bytes;
    for (char c : over + "\nnext\nlast") bytes.emplace_back(1, c);
    EXPECT_EQ(split(bytes), (Lines{max, "+tail", "next", "last"}));
}

TEST(KioskWait, DoublesFromOneSecondUpToAMinute) {
    std::vector<long> waits;
    for (std::chrono::seconds wait{0}; waits.size() < 9;) waits.push_back((wait = next_wait(wait)).count());
    EXPECT_EQ(waits, (std::vector<long>{1, 2, 4, 8, 16, 32, 60, 60, 60}));
}

}  // namespace
}  // namespace skimbo::kiosk
