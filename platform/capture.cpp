#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <span>
#include <stdexcept>
#include <utility>

#include "base/stop_signal.h"
#include "base/unique_fd.h"
#include "platform/platform.h"
#include "render/rgb_bytes.h"

namespace skimbo {
namespace {

constexpr char ppm_header[] = "P6\n640 172\n255\n";
constexpr int rows_per_write = 4;  // 172 rows in 43 writes of 7,680 bytes
static_assert(canvas_height % rows_per_write == 0);

enum class Written { whole, stopped, failed };

// Written directly, with no stream buffer behind: a buffer flushed at the close would wait
// again, for good, on a FIFO whose reader does not read. Only a write that waited is given up
// for a stop, so a capture into a file is whole.
Written write_all(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n > 0) bytes = bytes.subspan(static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) return Written::failed;
        else if (stop_requested()) return Written::stopped;
    }
    return Written::whole;
}

// The header, then the canvas as RGB triplets, a few rows at a time.
Written write_ppm(int fd, const Canvas& canvas) {
    Written result = write_all(fd, {reinterpret_cast<const std::uint8_t*>(ppm_header), sizeof ppm_header - 1});
    std::array<std::uint8_t, rows_per_write * canvas_width * 3> rows;
    for (int y = 0; y < canvas_height && result == Written::whole; y += rows_per_write) {
        rgb_bytes(canvas.data() + static_cast<std::size_t>(y) * canvas_width, rows_per_write * canvas_width, rows.data());
        result = write_all(fd, rows);
    }
    return result;
}

}  // namespace

void Platform::capture(const Canvas& canvas, const std::string& base_name) {
    if (options.capture_dir.empty()) return;
    const std::string path = options.capture_dir + "/" + base_name + ".ppm";
    UniqueFd file(open_unless_stopped(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.valid()) {
        if (errno == EINTR) return;
        throw std::runtime_error("capture-open");
    }
    const Written written = write_ppm(file.fd, canvas);
    // Closing can report a write the file system could not complete after all.
    const bool closed = ::close(std::exchange(file.fd, -1)) == 0 || errno == EINTR;
    if (written == Written::stopped) return;
    if (written == Written::failed || !closed) throw std::runtime_error("capture-write");
}

}  // namespace skimbo
