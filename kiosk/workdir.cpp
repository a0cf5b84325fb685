#include "kiosk/workdir.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "base/unique_fd.h"

namespace skimbo::kiosk {
namespace {

// Deeper than anything a session could leave in its directory; the rest is left and reported.
constexpr int deepest = 16;

bool remove_entry(int directory, const char* name, int depth) {
    if (unlinkat(directory, name, 0) == 0 || errno == ENOENT) return true;
    if (errno != EISDIR) return false;
    if (unlinkat(directory, name, AT_REMOVEDIR) == 0) return true;
    if (errno != ENOTEMPTY || depth == deepest) return false;
    UniqueFd inner(openat(directory, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    DIR* listing = inner.valid() ? fdopendir(inner.fd) : nullptr;
    if (!listing) return false;
    inner.fd = -1;  // the listing owns it now
    for (const dirent* entry; (entry = readdir(listing));) {
        const std::string_view entry_name = entry->d_name;
        if (entry_name != "." && entry_name != "..") remove_entry(dirfd(listing), entry->d_name, depth + 1);
    }
    closedir(listing);
    return unlinkat(directory, name, AT_REMOVEDIR) == 0;
}

}  // namespace

std::string base_problem(const std::string& base) {
    if (mkdir(base.c_str(), 0755) != 0 && errno != EEXIST) return std::string("cannot create it: ") + strerror(errno);
    struct stat directory {};
    if (lstat(base.c_str(), &directory) != 0) return strerror(errno);
    if (!S_ISDIR(directory.st_mode)) return "not a directory";
    if ((directory.st_uid == 0 || directory.st_uid == geteuid()) && (directory.st_mode & 022) == 0) return "";
    char problem[160];
    std::snprintf(problem, sizeof problem, "owner %u, mode %04o: it must be root's and writable by no one else (mode 0755)",
                  static_cast<unsigned>(directory.st_uid), static_cast<unsigned>(directory.st_mode & 07777));
    return problem;
}

bool remove_workdir(const std::string& base, const std::string& name) {
    const UniqueFd directory(open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return directory.valid() && remove_entry(directory.fd, name.c_str(), 0);
}

}  // namespace skimbo::kiosk
