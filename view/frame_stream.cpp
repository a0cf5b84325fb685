#include "view/frame_stream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace skimbo::view {
namespace {

constexpr std::uint8_t expected_header[header_bytes] = {0x00, 0x05, 0x0A, 0x00};

}  // namespace

StreamState FrameStream::read_from(int fd) {
    for (;;) {
        ssize_t got = read(fd, filling.data() + filled, record_bytes - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return StreamState::open;
        if (got <= 0) return StreamState::ended;
        filled += static_cast<std::size_t>(got);
        if (filled >= header_bytes && !std::equal(expected_header, expected_header + header_bytes, filling.begin()))
            return StreamState::broken;
        if (filled < record_bytes) continue;
        filling.swap(latest);
        filled = 0;
        fresh = started = true;
    }
}

}  // namespace skimbo::view
