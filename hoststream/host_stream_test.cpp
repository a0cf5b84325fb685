// The host stream on real pipes: descriptor 0 or 1 of this process is swapped for a pipe the
// test plays the host on, for as long as one poll or one record takes.
#include "hoststream/host_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace skimbo {
namespace {

// Descriptor `target` replaced by one end of a fresh pipe until the end of the scope.
struct SwappedDescriptor {
    int target, saved, other_end;

    SwappedDescriptor(int fd, int pipe_size) : target(fd), saved(dup(fd)) {
        int ends[2];
        if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        if (pipe_size > 0) fcntl(ends[0], F_SETPIPE_SZ, pipe_size);
        dup2(ends[fd == 0 ? 0 : 1], fd);
        close(ends[fd == 0 ? 0 : 1]);
        other_end = ends[fd == 0 ? 1 : 0];
    }
    ~SwappedDescriptor() {
        dup2(saved, target);
        close(saved);
        if (other_end >= 0) close(other_end);
    }
};

// What one poll delivered ("down x y @ms" per sample) and how it ended: "open", "ended" or
// the failure's message.
std::string poll(HostStream& host, std::uint32_t now_ms) {
    std::string got;
    try {
        const bool open = host.poll_input(now_ms, [&](bool down, int x, int y, unsigned t_ms) {
            got += std::to_string(down) + " " + std::to_string(x) + " " + std::to_string(y) + " @" + std::to_string(t_ms) + ", ";
        });
        return got + (open ? "open" : "ended");
    } catch (const std::runtime_error& failure) {
        return got + failure.what();
    }
}

struct HostInput {
    SwappedDescriptor input{0, 0};
    std::unique_ptr<HostStream> host = std::make_unique<HostStream>(true);

    std::string send_and_poll(const std::string& bytes, std::uint32_t now_ms) {
        if (!bytes.empty() && write(input.other_end, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pipe full");
        return poll(*host, now_ms);
    }
};

// A valid line padded with blanks to exactly n characters before its line feed.
std::string padded_line(std::size_t n) {
    std::string line = "CONTACT 0 1 320 86";
    line.resize(n, ' ');
    return line + "\n";
}

TEST(HostStreamInput, EachLineIsCheckedAgainstTheContactRules) {
    const std::string invalid = "host-stream invalid contact", bounds = "host-stream contact bounds";
    struct Case {
        std::string input;
        std::uint32_t now_ms;
        std::string polled;
    };
    const Case cases[] = {
        // Samples carry the program's clock, never the line's time; times may repeat.
        {"CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n", 5000, "1 320 86 @5000, 0 320 86 @5000, open"},
        {"CONTACT 500 1 0 0\nCONTACT 499 1 0 0\n", 1000, "1 0 0 @1000, " + invalid},
        {"CONTACT 900000 1 639 171\n", 899000, "1 639 171 @899000, open"},
        {"CONTACT 900000 1 0 0\n", 898999, invalid},  // more than 1 s ahead of our clock
        {"CONTACT 900001 1 0 0\n", 3000000, invalid},
        {"CONTACT 1000 1 0 0\n", 0, "1 0 0 @0, open"},
        {"CONTACT -1 1 0 0\n", 0, invalid},
        {"CONTACT 0 2 0 0\n", 0, invalid},
        {"CONTACT 0 -1 0 0\n", 0, invalid},
        {"CONTACT 0 1 640 0\n", 0, invalid},
        {"CONTACT 0 1 -1 0\n", 0, invalid},
        {"CONTACT 0 1 0 172\n", 0, invalid},
        {"CONTACT 0 1 0 -1\n", 0, invalid},
        // Blanks lead, trail and repeat; signs and leading zeros are numbers too.
        {"   CONTACT  +5 1   0320 086   \n", 0, "1 320 86 @0, open"},
        {"CONTACT 000000000000000000000000000000000005 1 0 0\n", 0, "1 0 0 @0, open"},
        {"CONTACT 5 1 320 86 7\n", 0, invalid},
        {"contact 5 1 320 86\n", 0, invalid},
        {"CONTACTS 5 1 320 86\n", 0, invalid},
        {"CONTACT 5 1 320\n", 0, invalid},
        {"\n", 0, invalid},
        {"CONTACT 5 1 3.5 86\n", 0, invalid},
        // As with formatted extraction, a number ends where its digits end.
        {"CONTACT 5 1 320+86\n", 0, "1 320 86 @0, open"},
        {"CONTACT 5 1 320-86\n", 0, invalid},
        {"CONTACT 5 1 320 86+\n", 0, invalid},
        {"CONTACT 9223372036854775808 1 0 0\n", 0, invalid},
        {"CONTACT 0 -9223372036854775808 0 0\n", 0, invalid},
        // Bytes outside the printable range, and a 96th character, fail before any line feed.
        {"CONTACT 0 1 320 86\r\n", 0, bounds},
        {"CONTACT\t0 1 320 86\n", 0, bounds},
        {std::string("CONTACT 0 1 320 86\0\n", 20), 0, bounds},
        {"CONTACT 0 1 320 86\x7f\n", 0, bounds},
        {"CONTACT 0 1 320 86\xc3\xa9\n", 0, bounds},
        {padded_line(95), 0, "1 320 86 @0, open"},
        {padded_line(96), 0, bounds},
    };
    for (const Case& c : cases) EXPECT_EQ(HostInput().send_and_poll(c.input, c.now_ms), c.polled) << '"' << c.input << '"';
}

TEST(HostStreamInput, LinesSplitAcrossFramesAreSampledInTheFrameThatEndsThem) {
    HostInput h;
    EXPECT_EQ(h.send_and_poll("", 0), "open");
    EXPECT_EQ(h.send_and_poll("CONT", 100), "open");
    EXPECT_EQ(h.send_and_poll("ACT 5 1 320 8", 116), "open");
    EXPECT_EQ(h.send_and_poll("6\nCONTACT 6 0 320 86\nCONTACT 7", 133), "1 320 86 @133, 0 320 86 @133, open");
    // The time check of a line uses the frame that completes it.
    EXPECT_EQ(h.send_and_poll(" 1 0 0\nCONTACT 1200 1 0 0\n", 150), "1 0 0 @150, host-stream invalid contact");
}

// A flooding host cannot stall a frame: 64 lines and 4096 bytes at most per poll.
TEST(HostStreamInput, AFloodIsTakenInBoundedBites) {
    std::string flood, long_lines;
    for (int i = 0; i < 100; ++i) flood += "CONTACT " + std::to_string(i) + " " + std::to_string(i % 2) + " 320 86\n";
    for (int i = 0; i < 50; ++i) long_lines += padded_line(95);
    const auto samples = [](const std::string& polled) { return std::count(polled.begin(), polled.end(), '@'); };
    {
        HostInput h;
        EXPECT_EQ(samples(h.send_and_poll(flood, 1000)), 64);
        EXPECT_EQ(samples(h.send_and_poll("", 1016)), 36);
    }
    // 96-byte lines: 42 whole lines and 64 bytes of the 43rd fit into 4096 bytes.
    HostInput h;
    EXPECT_EQ(samples(h.send_and_poll(long_lines, 0)), 42);
    EXPECT_EQ(samples(h.send_and_poll("", 16)), 8);
}

// Whatever finger the host had down is lifted once; a half line is dropped.
TEST(HostStreamInput, EndOfInputReleasesOnceAndStaysEnded) {
    for (const char* pending : {"", "CONTACT 0 1 3"}) {
        HostInput h;
        EXPECT_EQ(h.send_and_poll(std::string("CONTACT 0 1 320 86\n") + pending, 10), "1 320 86 @10, open");
        close(std::exchange(h.input.other_end, -1));
        EXPECT_EQ(poll(*h.host, 26), "0 0 0 @26, ended");
        EXPECT_EQ(poll(*h.host, 43), "ended");
    }
}

TEST(HostStreamInput, AReadErrorIsFatal) {
    HostInput h;
    const int directory = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    dup2(directory, 0);
    close(directory);
    EXPECT_EQ(poll(*h.host, 0), "host-stream input pipe");
}

// The canvas goes out as RGB bytes, top row first, without the word's top byte.
TEST(HostStreamOutput, ARecordCarriesTheCanvasAsRgbRows) {
    auto canvas = std::make_unique<Canvas>();
    for (std::size_t i = 0; i < canvas->size(); ++i) (*canvas)[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    std::string record(host_record_bytes + 1, '\0');
    ssize_t got = 0;
    {
        std::fflush(stdout);
        SwappedDescriptor output(1, 1 << 20);
        std::make_unique<HostStream>(true)->write_frame(*canvas);
        got = read(output.other_end, record.data(), record.size());
    }
    ASSERT_EQ(got, static_cast<ssize_t>(host_record_bytes));
    for (std::size_t i = 0; i < canvas->size(); ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(static_cast<std::uint8_t>(record[4 + 3 * i + c]), (*canvas)[i] >> (16 - 8 * c) & 0xFF) << i;
}

}  // namespace
}  // namespace skimbo
