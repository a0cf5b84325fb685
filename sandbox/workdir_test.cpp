#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sandbox/sandbox.h"
#include "sandbox/test_support.h"
#include "sandbox/unique_fd.h"

namespace skimbo {
namespace {

namespace fs = std::filesystem;

std::string current_directory() {
    char path[PATH_MAX];
    return getcwd(path, sizeof path) != nullptr ? path : "";
}

struct stat stat_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Each test works in a scratch directory and gets its current directory back afterwards.
class PrepareWorkdir : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path.empty());
        saved_cwd = UniqueFd(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    void TearDown() override {
        if (saved_cwd.valid()) {
            EXPECT_EQ(fchdir(saved_cwd.fd), 0);
        }
    }

    // A fresh 0755 directory for one case of a table.
    std::string case_directory(std::size_t index) {
        const std::string path = base + "/case" + std::to_string(index);
        test::make_directory(path, 0755);
        return path;
    }

    test::ScratchDirectory scratch;
    const std::string base = scratch.path;
    UniqueFd saved_cwd;
};

struct RefusalCase {
    const char* name;
    // Arranges the directory tree below `dir` and returns the working directory to ask for.
    std::function<std::string(const std::string& dir)> arrange;
    int expected_errno;
    bool needs_root = false;
};

const RefusalCase refusal_cases[] = {
    {"null", [](const std::string&) { return std::string(); }, EINVAL},
    {"relative", [](const std::string&) { return std::string("tmp/wd"); }, EINVAL},
    {"root itself", [](const std::string&) { return std::string("/"); }, EINVAL},
    {"only slashes", [](const std::string&) { return std::string("//"); }, EINVAL},
    {"doubled slash", [](const std::string& d) { return d + "//wd"; }, EINVAL},
    {"trailing slash", [](const std::string& d) { return d + "/wd/"; }, EINVAL},
    {"dot", [](const std::string& d) { return d + "/./wd"; }, EINVAL},
    {"dot-dot", [](const std::string& d) { return d + "/wd/../wd"; }, EINVAL},
    {"name over 255 bytes", [](const std::string& d) { return d + "/" + std::string(256, 'n'); }, EINVAL},
    {"missing parent", [](const std::string& d) { return d + "/missing/wd"; }, ENOENT},
    {"file in the way",
     [](const std::string& d) {
         close(open((d + "/file").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
         return d + "/file";
     },
     ENOTDIR},
    {"world-writable parent",
     [](const std::string& d) {
         test::make_directory(d + "/open", 0777);
         return d + "/open/wd";
     },
     EPERM},
    {"group-writable parent",
     [](const std::string& d) {
         test::make_directory(d + "/group", 0775);
         return d + "/group/wd";
     },
     EPERM},
    {"existing 0755 directory",
     [](const std::string& d) {
         test::make_directory(d + "/wd", 0755);
         return d + "/wd";
     },
     EPERM},
    {"existing 0710 directory",
     [](const std::string& d) {
         test::make_directory(d + "/wd", 0710);
         return d + "/wd";
     },
     EPERM},
    {"directory handed to another user",
     [](const std::string& d) {
         test::make_directory(d + "/wd", 0700, 65534);
         return d + "/wd";
     },
     EPERM, true},
    {"parent owned by another user",
     [](const std::string& d) {
         test::make_directory(d + "/theirs", 0755, 65534);
         return d + "/theirs/wd";
     },
     EPERM, true},
};

TEST_F(PrepareWorkdir, RefusesUnsafeOrMalformedPathsAndChangesNothing) {
    for (std::size_t i = 0; i < std::size(refusal_cases); ++i) {
        const RefusalCase& c = refusal_cases[i];
        SCOPED_TRACE(c.name);
        if (c.needs_root && geteuid() != 0) continue;
        const std::string dir = case_directory(i);
        const std::string workdir = c.arrange(dir);
        const std::string cwd_before = current_directory();
        SandboxPolicy policy;
        policy.workdir = workdir.empty() ? nullptr : workdir.c_str();
        errno = 0;
        EXPECT_EQ(prepare_workdir(policy), -1);
        EXPECT_EQ(errno, c.expected_errno) << std::strerror(errno);
        EXPECT_EQ(current_directory(), cwd_before);
        if (c.expected_errno == EINVAL) {
            EXPECT_FALSE(fs::exists(dir + "/wd")) << "created despite a malformed path";
        }
    }
}

// A link anywhere in the path is refused, and nothing is created or handed over through it.
TEST_F(PrepareWorkdir, NeverFollowsASymbolicLink) {
    test::make_directory(base + "/real", 0755);
    ASSERT_EQ(symlink("real", (base + "/link").c_str()), 0);
    ASSERT_EQ(symlink((base + "/real").c_str(), (base + "/absolute-link").c_str()), 0);
    for (const std::string& workdir : {base + "/link/wd", base + "/absolute-link/wd", base + "/link", base + "/absolute-link"}) {
        SCOPED_TRACE(workdir);
        SandboxPolicy policy;
        policy.workdir = workdir.c_str();
        errno = 0;
        EXPECT_EQ(prepare_workdir(policy), -1);
        EXPECT_TRUE(errno == ELOOP || errno == ENOTDIR) << std::strerror(errno);
    }
    EXPECT_TRUE(fs::is_empty(base + "/real"));
    const struct stat real = stat_of(base + "/real");
    EXPECT_EQ(real.st_mode & 07777, 0755u);
    EXPECT_EQ(real.st_uid, geteuid());
}

struct OwnerCase {
    int uid;
    int gid;
    uid_t expected_uid;  // as root
    gid_t expected_gid;
};

// Root hands the directory to the policy's user (and group, or the user's number as the
// group); anyone else keeps it. Either way it is private and becomes the current directory.
TEST_F(PrepareWorkdir, CreatesAPrivateDirectoryAndEntersIt) {
    const bool root = geteuid() == 0;
    const OwnerCase cases[] = {
        {65534, 65534, 65534, 65534},
        {65534, -1, 65534, 65534},
        {4242, 4343, 4242, 4343},
        {-1, -1, 0, 0},  // no user given: stays root's
        {-1, 4343, 0, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const OwnerCase& c = cases[i];
        SCOPED_TRACE(i);
        const std::string workdir = case_directory(i) + "/wd";
        SandboxPolicy policy;
        policy.uid = c.uid;
        policy.gid = c.gid;
        policy.workdir = workdir.c_str();
        ASSERT_EQ(prepare_workdir(policy), 0) << std::strerror(errno);
        EXPECT_EQ(current_directory(), workdir);
        const struct stat st = stat_of(workdir);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        EXPECT_EQ(st.st_uid, root ? c.expected_uid : geteuid());
        EXPECT_EQ(st.st_gid, root ? c.expected_gid : getegid());
    }
}

TEST_F(PrepareWorkdir, AcceptsAnExistingPrivateDirectoryALongNameAndASharedStickyParent) {
    test::make_directory(base + "/mine", 0700);
    const std::string long_name = base + "/" + std::string(255, 'n');
    std::vector<std::string> workdirs = {base + "/mine", long_name};
    if (geteuid() == 0) {
        test::make_directory(base + "/shared", 01777);
        workdirs.push_back(base + "/shared/wd");
    }
    for (const std::string& workdir : workdirs) {
        SCOPED_TRACE(workdir.substr(0, 80));
        SandboxPolicy policy;
        policy.uid = -1;
        policy.workdir = workdir.c_str();
        EXPECT_EQ(prepare_workdir(policy), 0) << std::strerror(errno);
        EXPECT_EQ(current_directory(), workdir);
    }
}

}  // namespace
}  // namespace skimbo
