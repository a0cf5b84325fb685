#pragma once
// Device play confines itself after opening the panel and the touch screen and before the
// first frame: lower priority, first in line for the out-of-memory killer, capped
// resources, a private working directory, no network, the unprivileged user, no new
// privileges and the system-call filter.
#include <cstddef>

namespace skimbo {

struct SandboxPolicy {
    int nice = 10;              // process priority (niceness)
    int oom_score_adj = 1000;   // written to /proc/self/oom_score_adj
    int as_limit_mib = 96;      // address-space limit
    int fsize_limit_mib = 4;    // largest file the process may write
    int uid = 65534;            // user to switch to
    int gid = 65534;            // group to switch to; negative: the same as uid
    bool private_netns = true;  // enter a new, empty network namespace
    int isolation_level = 3;    // strict: the only level in use
    const char* workdir = nullptr;  // absolute path of the working directory
};

// Applies the policy in its fixed order and fills `text` (emptied first) with one
// space-separated token per step, for the "sandbox: %s" line. 0 when every step succeeded,
// -1 otherwise; nothing applied is undone.
int sandbox_apply(const SandboxPolicy& policy, char* text, std::size_t capacity);

// Creates (or re-uses) the working directory without following a symbolic link or trusting
// a directory another user could change, hands it to the policy's user when running as root
// and makes it the current directory. 0, or -1 with errno set.
int prepare_workdir(const SandboxPolicy& policy);

// Appends printf-style to the NUL-terminated `text` while at least one byte of room is left
// (length + 1 < capacity); what does not fit is cut off.
void status_append(char* text, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace skimbo
