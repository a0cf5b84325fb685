#include "sandbox/sandbox.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "base/address_space.h"
#include "sandbox/test_support.h"
#include "tests/test_env.h"

namespace skimbo {
namespace {

namespace fs = std::filesystem;

constexpr int as_limit_mib = address_space_limit(96);
constexpr uid_t other_user = 1000;

// The value of the line that starts with `label` ("Uid:", "Max open files"), with runs of
// whitespace collapsed to one space: "Uid:\t0\t0\t0\t0" gives "0 0 0 0".
std::string field_of(const std::string& text, const std::string& label) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (text.compare(start, label.size(), label) == 0) {
            std::string value;
            for (std::size_t i = start + label.size(); i < end; ++i) {
                const bool space = text[i] == ' ' || text[i] == '\t';
                if (!space) value += text[i];
                else if (!value.empty() && value.back() != ' ') value += ' ';
            }
            if (!value.empty() && value.back() == ' ') value.pop_back();
            return value;
        }
        start = end + 1;
    }
    return "<missing>";
}

std::string netns_inode() {
    struct stat st {};
    return stat("/proc/self/ns/net", &st) == 0 ? std::to_string(st.st_ino) : "<none>";
}

// What the child reports about itself after the sandbox.
std::string observe_process() {
    std::string report;
    const std::string status = test::read_file("/proc/self/status");
    for (const char* label : {"Uid:", "Gid:", "Groups:", "NoNewPrivs:", "Seccomp:"})
        report += std::string(label) + "=" + field_of(status, label) + "\n";
    const std::string limits = test::read_file("/proc/self/limits");
    for (const char* label : {"Max address space", "Max file size", "Max core file size", "Max open files", "Max processes"})
        report += std::string(label) + "=" + field_of(limits, label) + "\n";
    report += "nice=" + std::to_string(getpriority(PRIO_PROCESS, 0)) + "\n";
    report += "oom=" + field_of(test::read_file("/proc/self/oom_score_adj"), "") + "\n";
    report += "euid=" + std::to_string(geteuid()) + "\n";
    report += "netns=" + netns_inode() + "\n";
    char cwd[PATH_MAX];
    report += "cwd=" + std::string(getcwd(cwd, sizeof cwd) != nullptr ? cwd : "<none>") + "\n";
    struct stat st {};
    if (stat(".", &st) == 0) {
        report += "cwd_owner=" + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + "\n";
        char mode[8];
        std::snprintf(mode, sizeof mode, "%o", st.st_mode & 07777);
        report += "cwd_mode=" + std::string(mode) + "\n";
    }
    return report;
}

// Applies the sandbox in a forked child, after `prepare` (which reports "setup=failed" by
// returning false), and brings back its result, its text and what it observed.
test::ChildOutcome apply_in_child(const SandboxPolicy& policy, const std::function<bool()>& prepare = {}) {
    return test::run_in_child([&] {
        if (prepare && !prepare()) return std::string("setup=failed\n");
        char text[512];
        const int result = sandbox_apply(policy, text, sizeof text);
        return "result=" + std::to_string(result) + "\ntext=" + text + "\n" + observe_process();
    });
}

std::string limit_row(long long value, const char* unit) {
    return std::to_string(value) + " " + std::to_string(value) + " " + unit;
}

// Every test starts as root with a fresh root-owned scratch directory.
class SandboxApply : public ::testing::Test {
protected:
    void SetUp() override {
        if (test_env::emulated) GTEST_SKIP() << "needs the real kernel: namespaces, identity changes and seccomp";
        if (geteuid() != 0) GTEST_SKIP() << "needs root: switches to user 65534 and enters a network namespace";
        ASSERT_FALSE(scratch.path.empty());
    }

    SandboxPolicy policy_for(const std::string& workdir) const {
        SandboxPolicy policy;
        policy.as_limit_mib = as_limit_mib;
        policy.workdir = workdir.c_str();
        return policy;
    }

    test::ScratchDirectory scratch;
    const std::string base = scratch.path;
    const std::string parent_netns = netns_inode();
};

TEST_F(SandboxApply, ConfinesARootProcessCompletely) {
    const std::string workdir = base + "/wd";
    const test::ChildOutcome child = apply_in_child(policy_for(workdir));
    ASSERT_TRUE(child.exited_cleanly()) << "wait status " << child.wait_status;
    const test::Report& r = child.report;
    EXPECT_EQ(r.at("result"), "0");
    EXPECT_EQ(r.at("text"), "nice=10 oom=1000 wd=" + workdir + " netns=private uid=65534 nnp=on seccomp=on");
    EXPECT_EQ(r.at("Uid:"), "65534 65534 65534 65534");
    EXPECT_EQ(r.at("Gid:"), "65534 65534 65534 65534");
    EXPECT_EQ(r.at("Groups:"), "");
    EXPECT_EQ(r.at("NoNewPrivs:"), "1");
    EXPECT_EQ(r.at("Seccomp:"), "2");
    EXPECT_EQ(r.at("Max address space"), limit_row(as_limit_mib * 1048576LL, "bytes"));
    EXPECT_EQ(r.at("Max file size"), limit_row(4 * 1048576LL, "bytes"));
    EXPECT_EQ(r.at("Max core file size"), limit_row(0, "bytes"));
    EXPECT_EQ(r.at("Max open files"), limit_row(64, "files"));
    EXPECT_EQ(r.at("Max processes"), limit_row(0, "processes"));
    EXPECT_EQ(r.at("nice"), "10");
    EXPECT_EQ(r.at("oom"), "1000");
    EXPECT_NE(r.at("netns"), parent_netns);
    EXPECT_EQ(r.at("cwd"), workdir);
    EXPECT_EQ(r.at("cwd_owner"), "65534:65534");
    EXPECT_EQ(r.at("cwd_mode"), "700");
}

struct FatalCase {
    const char* name;
    // Arranges the tree below the base directory and returns the working directory ("" for none).
    std::function<std::string(const std::string& base)> arrange;
    const char* last_token;
    int oom_score_adj = 1000;
};

const FatalCase fatal_cases[] = {
    {"no working directory", [](const std::string&) { return std::string(); }, "wd=required "},
    {"relative", [](const std::string&) { return std::string("skimbo/wd"); }, "wd=FAIL(22) "},
    {"component ..", [](const std::string& b) { return b + "/../wd"; }, "wd=FAIL(22) "},
    {"doubled slash", [](const std::string& b) { return b + "//wd"; }, "wd=FAIL(22) "},
    {"trailing slash", [](const std::string& b) { return b + "/wd/"; }, "wd=FAIL(22) "},
    {"world-writable parent without sticky bit",
     [](const std::string& b) {
         test::make_directory(b + "/open", 0777);
         return b + "/open/wd";
     },
     "wd=FAIL(1) "},
    {"directory an earlier run handed to 65534",
     [](const std::string& b) {
         test::make_directory(b + "/wd", 0700, 65534);
         return b + "/wd";
     },
     "wd=FAIL(1) "},
    {"existing 0755 directory",
     [](const std::string& b) {
         test::make_directory(b + "/wd", 0755);
         return b + "/wd";
     },
     "wd=FAIL(1) "},
    {"symbolic link in the path",
     [](const std::string& b) {
         test::make_directory(b + "/real", 0755);
         EXPECT_EQ(symlink("real", (b + "/link").c_str()), 0);
         return b + "/link/wd";
     },
     "wd=FAIL(20) "},
    {"out-of-memory score the kernel refuses", [](const std::string&) { return std::string("skimbo/wd"); },
     "wd=FAIL(22) ", 5000},
};

// Nothing after a refused working directory is attempted: the child is still root, in the
// parent's network namespace, without no-new-privileges or a filter.
TEST_F(SandboxApply, RefusedWorkingDirectoryEndsTheSequence) {
    for (std::size_t i = 0; i < std::size(fatal_cases); ++i) {
        const FatalCase& c = fatal_cases[i];
        SCOPED_TRACE(c.name);
        const std::string case_base = base + "/case" + std::to_string(i);
        test::make_directory(case_base, 0755);
        const std::string workdir = c.arrange(case_base);
        SandboxPolicy policy = policy_for(workdir);
        policy.oom_score_adj = c.oom_score_adj;
        if (workdir.empty()) policy.workdir = nullptr;
        const test::ChildOutcome child = apply_in_child(policy);
        ASSERT_TRUE(child.exited_cleanly()) << "wait status " << child.wait_status;
        const test::Report& r = child.report;
        const std::string oom = c.oom_score_adj == 1000 ? "oom=1000 " : "oom=-9999 ";
        EXPECT_EQ(r.at("text"), "nice=10 " + oom + c.last_token);
        EXPECT_EQ(r.at("result"), "-1");
        EXPECT_EQ(r.at("euid"), "0");
        EXPECT_EQ(r.at("netns"), parent_netns);
        EXPECT_EQ(r.at("NoNewPrivs:"), "0");
        EXPECT_EQ(r.at("Seccomp:"), "0");
        EXPECT_FALSE(fs::exists(case_base + "/real/wd")) << "followed the link";
    }
}

// A process started as some unrelated user cannot switch and is not what the sandbox
// promises, but everything that still applies to it is applied.
TEST_F(SandboxApply, AnotherUserIsNotIsolatedButTheRemainingStepsRun) {
    test::make_directory(base + "/user", 0755, static_cast<int>(other_user));
    const std::string workdir = base + "/user/wd";
    const test::ChildOutcome child = apply_in_child(policy_for(workdir), [] {
        // As if started by that user: normal priority, no groups, and /proc/self its own.
        return setpriority(PRIO_PROCESS, 0, 0) == 0 && setgroups(0, nullptr) == 0 &&
               setresgid(other_user, other_user, other_user) == 0 && setresuid(other_user, other_user, other_user) == 0 &&
               prctl(PR_SET_DUMPABLE, 1, 0, 0, 0) == 0;
    });
    ASSERT_TRUE(child.exited_cleanly()) << "wait status " << child.wait_status;
    const test::Report& r = child.report;
    ASSERT_EQ(r.count("setup"), 0u);
    EXPECT_EQ(r.at("text"), "nice=10 oom=1000 wd=" + workdir + " netns=FAIL(1) uid-isolation=FAIL nnp=on seccomp=on");
    EXPECT_EQ(r.at("result"), "-1");
    EXPECT_EQ(r.at("Uid:"), "1000 1000 1000 1000");
    EXPECT_EQ(r.at("NoNewPrivs:"), "1");
    EXPECT_EQ(r.at("Seccomp:"), "2");
    EXPECT_EQ(r.at("Max processes"), limit_row(0, "processes"));
    EXPECT_EQ(r.at("cwd"), workdir);
    EXPECT_EQ(r.at("cwd_owner"), "1000:1000");
}

TEST_F(SandboxApply, AFullStatusBufferCutsTheLastTokenButNotTheResult) {
    const std::string parent = base + "/" + std::string(200, 'a');
    test::make_directory(parent, 0755);
    const std::string workdir = parent + "/" + std::string(240, 'b');
    const std::string full = "nice=10 oom=1000 wd=" + workdir + " netns=private uid=65534 nnp=on seccomp=on";
    ASSERT_GT(full.size(), 511u);
    const test::ChildOutcome child = apply_in_child(policy_for(workdir));
    ASSERT_TRUE(child.exited_cleanly()) << "wait status " << child.wait_status;
    EXPECT_EQ(child.report.at("text"), full.substr(0, 511));
    EXPECT_EQ(child.report.at("result"), "0");
    EXPECT_EQ(child.report.at("Seccomp:"), "2");
}

}  // namespace
}  // namespace skimbo
