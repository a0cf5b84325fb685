// The host stream through real pipes: a child process runs the HostStream on descriptors
// 0 and 1 while the test plays the host.
#include "hoststream/host_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/address_space.h"
#include "hoststream/host_child.h"
#include "tests/test_env.h"

namespace skimbo::testing {

void PrintTo(const PollReport& report, std::ostream* out) {
    *out << "{";
    for (const std::string& sample : report.samples) *out << "[" << sample << "] ";
    *out << "-> " << report.outcome << "}";
}

namespace {

using namespace std::chrono_literals;
using Samples = std::vector<std::string>;

constexpr const char* invalid = "host-stream invalid contact";
constexpr const char* bounds = "host-stream contact bounds";

// A valid line padded with blanks to exactly n characters before its line feed.
std::string padded_line(std::size_t n) {
    std::string line = "CONTACT 0 1 320 86";
    line.resize(n, ' ');
    return line + "\n";
}

TEST(HostStreamInput, EachLineIsCheckedAgainstTheContactRules) {
    struct Case {
        std::string input;
        std::uint32_t now_ms;
        PollReport expected;
    };
    const Case cases[] = {
        {"CONTACT 0 1 320 86\n", 0, {{"1 320 86 @0"}, "true"}},
        // Samples carry the program's clock, never the line's time.
        {"CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n", 5000, {{"1 320 86 @5000", "0 320 86 @5000"}, "true"}},
        {"CONTACT 500 1 0 0\nCONTACT 500 0 0 0\n", 0, {{"1 0 0 @0", "0 0 0 @0"}, "true"}},
        {"CONTACT 500 1 0 0\nCONTACT 499 1 0 0\n", 1000, {{"1 0 0 @1000"}, invalid}},
        {"CONTACT 900000 1 639 171\n", 899000, {{"1 639 171 @899000"}, "true"}},
        {"CONTACT 900000 1 0 0\n", 898999, {{}, invalid}},
        {"CONTACT 900001 1 0 0\n", 3000000, {{}, invalid}},
        {"CONTACT 1000 1 0 0\n", 0, {{"1 0 0 @0"}, "true"}},
        {"CONTACT 1001 1 0 0\n", 0, {{}, invalid}},
        {"CONTACT -1 1 0 0\n", 0, {{}, invalid}},
        {"CONTACT 0 2 0 0\n", 0, {{}, invalid}},
        {"CONTACT 0 -1 0 0\n", 0, {{}, invalid}},
        {"CONTACT 0 1 640 0\n", 0, {{}, invalid}},
        {"CONTACT 0 1 -1 0\n", 0, {{}, invalid}},
        {"CONTACT 0 1 0 172\n", 0, {{}, invalid}},
        {"CONTACT 0 1 0 -1\n", 0, {{}, invalid}},
        // Blanks lead, trail and repeat; signs and leading zeros are numbers too.
        {"   CONTACT  +5 1   0320 086   \n", 0, {{"1 320 86 @0"}, "true"}},
        {"CONTACT 000000000000000000000000000000000005 1 0 0\n", 0, {{"1 0 0 @0"}, "true"}},
        {"CONTACT 5 1 320 86 7\n", 0, {{}, invalid}},
        {"contact 5 1 320 86\n", 0, {{}, invalid}},
        {"CONTACTS 5 1 320 86\n", 0, {{}, invalid}},
        {"CONTACT 5 1 320\n", 0, {{}, invalid}},
        {"CONTACT\n", 0, {{}, invalid}},
        {"\n", 0, {{}, invalid}},
        {"   \n", 0, {{}, invalid}},
        {"CONTACT 5 1 320 86x\n", 0, {{}, invalid}},
        {"CONTACT 5 1 3.5 86\n", 0, {{}, invalid}},
        // As with formatted extraction, a number ends where its digits end.
        {"CONTACT 5 1 320+86\n", 0, {{"1 320 86 @0"}, "true"}},
        {"CONTACT 5 1 320-86\n", 0, {{}, invalid}},
        {"CONTACT 5 1 320 86+\n", 0, {{}, invalid}},
        {"CONTACT 9223372036854775808 1 0 0\n", 0, {{}, invalid}},
        {"CONTACT 0 1 0 9223372036854775807\n", 0, {{}, invalid}},
        {"CONTACT 0 -9223372036854775808 0 0\n", 0, {{}, invalid}},
        // Bytes outside the printable range fail at once, before any line feed.
        {"CONTACT 0 1 320 86\r\n", 0, {{}, bounds}},
        {"CONTACT\t0 1 320 86\n", 0, {{}, bounds}},
        {std::string("CONTACT 0 1 320 86\0\n", 20), 0, {{}, bounds}},
        {"CONTACT 0 1 320 86\x7f\n", 0, {{}, bounds}},
        {"CONTACT 0 1 320 86\xc3\xa9\n", 0, {{}, bounds}},
        {padded_line(95), 0, {{"1 320 86 @0"}, "true"}},
        {padded_line(96), 0, {{}, bounds}},
        {padded_line(400), 0, {{}, bounds}},
    };
    for (const Case& c : cases) {
        HostChild child;
        child.send(c.input);
        EXPECT_EQ(child.poll(c.now_ms), c.expected) << '"' << c.input << '"';
    }
}

TEST(HostStreamInput, LinesSplitAcrossFramesAreSampledWhenTheyEnd) {
    HostChild child;
    EXPECT_EQ(child.poll(0), (PollReport{{}, "true"}));
    child.send("CONT");
    EXPECT_EQ(child.poll(100), (PollReport{{}, "true"}));
    child.send("ACT 5 1 320 8");
    EXPECT_EQ(child.poll(116), (PollReport{{}, "true"}));
    child.send("6\nCONTACT 6 0 320 86\nCONTACT 7");
    EXPECT_EQ(child.poll(133), (PollReport{{"1 320 86 @133", "0 320 86 @133"}, "true"}));
    // The time check of a line uses the frame that completes it.
    child.send(" 1 0 0\nCONTACT 1200 1 0 0\n");
    EXPECT_EQ(child.poll(150), (PollReport{{"1 0 0 @150"}, invalid}));
}

TEST(HostStreamInput, AFloodIsTakenSixtyFourLinesPerFrame) {
    HostChild child;
    std::string flood;
    for (int i = 0; i < 100; ++i) flood += "CONTACT " + std::to_string(i) + " " + std::to_string(i % 2) + " 320 86\n";
    child.send(flood);
    PollReport first = child.poll(1000);
    EXPECT_EQ(first.outcome, "true");
    ASSERT_EQ(first.samples.size(), 64u);
    EXPECT_EQ(first.samples[63], "1 320 86 @1000");
    PollReport second = child.poll(1016);
    EXPECT_EQ(second.outcome, "true");
    ASSERT_EQ(second.samples.size(), 36u);
    EXPECT_EQ(second.samples[0], "0 320 86 @1016");
    EXPECT_EQ(child.poll(1033), (PollReport{{}, "true"}));
}

TEST(HostStreamInput, AFrameReadsAtMost4096Bytes) {
    // Lines of 96 bytes: 42 whole lines and 64 bytes of the 43rd fit into one frame's reads.
    HostChild child;
    std::string lines;
    for (int i = 0; i < 50; ++i) lines += padded_line(95);
    child.send(lines);
    EXPECT_EQ(child.poll(0).samples.size(), 42u);
    EXPECT_EQ(child.poll(16).samples.size(), 8u);
}

TEST(HostStreamInput, EndOfInputReleasesOnceAndStaysEnded) {
    for (const char* pending : {"", "CONTACT 0 1 3"}) {
        HostChild child;
        child.send(std::string("CONTACT 0 1 320 86\n") + pending);
        EXPECT_EQ(child.poll(10).samples, Samples{"1 320 86 @10"});
        child.close_input();
        EXPECT_EQ(child.poll(26), (PollReport{{"0 0 0 @26"}, "false"})) << pending;
        EXPECT_EQ(child.poll(43), (PollReport{{}, "false"})) << pending;
    }
}

TEST(HostStreamInput, AReadErrorIsFatal) {
    HostChild child(ChildStdin::Directory);
    ASSERT_EQ(child.setup_outcome, "ready");
    EXPECT_EQ(child.poll(0), (PollReport{{}, "host-stream input pipe"}));
}

TEST(HostStreamInput, PollingAllocatesNothing) {
    HostChild child;
    for (int frame = 0; frame < 20; ++frame) {
        std::string lines = "CONTACT " + std::to_string(frame) + " 1 320 86\nCONTACT " + std::to_string(frame) +
                            " 0 320 86\n   CONTACT  " + std::to_string(frame) + " 1 10 1";
        child.send(lines);
        PollReport report = child.poll(static_cast<std::uint32_t>(frame * 16));
        EXPECT_EQ(report.outcome, "true") << frame;  // "true allocated" otherwise
        child.send("0\nCONTACT " + std::to_string(frame) + " 0 0 0\n");
        EXPECT_EQ(child.poll(static_cast<std::uint32_t>(frame * 16 + 8)).outcome, "true");
    }
}

std::string record_header(const std::string& record) { return record.substr(0, 4); }

TEST(HostStreamOutput, ARecordIsTheLengthThenTheCanvasAsRgbRows) {
    HostChild child;
    child.start_write_frame(0xFF112233u);  // the top byte never reaches the host
    std::string record = child.read_output(host_record_bytes, 5s);
    ASSERT_EQ(child.write_outcome(), "written");
    ASSERT_EQ(record.size(), host_record_bytes);
    EXPECT_EQ(record_header(record), std::string("\x00\x05\x0a\x00", 4));
    std::string expected_payload;
    for (std::size_t i = 0; i < canvas_pixel_count; ++i) expected_payload += "\x11\x22\x33";
    EXPECT_TRUE(record.substr(4) == expected_payload);

    child.start_write_frame(0, true);
    record = child.read_output(host_record_bytes, 5s);
    ASSERT_EQ(child.write_outcome(), "written");
    ASSERT_EQ(record.size(), host_record_bytes);
    EXPECT_EQ(record_header(record), std::string("\x00\x05\x0a\x00", 4));
    for (int y = 0; y < canvas_height; ++y)
        for (int x = 0; x < canvas_width; ++x) {
            std::size_t i = static_cast<std::size_t>(y * canvas_width + x);
            std::uint32_t word = index_pattern_word(i);
            const char* at = record.data() + 4 + 3 * i;
            ASSERT_EQ(static_cast<unsigned char>(at[0]), (word >> 16) & 0xFF) << x << "," << y;
            ASSERT_EQ(static_cast<unsigned char>(at[1]), (word >> 8) & 0xFF) << x << "," << y;
            ASSERT_EQ(static_cast<unsigned char>(at[2]), word & 0xFF) << x << "," << y;
        }
    // Nothing beyond the two records.
    EXPECT_EQ(child.read_output(1, 50ms), "");
}

TEST(HostStreamOutput, AHostThatReadsInSmallBitesGetsEveryRecordWhole) {
    HostChild child;
    for (std::uint32_t frame = 0; frame < 3; ++frame) {
        child.start_write_frame(frame * 0x010101u);
        std::string record;
        while (record.size() < host_record_bytes) {
            std::string bite = child.read_output(std::min<std::size_t>(32768, host_record_bytes - record.size()), 5s);
            ASSERT_FALSE(bite.empty());
            record += bite;
            std::this_thread::sleep_for(15ms);
        }
        EXPECT_EQ(child.write_outcome(), "written");
        EXPECT_EQ(record_header(record), std::string("\x00\x05\x0a\x00", 4));
        EXPECT_EQ(record.find_first_not_of(static_cast<char>(frame), 4), std::string::npos);
    }
}

TEST(HostStreamOutput, AHostThatStopsReadingFailsTheWriteAfterOneSecond) {
    HostChild child;
    auto start = std::chrono::steady_clock::now();
    child.start_write_frame(0);
    std::string outcome = child.write_outcome();
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome, "host-stream slow reader");
    EXPECT_GE(waited, 990ms);
    EXPECT_LT(waited, 3s);
    // The pipe holds the part of the record that fitted, and no more.
    std::size_t arrived = child.read_output(host_record_bytes, 200ms).size();
    EXPECT_GT(arrived, 0u);
    EXPECT_LT(arrived, host_record_bytes);
}

TEST(HostStreamOutput, AHostThatClosesItsEndFailsTheWrite) {
    HostChild child;
    child.close_output();
    EXPECT_EQ(child.write_frame(0), "host-stream output pipe");
}

TEST(HostStreamOutput, WritingAllocatesNothing) {
    HostChild child;
    for (std::uint32_t frame = 0; frame < 5; ++frame) {
        child.start_write_frame(frame);
        EXPECT_EQ(child.read_output(host_record_bytes, 5s).size(), host_record_bytes);
        EXPECT_EQ(child.write_outcome(), "written");  // "written allocated" otherwise
    }
}

constexpr const char* address_space_after_setup = sanitized_build ? "inf/inf" : "536870912/536870912";

TEST(HostStreamSetup, LowersTheFiveLimitsAndMakesBothPipesNonBlocking) {
    HostChild child(ChildStdin::Pipe, [] {
        // Open files already below the cap stay where they are; the rest come down to the caps.
        rlimit nofile{};
        getrlimit(RLIMIT_NOFILE, &nofile);
        nofile.rlim_cur = 32;
        setrlimit(RLIMIT_NOFILE, &nofile);
        for (int resource : {RLIMIT_CPU, RLIMIT_CORE, RLIMIT_FSIZE, RLIMIT_AS}) {
            rlimit open_ended{RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(resource, &open_ended);  // may be refused where the hard limit is set
        }
    });
    ASSERT_EQ(child.setup_outcome, "ready");
    std::string limits = child.limits();
    EXPECT_NE(limits.find("nofile=32/32"), std::string::npos) << limits;
    EXPECT_NE(limits.find("core=0/0"), std::string::npos) << limits;
    EXPECT_NE(limits.find("cpu=905/905"), std::string::npos) << limits;
    EXPECT_NE(limits.find("fsize=4194304/4194304"), std::string::npos) << limits;
    // qemu-user keeps address-space limits to itself: they would bound the emulator too.
    if (!test_env::emulated) {
        EXPECT_NE(limits.find(std::string("as=") + address_space_after_setup), std::string::npos) << limits;
    }
    EXPECT_EQ(child.fd_modes(), "0:nonblocking 1:nonblocking");
}

TEST(HostStreamSetup, LimitsOnlyComeDown) {
    HostChild child(ChildStdin::Pipe, [] {
        rlimit small{100, 100};
        setrlimit(RLIMIT_CPU, &small);
        rlimit fsize{4096, 1000000};
        setrlimit(RLIMIT_FSIZE, &fsize);
    });
    ASSERT_EQ(child.setup_outcome, "ready");
    std::string limits = child.limits();
    EXPECT_NE(limits.find("cpu=100/100"), std::string::npos) << limits;
    EXPECT_NE(limits.find("fsize=4096/4096"), std::string::npos) << limits;
}

TEST(HostStreamSetup, AClosedStandardInputCannotBeMadeNonBlocking) {
    HostChild child(ChildStdin::Closed);
    EXPECT_EQ(child.setup_outcome, "host-stream nonblocking pipe");
}

}  // namespace
}  // namespace skimbo::testing
