#include "sandbox/sandbox.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

#include "sandbox/seccomp_filter.h"
#include "base/unique_fd.h"

namespace skimbo {
namespace {

constexpr rlim_t bytes_per_mib = 1048576;
constexpr rlim_t max_open_files = 64;
constexpr int oom_write_incomplete = -9999;

struct StatusText {
    char* text;
    std::size_t capacity;
};

int group_of(const SandboxPolicy& policy) { return policy.gid < 0 ? policy.uid : policy.gid; }

bool set_limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    return setrlimit(resource, &limit) == 0;
}

// A limit that is not positive is refused rather than applied: zero address space or zero
// file size would leave a process that cannot run at all.
bool set_limit_mib(int resource, int mib) { return mib > 0 && set_limit(resource, static_cast<rlim_t>(mib) * bytes_per_mib); }

// A reader that went away or a write past the file-size limit then fails with an error
// that the caller sees, instead of killing the process.
void ignore_fatal_signals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool lower_priority(const SandboxPolicy& policy, StatusText status) {
    if (setpriority(PRIO_PROCESS, 0, policy.nice) != 0) {
        status_append(status.text, status.capacity, "nice=FAIL(%d) ", errno);
        return false;
    }
    status_append(status.text, status.capacity, "nice=%d ", policy.nice);
    return true;
}

// Under memory pressure the game goes first, never the supervisor. A kernel without the
// file is no failure.
void raise_oom_score(const SandboxPolicy& policy, StatusText status) {
    const UniqueFd file(open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC));
    if (!file.valid()) return;
    char value[16];
    const int length = std::snprintf(value, sizeof value, "%d", policy.oom_score_adj);
    const bool complete = write(file.fd, value, static_cast<std::size_t>(length)) == length;
    status_append(status.text, status.capacity, "oom=%d ", complete ? policy.oom_score_adj : oom_write_incomplete);
}

// Every limit is attempted even when an earlier one failed.
bool cap_resources(const SandboxPolicy& policy) {
    const bool address_space = set_limit_mib(RLIMIT_AS, policy.as_limit_mib);
    const bool file_size = set_limit_mib(RLIMIT_FSIZE, policy.fsize_limit_mib);
    const bool core = set_limit(RLIMIT_CORE, 0);
    const bool open_files = set_limit(RLIMIT_NOFILE, max_open_files);
    return address_space && file_size && core && open_files;
}

bool enter_workdir(const SandboxPolicy& policy, StatusText status) {
    if (policy.workdir == nullptr || policy.workdir[0] == '\0') {
        status_append(status.text, status.capacity, "wd=required ");
        return false;
    }
    if (prepare_workdir(policy) != 0) {
        status_append(status.text, status.capacity, "wd=FAIL(%d) ", errno);
        return false;
    }
    status_append(status.text, status.capacity, "wd=%s ", policy.workdir);
    return true;
}

bool leave_network(const SandboxPolicy& policy, StatusText status) {
    if (!policy.private_netns) return true;
    if (unshare(CLONE_NEWNET) != 0) {
        status_append(status.text, status.capacity, "netns=FAIL(%d) ", errno);
        return false;
    }
    status_append(status.text, status.capacity, "netns=private ");
    return true;
}

// Groups first and the user last: once the user is dropped, the process may no longer
// change its groups.
bool switch_identity(const SandboxPolicy& policy, StatusText status) {
    if (geteuid() != 0) return true;
    const bool switched = setgroups(0, nullptr) == 0 && setgid(static_cast<gid_t>(group_of(policy))) == 0 &&
                          setuid(static_cast<uid_t>(policy.uid)) == 0;
    if (!switched) {
        status_append(status.text, status.capacity, "uid=FAIL(%d) ", errno);
        return false;
    }
    status_append(status.text, status.capacity, "uid=%d ", policy.uid);
    return true;
}

// Checked whatever happened before: a process started as some other user, or one whose
// switch half-failed, must not pass as isolated.
bool check_identity(const SandboxPolicy& policy, StatusText status) {
    const int gid = group_of(policy);
    const bool isolated = policy.uid > 0 && gid > 0 && getuid() > 0 && geteuid() == static_cast<uid_t>(policy.uid) &&
                          getegid() == static_cast<gid_t>(gid) && getgroups(0, nullptr) == 0;
    if (!isolated) status_append(status.text, status.capacity, "uid-isolation=FAIL ");
    return isolated;
}

// The kernel ignores the process limit for root, so it only means something after the drop.
bool forbid_new_processes() { return geteuid() == 0 || set_limit(RLIMIT_NPROC, 0); }

bool make_undumpable() { return prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0; }

bool forbid_new_privileges(StatusText status) {
    const bool on = prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) == 1;
    status_append(status.text, status.capacity, on ? "nnp=on " : "nnp=FAIL ");
    return on;
}

// The last step: the filter denies setuid and setgid, so it can only come after the switch.
int finish_with_seccomp(StatusText status, bool failed) {
    errno = 0;
    if (prctl(PR_GET_SECCOMP, 0, 0, 0, 0) < 0) {
        if (errno != EINVAL) {
            status_append(status.text, status.capacity, "seccomp-probe=FAIL(%d)", errno);
            return -1;
        }
        // A kernel built without seccomp: the rest of the confinement still stands.
        status_append(status.text, status.capacity, "seccomp=unavailable(kernel)");
        return failed ? -1 : 0;
    }
    if (install_seccomp_filter() != 0) {
        status_append(status.text, status.capacity, "seccomp=FAIL(%d)", errno);
        return -1;
    }
    status_append(status.text, status.capacity, "seccomp=on");
    return failed ? -1 : 0;
}

}  // namespace

int sandbox_apply(const SandboxPolicy& policy, char* text, std::size_t capacity) {
    if (text != nullptr && capacity > 0) text[0] = '\0';
    const StatusText status{text, capacity};
    bool failed = false;
    ignore_fatal_signals();
    // Priority, out-of-memory score and limits only ever tighten, so they need no privilege;
    // the score must be written while /proc/self still belongs to the process.
    failed |= !lower_priority(policy, status);
    raise_oom_score(policy, status);
    failed |= !cap_resources(policy);
    // The directory is handed to the user and the namespace entered while still root.
    if (!enter_workdir(policy, status)) return -1;
    failed |= !leave_network(policy, status);
    failed |= !switch_identity(policy, status);
    failed |= !check_identity(policy, status);
    failed |= !forbid_new_processes();
    failed |= !make_undumpable();
    failed |= !forbid_new_privileges(status);
    return finish_with_seccomp(status, failed);
}

}  // namespace skimbo
