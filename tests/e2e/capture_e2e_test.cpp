// Frame captures of headless sessions, as an engineer collects them: which files appear,
// what they hold, and how a capture directory that is not there ends the session.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/program_run.h"
#include "tests/support/scratch_dir.h"

namespace skimbo::e2e {
namespace {

class CaptureE2E : public ::testing::Test {
protected:
    test_support::ScratchDir scratch;
    std::string dir = scratch.path;


    ProgramRun capture_session(const std::string& exit_after_ms) {
        return run_program({"--headless", "--virtual-clock", "--seed", "3", "--exit-after", exit_after_ms,
                            "--capture-dir", dir});
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        DIR* listing = opendir(dir.c_str());
        while (dirent* entry = listing ? readdir(listing) : nullptr)
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        if (listing) closedir(listing);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string read(const std::string& name) const { return read_file(dir + "/" + name); }
};

TEST_F(CaptureE2E, FirstFrameWritesAStateAndAPeriodicCaptureThenOneEvery500Ms) {
    ProgramRun run = capture_session("2100");
    ASSERT_EQ(run.status, 12) << run.err;
    EXPECT_EQ(files(), (std::vector<std::string>{"0-frame.ppm", "0-ready.ppm", "1000-frame.ppm", "1500-frame.ppm",
                                                 "2000-frame.ppm", "500-frame.ppm"}));
    std::string first = read("0-ready.ppm");
    ASSERT_EQ(first.size(), 330255u);
    EXPECT_EQ(first.substr(0, 15), "P6\n640 172\n255\n");
    EXPECT_EQ(read("0-frame.ppm"), first);
    EXPECT_NE(read("500-frame.ppm"), first) << "the scenery scrolls while the bird waits";
    for (const std::string& name : files()) EXPECT_EQ(read(name).size(), 330255u) << name;
}

TEST_F(CaptureE2E, AMissingDirectoryEndsTheSessionInTheFirstFrame) {
    dir += "/not-there";
    ProgramRun run = capture_session("1000");
    EXPECT_EQ(run.status, 21);
    std::vector<std::string> failures = run.messages_starting("failure: ");
    ASSERT_EQ(failures.size(), 1u) << run.err;
    EXPECT_EQ(failures[0], "failure: capture-open");
    EXPECT_EQ(run.messages_starting("exit ").at(0), "exit code=21 reason=startup-or-runtime-error frames=1");
}

}  // namespace
}  // namespace skimbo::e2e
