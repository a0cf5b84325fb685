// What a host writes to standard input, arriving through a real pipe in pieces between frames
// whose session times move on by varying steps; then the host hangs up.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "hoststream/host_stream.h"

namespace {

// Descriptor 0 becomes the read end of a fresh non-blocking pipe; returns the write end.
int fresh_standard_input() {
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0 || dup2(ends[0], 0) != 0) std::abort();
    close(ends[0]);
    return ends[1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int host_end = fresh_standard_input();
    skimbo::HostStream host(true);
    std::uint32_t now_ms = 0;
    int samples = 0;
    const skimbo::ContactHandler on_contact = [&](bool, int x, int y, unsigned t_ms) {
        if (x < 0 || x > 639 || y < 0 || y > 171 || t_ms != now_ms) std::abort();
        ++samples;
    };
    try {
        for (bool open = true; open && in.remaining_bytes() > 0;) {
            const std::string piece = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 300));
            if (write(host_end, piece.data(), piece.size()) < 0) std::abort();
            now_ms += in.ConsumeIntegralInRange<std::uint32_t>(0, 2000);
            samples = 0;
            open = host.poll_input(now_ms, on_contact);
            if (samples > 64) std::abort();  // a flooding host cannot hold a frame
        }
        close(host_end);
        host_end = -1;
        while (host.poll_input(now_ms, on_contact)) {}
        if (!host.ended || host.poll_input(now_ms, on_contact)) std::abort();
    } catch (const std::runtime_error&) {
    }
    if (host_end >= 0) close(host_end);
    return 0;
}
