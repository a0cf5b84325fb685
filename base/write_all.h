#pragma once
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace skimbo {

// Writes all of bytes to fd, going on after a signal interrupts a write; false when a write
// fails or takes nothing, with the bytes written until then left written.
inline bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace skimbo
