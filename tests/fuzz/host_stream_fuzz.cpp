// What a host writes to standard input, arriving through a real pipe in pieces between frames
// whose session times move on by varying steps; then the host hangs up.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "hoststream/host_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int host_end[2];  // descriptor 0 becomes the read end of a fresh non-blocking pipe
    if (pipe2(host_end, O_NONBLOCK | O_CLOEXEC) != 0 || dup2(host_end[0], 0) != 0 || close(host_end[0]) != 0) std::abort();
    skimbo::HostStream host(true);
    std::uint32_t now_ms = 0;
    int samples = 0;
    const skimbo::ContactHandler on_contact = [&](bool, int x, int y, unsigned t_ms) {
        if (x < 0 || x > 639 || y < 0 || y > 171 || t_ms != now_ms || ++samples > 64) std::abort();
    };
    try {
        for (bool open = true; open && in.remaining_bytes() > 0; samples = 0) {
            const std::string piece = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 300));
            if (write(host_end[1], piece.data(), piece.size()) < 0) std::abort();
            now_ms += in.ConsumeIntegralInRange<std::uint32_t>(0, 2000);
            open = host.poll_input(now_ms, on_contact);
        }
        close(host_end[1]), host_end[1] = -1;
        while (host.poll_input(now_ms, on_contact)) samples = 0;
        if (!host.ended || host.poll_input(now_ms, on_contact)) std::abort();
    } catch (const std::runtime_error&) {
    }
    close(host_end[1]);
    return 0;
}
