#pragma once
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace skimbo {

// Owns one file descriptor and closes it when it goes out of scope. Closing keeps errno,
// so a function can fail with the errno of its failing step and still release its handles.
struct UniqueFd {
    int fd = -1;

    UniqueFd() = default;
    explicit UniqueFd(int owned) : fd(owned) {}
    UniqueFd(UniqueFd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    bool valid() const { return fd >= 0; }

    void reset() {
        if (fd < 0) return;
        const int saved_errno = errno;
        ::close(fd);
        errno = saved_errno;
        fd = -1;
    }
};

}  // namespace skimbo
