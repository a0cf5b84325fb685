// The host's input on a pipe swapped onto descriptor 0 of this process for as long as a HostInput
// lives. Records and the whole protocol are tested end to end (tests/e2e/host_stream_e2e_test).
#include "hoststream/host_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

namespace skimbo {
namespace {

struct HostInput {
    int saved = dup(0), host = -1;  // the test's standard input, and the host's end of the pipe
    std::unique_ptr<HostStream> stream = std::make_unique<HostStream>(true);

    HostInput() {
        int ends[2];
        if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        dup2(ends[0], 0), close(ends[0]), host = ends[1];
    }
    ~HostInput() { dup2(saved, 0), close(saved), close(host); }

    // What one poll delivered ("down x y @ms, " per sample) and how it ended: "open" or the failure.
    std::string poll(const std::string& bytes, std::uint32_t now_ms) {
        if (write(host, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) throw std::runtime_error("pipe full");
        std::string got;
        try {
            const bool open = stream->poll_input(now_ms, [&](bool down, int x, int y, unsigned t) {
                got += std::to_string(down) + " " + std::to_string(x) + " " + std::to_string(y) + " @" + std::to_string(t) + ", ";
            });
            return got + (open ? "open" : "ended");
        } catch (const std::runtime_error& failure) {
            return got + failure.what();
        }
    }
};

// A valid line padded with blanks to n characters before its line feed.
std::string padded_line(std::size_t n) { return "CONTACT 0 1 320 86" + std::string(n - 18, ' ') + "\n"; }

TEST(HostStreamInput, EachLineIsCheckedAgainstTheContactRules) {
    const std::string invalid = "host-stream invalid contact", bounds = "host-stream contact bounds";
    const struct {
        std::string input;
        std::uint32_t now_ms;
        std::string polled;
    } cases[] = {
        // Samples carry the program's clock, never the line's; times may repeat, not go back,
        // and lead ours by 1 s at most, 900 s at most.
        {"CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n", 5000, "1 320 86 @5000, 0 320 86 @5000, open"},
        {"CONTACT 500 1 0 0\nCONTACT 499 1 0 0\n", 1000, "1 0 0 @1000, " + invalid},
        {"CONTACT 900000 1 639 171\n", 899000, "1 639 171 @899000, open"},
        {"CONTACT 900000 1 0 0\n", 898999, invalid},
        {"CONTACT 900001 1 0 0\n", 3000000, invalid},
        {"CONTACT -1 1 0 0\n", 0, invalid},  {"CONTACT 0 2 0 0\n", 0, invalid},   {"CONTACT 0 1 640 0\n", 0, invalid},
        {"CONTACT 0 1 -1 0\n", 0, invalid},  {"CONTACT 0 1 0 172\n", 0, invalid}, {"CONTACT 0 1 0 -1\n", 0, invalid},
        // Blanks lead, trail and repeat; signs and leading zeros are numbers too, but only
        // blanks separate them.
        {"   CONTACT  +5 1   0320 086   \n", 0, "1 320 86 @0, open"},
        {"CONTACT -0 1 -0 -0\n", 0, "1 0 0 @0, open"},
        {"CONTACT 000000000000000000000000000000000005 1 0 0\n", 0, "1 0 0 @0, open"},
        {"CONTACT 5 1 320+86\n", 0, invalid},
        {"CONTACT 5 1 320-86\n", 0, invalid},
        {"CONTACT 5 1 320 86 7\n", 0, invalid}, {"contact 5 1 320 86\n", 0, invalid}, {"CONTACT 5 1 320\n", 0, invalid},
        {"CONTACT 9223372036854775808 1 0 0\n", 0, invalid},
        {"CONTACT 0 -9223372036854775808 0 0\n", 0, invalid},
        // Bytes outside the printable range (which ends at '~') and a 96th character fail before any
        // line feed.
        {"CONTACT 0 1 320 86\r\n", 0, bounds},
        {std::string("CONTACT 0 1 320 86\0\n", 20), 0, bounds},
        {"CONTACT 0 1 320 86\x7f\n", 0, bounds}, {"CONTACT 0 1 320 86~\n", 0, invalid},
        {"CONTACT 0 1 320 86\xc3\xa9\n", 0, bounds},
        {padded_line(95), 0, "1 320 86 @0, open"},
        {padded_line(96), 0, bounds},
    };
    for (const auto& c : cases) EXPECT_EQ(HostInput().poll(c.input, c.now_ms), c.polled) << '"' << c.input << '"';
}

// A line is sampled by the frame that completes it, with that frame's time check; a flooding
// host cannot stall a frame: 64 lines and 4096 bytes at most per poll; a read error is fatal.
TEST(HostStreamInput, LinesArriveAcrossFramesInBoundedBites) {
    HostInput split;
    EXPECT_EQ(split.poll("CONT", 100), "open");
    EXPECT_EQ(split.poll("ACT 5 1 320 8", 116), "open");
    EXPECT_EQ(split.poll("6\nCONTACT 6 0 320 86\nCONTACT 7", 133), "1 320 86 @133, 0 320 86 @133, open");
    EXPECT_EQ(split.poll(" 1 0 0\nCONTACT 1200 1 0 0\n", 150), "1 0 0 @150, host-stream invalid contact");
    std::string flood, long_lines;
    for (int i = 0; i < 100; ++i) flood += "CONTACT " + std::to_string(i) + " " + std::to_string(i % 2) + " 320 86\n";
    for (int i = 0; i < 50; ++i) long_lines += padded_line(95);
    const auto samples = [](const std::string& polled) { return std::count(polled.begin(), polled.end(), '@'); };
    for (auto [lines, first, second] : {std::tuple{flood, 64, 36}, {long_lines, 42, 8}}) {  // 42 lines of 96 bytes, and 64 bytes
        HostInput h;
        EXPECT_EQ(samples(h.poll(lines, 1000)), first);
        EXPECT_EQ(samples(h.poll("", 1016)), second);
    }
    HostInput failing;
    dup2(failing.host, 0);  // the pipe's writing end, which cannot be read
    EXPECT_EQ(failing.poll("", 0), "host-stream input pipe");
}

}  // namespace
}  // namespace skimbo
