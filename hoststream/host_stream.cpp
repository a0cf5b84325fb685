#include "hoststream/host_stream.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>

#include "base/clock.h"
#include "base/stop_signal.h"
#include "hoststream/contact_line.h"
#include "render/rgb_bytes.h"

namespace skimbo {
namespace {

constexpr int host_input_fd = 0;
constexpr int host_output_fd = 1;
// A flooding host cannot stall a frame: reads and accepted lines per frame are bounded.
constexpr int max_reads_per_poll = 4096;
constexpr int max_lines_per_poll = 64;
constexpr std::size_t max_line_chars = 95;
constexpr std::uint32_t write_deadline_ms = 1000;
constexpr std::uint32_t write_wait_ms = 10;

bool printable(char byte) { return byte >= 0x20 && byte <= 0x7E; }

// Waits one step at most for room in the output pipe and returns the milliseconds to charge
// to the host: what the wait took, but at least 1 and never more than a step. A wait that
// took longer was our own stall (the process was stopped, or not scheduled), and while it
// lasted the host could read on, so it must not count against the host.
std::uint32_t wait_for_room() {
    const std::uint32_t before_ms = monotonic_ms();
    pollfd output{host_output_fd, POLLOUT, 0};
    poll(&output, 1, write_wait_ms);
    return std::clamp<std::uint32_t>(monotonic_ms() - before_ms, 1, write_wait_ms);
}

}  // namespace

bool HostStream::poll_input(std::uint32_t now_ms, const ContactHandler& on_contact) {
    if (!enabled) return true;
    if (ended) return false;
    int lines = 0;
    for (int attempt = 0; attempt < max_reads_per_poll; ++attempt) {
        char byte;
        ssize_t n = read(host_input_fd, &byte, 1);
        if (n == 0) {
            // The host hung up: whatever finger it had down is lifted, and a half line is dropped.
            ended = true;
            line.clear();
            on_contact(false, 0, 0, now_ms);
            return false;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            throw std::runtime_error("host-stream input pipe");
        }
        if (byte != '\n') {
            if (!printable(byte) || line.size() >= max_line_chars)
                throw std::runtime_error("host-stream contact bounds");
            line.push_back(byte);
            continue;
        }
        accept_line(now_ms, on_contact);
        if (++lines == max_lines_per_poll) return true;
    }
    return true;
}

void HostStream::accept_line(std::uint32_t now_ms, const ContactHandler& on_contact) {
    std::optional<ContactLine> contact = parse_contact_line(line, last_contact_ms, now_ms);
    if (!contact) throw std::runtime_error("host-stream invalid contact");
    last_contact_ms = contact->t_ms;
    line.clear();
    // Holds are timed on our clock from the frame that read the line, never on the host's.
    on_contact(contact->down, contact->x, contact->y, now_ms);
}

bool HostStream::write_frame(const Canvas& canvas) {
    rgb_bytes(canvas.data(), canvas.size(), record.data() + host_record_header_bytes);
    return write_record();
}

bool HostStream::write_record() {
    std::uint32_t waited_ms = 0;
    std::size_t written = 0;
    while (written < record.size()) {
        // A host that stopped reading is no reason to keep a stop waiting.
        if (stop_requested()) return false;
        if (waited_ms >= write_deadline_ms) throw std::runtime_error("host-stream slow reader");
        ssize_t n = write(host_output_fd, record.data() + written, record.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // The host is behind; a record is larger than the pipe, so wait for it in short steps.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waited_ms += wait_for_room();
            continue;
        }
        throw std::runtime_error("host-stream output pipe");
    }
    return true;
}

}  // namespace skimbo
