// The program driven through its pipes as a supervising host drives it: CONTACT lines in on
// standard input, a record of every frame out on standard output, the log on standard error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/e2e/program_run.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr std::size_t payload_bytes = 640 * 172 * 3, record_bytes = 4 + payload_bytes;
const Lines host_session = {"--headless", "--host-stream", "--seed", "11"};

// A tap, then a finger held in the exit corner: the session ends with the frame that completes
// the hold, after one whole record per frame; the first the frame the first capture shows.
TEST(HostStreamE2E, AHostPlaysThroughThePipes) {
    test_env::ScratchDir scratch;
    Lines args = host_session;
    args.insert(args.end(), {"--capture-dir", scratch.path});
    ProgramRun run = ProgramRun::start(args);
    ASSERT_TRUE(run.wait_for("first frame presented")) << run.err;
    for (auto [row, limit] : {std::pair{"Max cpu time", "905 905 seconds"}, {"Max file size", "4194304 4194304 bytes"},
                              {"Max core file size", "0 0 bytes"}, {"Max open files", "64 64 files"}})
        EXPECT_EQ(proc_line(run.pid, "limits", row), limit) << row;
    // qemu-user keeps address-space limits to itself; a sanitized build cannot live under one.
    if (!test_env::emulated && !test_env::sanitized) {
        EXPECT_EQ(proc_line(run.pid, "limits", "Max address space"), "536870912 536870912 bytes");
    }
    run.write_stdin("CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n  CONTACT  5 1 10 10 \n");
    ASSERT_TRUE(run.wait_for("exit code=")) << run.err;
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.messages("input tap "), Lines{"input tap phase=running score=0"});
    const long frames = field(run.last_message(), "frames");
    EXPECT_EQ(run.last_message(), "exit code=0 reason=exit-gesture frames=" + std::to_string(frames));
    ASSERT_EQ(run.out.size(), frames * record_bytes);
    for (long i = 0; i < frames; ++i) EXPECT_EQ(run.out.substr(i * record_bytes, 4), std::string("\0\5\12\0", 4)) << i;
    std::string capture;  // "<the first frame's ms>-ready.ppm"
    for (const auto& file : std::filesystem::directory_iterator(scratch.path))
        if (file.path().string().ends_with("-ready.ppm")) capture = read_file(file.path());
    EXPECT_TRUE(capture == "P6\n640 172\n255\n" + run.out.substr(4, payload_bytes));
}

// However the host ends the session, no frame record is left half written.
TEST(HostStreamE2E, TheHostEndsTheSession) {
    enum Host { hangs_up, keeps_listening, stops_reading, stops_listening };
    struct Case {
        std::string input;
        Host host;
        std::string failure;  // "": the session ends as by the exit gesture
    };
    const Case cases[] = {
        {"", hangs_up, ""},
        {"CONTACT 0 1 3", hangs_up, ""},
        {"CONTACT 0 1 320 86\r\n", keeps_listening, "failure: host-stream contact bounds"},
        {"CONTACT 5000 1 320 86\n", keeps_listening, "failure: host-stream invalid contact"},
        {"", stops_reading, "failure: host-stream slow reader"},
        {"", stops_listening, "failure: host-stream output pipe"},
    };
    for (const Case& c : cases) {
        ProgramRun run = ProgramRun::start(host_session);
        if (c.host != stops_reading) {
            ASSERT_TRUE(run.wait_for("first frame presented"));
        }
        if (c.host == stops_listening) run.close_stdout();
        run.write_stdin(c.input);
        char chunk[4096];  // standard error only, until the program fails: its records pile up
        for (ssize_t n; c.host == stops_reading && (n = read(run.stderr_fd, chunk, sizeof chunk)) > 0;) run.err.append(chunk, n);
        // Otherwise standard input stays open: the session must end by the failure, not a hang-up.
        if (c.host != hangs_up) {
            EXPECT_TRUE(run.wait_for("exit code=")) << c.failure;
        }
        EXPECT_EQ(run.finish(), c.failure.empty() ? 0 : 21) << c.failure;
        EXPECT_EQ(run.messages("failure: "), c.failure.empty() ? Lines{} : Lines{c.failure});
        if (c.host == hangs_up || c.host == keeps_listening) {
            EXPECT_EQ(run.out.size() % record_bytes, 0u) << c.failure;
        }
    }
}

}  // namespace
}  // namespace skimbo::e2e
