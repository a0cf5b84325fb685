#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <string>

#include "base/address_space.h"
#include "base/log.h"
#include "hoststream/host_stream.h"

namespace skimbo {
namespace {

constexpr rlim_t file_size_cap = 4194304;

struct LimitCap {
    int resource;
    rlim_t cap;
};

// A host-driven session needs a few descriptors, no core files, small capture files and
// well under 512 MiB; CPU time allows the longest session (900 s) a little slack.
constexpr LimitCap limit_caps[] = {
    {RLIMIT_CPU, 905},
    {RLIMIT_NOFILE, 64},
    {RLIMIT_CORE, 0},
    {RLIMIT_FSIZE, file_size_cap},
    {RLIMIT_AS, address_space_limit<rlim_t>(536870912)},
};

// Soft and hard both become the smaller of the soft limit and the cap: limits only come down.
void lower_limit(const LimitCap& limit) {
    rlimit current{};
    if (getrlimit(limit.resource, &current) != 0) throw std::runtime_error("host-stream getrlimit");
    rlim_t value = std::min(current.rlim_cur, limit.cap);
    rlimit lowered{value, value};
    if (setrlimit(limit.resource, &lowered) != 0) {
        int error = errno;
        throw std::runtime_error("host-stream setrlimit resource=" + std::to_string(limit.resource) +
                                 " errno=" + std::to_string(error));
    }
}

// True when this call set the flag, false when it was set already.
bool make_nonblocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        throw std::runtime_error("host-stream nonblocking pipe");
    return (flags & O_NONBLOCK) == 0;
}

// Records sent to a regular file fail with "host-stream output pipe" where the file reaches
// the limit: after 12 records of a new file.
void note_records_to_file(rlim_t limit) {
    const long long at = file_write_position(1);
    if (at < 0) return;
    const long long room = static_cast<long long>(limit) > at ? (static_cast<long long>(limit) - at) : 0;
    log_line("host-stream: standard output is a file at %lld bytes: the %llu-byte file-size limit leaves room for "
             "%lld records", at, static_cast<unsigned long long>(limit), room / static_cast<long long>(host_record_bytes));
}

}  // namespace

void HostStream::setup() {
    // With the file-size cap in place, a log appended to a long-lived file would otherwise
    // kill the session with SIGXFSZ; ignored, the write just fails and the session goes on.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit file_size{};
    if (getrlimit(RLIMIT_FSIZE, &file_size) != 0) throw std::runtime_error("host-stream getrlimit");
    const rlim_t file_size_limit = std::min<rlim_t>(file_size.rlim_cur, file_size_cap);
    log_note_file_size_limit(file_size_limit);
    note_records_to_file(file_size_limit);
    for (const LimitCap& limit : limit_caps) lower_limit(limit);
    made_nonblocking[0] = make_nonblocking(0);
    made_nonblocking[1] = make_nonblocking(1);
    // The payload length, 330,240, big-endian.
    record[0] = static_cast<std::uint8_t>(canvas_pixel_count * 3 >> 24);
    record[1] = static_cast<std::uint8_t>(canvas_pixel_count * 3 >> 16);
    record[2] = static_cast<std::uint8_t>(canvas_pixel_count * 3 >> 8);
    record[3] = static_cast<std::uint8_t>(canvas_pixel_count * 3);
    line.reserve(96);
}

void HostStream::restore_descriptors() {
    for (int fd : {0, 1}) {
        if (!made_nonblocking[fd]) continue;
        made_nonblocking[fd] = false;
        const int flags = fcntl(fd, F_GETFL);
        if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
}

}  // namespace skimbo
