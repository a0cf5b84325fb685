// The program driven through its pipes, as a supervising host drives it: CONTACT lines in on
// standard input, frame records out on standard output, the log on standard error.
#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/program_run.h"
#include "tests/support/scratch_dir.h"

namespace skimbo::e2e {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t payload_bytes = 640 * 172 * 3;
constexpr std::size_t record_bytes = 4 + payload_bytes;
const std::string record_header("\x00\x05\x0a\x00", 4);

const std::vector<std::string> host_session = {"--headless", "--host-stream", "--seed", "11"};

// Takes whole records off the front of the program's output as they arrive.
struct RecordReader {
    explicit RecordReader(ProgramRun& program) : run(program) {}

    ProgramRun& run;
    std::size_t records = 0;
    std::size_t bad_headers = 0;
    std::string first_payload;

    void take() {
        std::size_t whole = run.out.size() / record_bytes;
        for (std::size_t i = 0; i < whole; ++i) {
            if (run.out.compare(i * record_bytes, 4, record_header) != 0) ++bad_headers;
            if (records + i == 0) first_payload = run.out.substr(4, payload_bytes);
        }
        records += whole;
        run.out.erase(0, whole * record_bytes);
    }
    // Keeps reading records until a log line contains text; false if none comes in time.
    bool until_line(const std::string& text, std::chrono::milliseconds timeout = 20s) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            bool found = run.wait_for_line(text, 20ms);
            take();
            if (found) return true;
        }
        return false;
    }
    void until_records(std::size_t count) {
        while (records < count && run.wait_for_stdout(record_bytes, 20s)) take();
    }
};

long prefix_ms(const ProgramRun& run, const std::string& message_start) {
    for (std::size_t at = 0; at < run.err.size();) {
        std::size_t end = run.err.find('\n', at);
        std::string line = run.err.substr(at, end - at);
        std::size_t close = line.find("] ");
        if (close != std::string::npos && line.compare(close + 2, message_start.size(), message_start) == 0)
            return std::strtol(line.c_str() + line.find(' ') + 1, nullptr, 10);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return -1;
}

TEST(HostStreamE2E, AHostPlaysThroughThePipesAndEndsTheSessionByClosingInput) {
    ProgramRun run = ProgramRun::start(host_session);
    RecordReader reader{run};
    reader.until_records(3);
    // A down and a release in one write reach the same frame: one tap.
    run.write_stdin("CONTACT 0 1 320 86\nCONTACT 0 0 320 86\n");
    ASSERT_TRUE(reader.until_line("input tap phase=running score=0")) << run.err;
    ASSERT_TRUE(reader.until_line("state=running")) << run.err;
    std::size_t records_before_second_tap = reader.records;
    run.write_stdin("  CONTACT 0 1 400 100  \n");
    reader.until_records(records_before_second_tap + 10);
    run.write_stdin("CONTACT 0 0 400 100\n");
    reader.until_records(records_before_second_tap + 20);
    run.close_stdin();
    EXPECT_EQ(run.finish(), 0);
    reader.take();

    EXPECT_EQ(run.messages_starting("input tap ").size(), 2u) << run.err;
    std::string exit_line = run.last_message();
    EXPECT_EQ(exit_line.rfind("exit code=0 reason=exit-gesture frames=", 0), 0u) << exit_line;
    EXPECT_EQ(reader.records, static_cast<std::size_t>(field(exit_line, "frames")));
    EXPECT_EQ(reader.bad_headers, 0u);
    EXPECT_TRUE(run.out.empty()) << "a partial record of " << run.out.size() << " bytes";
}

TEST(HostStreamE2E, AnExitHoldEndsTheSessionWhileInputIsStillOpen) {
    ProgramRun run = ProgramRun::start(host_session);
    RecordReader reader{run};
    reader.until_records(2);
    auto sent = std::chrono::steady_clock::now();
    run.write_stdin("CONTACT 0 1 10 10\n");
    ASSERT_TRUE(reader.until_line("exit code=", 10s)) << run.err;
    auto held = std::chrono::steady_clock::now() - sent;
    EXPECT_EQ(run.finish(), 0);
    reader.take();
    EXPECT_GE(held, 1150ms);
    std::string exit_line = run.last_message();
    EXPECT_EQ(exit_line.rfind("exit code=0 reason=exit-gesture frames=", 0), 0u) << exit_line;
    EXPECT_EQ(reader.records, static_cast<std::size_t>(field(exit_line, "frames")));
}

TEST(HostStreamE2E, ClosingInputWithAHalfLinePendingEndsCleanly) {
    for (const char* pending : {"", "CONTACT 0 1 3"}) {
        ProgramRun run = ProgramRun::start(host_session);
        RecordReader reader{run};
        reader.until_records(1);
        run.write_stdin(pending);
        EXPECT_EQ(run.finish(), 0) << run.err;
        reader.take();
        EXPECT_EQ(run.last_message().rfind("exit code=0 reason=exit-gesture frames=", 0), 0u) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

TEST(HostStreamE2E, EveryBadLineEndsTheSessionWithItsMessage) {
    struct Case {
        std::string input;
        const char* failure;
    };
    // Every rule has its unit test; here each kind of failure ends the real program.
    const Case cases[] = {
        {"CONTACT 0 1 320 86\r\n", "failure: host-stream contact bounds"},
        {"CONTACT 5000 1 320 86\n", "failure: host-stream invalid contact"},
    };
    for (const Case& c : cases) {
        ProgramRun run = ProgramRun::start(host_session);
        RecordReader reader{run};
        reader.until_records(1);
        run.write_stdin(c.input);
        ASSERT_TRUE(reader.until_line("exit code=", 10s)) << c.input;
        EXPECT_EQ(run.finish(), 21);
        reader.take();
        EXPECT_EQ(run.messages_starting("failure: "), std::vector<std::string>{c.failure}) << c.input;
        EXPECT_EQ(run.last_message().rfind("exit code=21 reason=startup-or-runtime-error frames=", 0), 0u);
        EXPECT_TRUE(run.out.empty()) << "no partial record after an input failure";
    }
}

TEST(HostStreamE2E, AHostThatStopsReadingFailsTheSessionAboutASecondLater) {
    ProgramRun run = ProgramRun::start(host_session);
    // Read nothing: the first record fills the pipe and stalls.
    std::this_thread::sleep_for(3000ms);
    EXPECT_EQ(run.finish(), 21);
    EXPECT_EQ(run.messages_starting("failure: "), std::vector<std::string>{"failure: host-stream slow reader"});
    long stalled_ms = prefix_ms(run, "failure: ") - prefix_ms(run, "HELLO ");
    EXPECT_GE(stalled_ms, 1000);
    EXPECT_LT(stalled_ms, 2000);
    EXPECT_GT(run.out.size(), 0u);
    EXPECT_LT(run.out.size(), record_bytes) << "the stream ends inside the stalled record";
    EXPECT_EQ(run.last_message(), "exit code=21 reason=startup-or-runtime-error frames=0");
}

TEST(HostStreamE2E, AHostThatClosesItsReadingEndFailsTheSession) {
    ProgramRun run = ProgramRun::start(host_session);
    RecordReader reader{run};
    reader.until_records(2);
    run.close_stdout();
    // Standard input stays open: the session must end by its failed write, not by our hang-up.
    ASSERT_TRUE(run.wait_for_line("exit code=", 10s)) << run.err;
    EXPECT_EQ(run.finish(), 21);
    EXPECT_EQ(run.messages_starting("failure: "), std::vector<std::string>{"failure: host-stream output pipe"});
}

// The first capture of the session whose name ends in suffix, by session time.
std::string first_capture(const std::string& dir, const std::string& suffix) {
    std::string best;
    long best_ms = -1;
    DIR* listing = opendir(dir.c_str());
    if (!listing) return "";
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        long ms = std::strtol(name.c_str(), nullptr, 10);
        if (best_ms < 0 || ms < best_ms) best_ms = ms, best = dir + "/" + name;
    }
    closedir(listing);
    return best;
}

TEST(HostStreamE2E, ARecordCarriesTheSameFrameAsTheCaptureOfThatFrame) {
    test_support::ScratchDir scratch;
    const std::string& dir = scratch.path;
    std::vector<std::string> args = host_session;
    args.insert(args.end(), {"--capture-dir", dir});
    ProgramRun run = ProgramRun::start(args);
    RecordReader reader{run};
    reader.until_records(3);
    run.close_stdin();
    EXPECT_EQ(run.finish(), 0) << run.err;
    reader.take();

    const std::string ppm_header = "P6\n640 172\n255\n";
    for (const std::string& suffix : {std::string("-ready.ppm"), std::string("-frame.ppm")}) {
        std::string capture = read_file(first_capture(dir, suffix));
        ASSERT_EQ(capture.size(), ppm_header.size() + payload_bytes) << suffix;
        EXPECT_EQ(capture.substr(0, ppm_header.size()), ppm_header);
        EXPECT_TRUE(capture.compare(ppm_header.size(), payload_bytes, reader.first_payload) == 0) << suffix;
    }
}

}  // namespace
}  // namespace skimbo::e2e

namespace skimbo::e2e {
namespace {

// A supervisor may append the log to a file that already holds more than the host stream's
// 4 MiB file-size cap; the log lines are then lost, but the session must go on.
TEST(HostStreamE2E, ALogFilePastTheFileSizeCapDoesNotEndTheSession) {
    char path[] = "/tmp/skimbo-log-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 5 << 20), 0);
    close(fd);
    ProgramRun run = ProgramRun::start(host_session, path);
    RecordReader reader(run);
    reader.until_records(5);
    EXPECT_EQ(reader.records, 5u);
    EXPECT_EQ(run.finish(), 0);
    unlink(path);
}

}  // namespace
}  // namespace skimbo::e2e
