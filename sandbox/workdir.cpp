#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/sandbox.h"
#include "base/unique_fd.h"

namespace skimbo {
namespace {

constexpr int directory_open_flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr std::size_t max_component_length = 255;

int fail_with(int error) {
    errno = error;
    return -1;
}

bool is_valid_component(std::string_view name) {
    return !name.empty() && name.size() <= max_component_length && name != "." && name != "..";
}

// The components after the leading '/', or an empty list when any of them is unusable.
std::vector<std::string_view> split_components(std::string_view absolute_path) {
    std::vector<std::string_view> components;
    std::string_view rest = absolute_path.substr(1);
    while (true) {
        const std::size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        if (!is_valid_component(name)) return {};
        components.push_back(name);
        if (slash == std::string_view::npos) return components;
        rest.remove_prefix(slash + 1);
    }
}

// A directory whose entries someone else could replace would let them swap the next
// component for a link or a directory of their own. Root-owned sticky directories such as
// /tmp are safe: others may add entries there but not replace ours. 0, or the errno.
int check_trusted_parent(int dir_fd) {
    struct stat st {};
    if (fstat(dir_fd, &st) != 0) return errno;
    const bool writable_by_others = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool trusted = st.st_uid == 0 ? !writable_by_others || (st.st_mode & S_ISVTX) != 0
                                        : st.st_uid == geteuid() && !writable_by_others;
    return S_ISDIR(st.st_mode) && trusted ? 0 : EPERM;
}

// The directory must be ours alone before it is handed over: this refuses one that an
// earlier run already gave away and one that anybody else can enter. 0, or the errno.
int check_private_directory(int dir_fd) {
    struct stat st {};
    if (fstat(dir_fd, &st) != 0) return errno;
    const bool private_dir = S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
    return private_dir ? 0 : EPERM;
}

UniqueFd open_directory_at(int dir_fd, std::string_view name) {
    const std::string owned(name);
    return UniqueFd(openat(dir_fd, owned.c_str(), directory_open_flags));
}

UniqueFd create_directory_at(int dir_fd, std::string_view name) {
    const std::string owned(name);
    if (mkdirat(dir_fd, owned.c_str(), 0700) != 0 && errno != EEXIST) return UniqueFd();
    return UniqueFd(openat(dir_fd, owned.c_str(), directory_open_flags));
}

}  // namespace

int prepare_workdir(const SandboxPolicy& policy) {
    const char* path = policy.workdir;
    if (path == nullptr || path[0] != '/' || path[1] == '\0') return fail_with(EINVAL);
    const std::vector<std::string_view> components = split_components(path);
    if (components.empty()) return fail_with(EINVAL);

    UniqueFd current(open("/", directory_open_flags));
    if (!current.valid()) return -1;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (const int error = check_trusted_parent(current.fd)) return fail_with(error);
        const bool last = i + 1 == components.size();
        UniqueFd next = last ? create_directory_at(current.fd, components[i])
                             : open_directory_at(current.fd, components[i]);
        if (!next.valid()) return -1;
        current = std::move(next);
    }
    if (const int error = check_private_directory(current.fd)) return fail_with(error);
    if (geteuid() == 0 && policy.uid >= 0) {
        const int gid = policy.gid < 0 ? policy.uid : policy.gid;
        if (fchown(current.fd, static_cast<uid_t>(policy.uid), static_cast<gid_t>(gid)) != 0) return -1;
    }
    return fchdir(current.fd);
}

}  // namespace skimbo
