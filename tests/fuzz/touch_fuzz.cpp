// Kernel input events from the touch screen, queued in pieces of varying size between reads.
// Every report must put its contact on the panel, and so on the canvas.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <linux/input.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "display/rotation.h"
#include "input/touch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) std::abort();
    skimbo::TouchDevice touch;
    touch.fd = ends[0];
    touch.width = 172;
    touch.height = 640;
    skimbo::RotationMap panel;
    panel.init(172, 640, 270);
    while (in.remaining_bytes() > 0) {
        std::vector<input_event> events(in.ConsumeIntegralInRange<std::size_t>(1, 16));
        for (input_event& e : events) {
            e.type = in.ConsumeIntegralInRange<std::uint16_t>(0, 4);
            e.code = in.ConsumeIntegral<std::uint16_t>();
            e.value = in.ConsumeIntegral<std::int32_t>();
        }
        if (write(ends[1], events.data(), events.size() * sizeof(input_event)) < 0) std::abort();
        int result;
        while ((result = touch.read_report()) == 1) {
            if (touch.contact_count == 0) continue;
            const skimbo::LogicalPoint at = panel.to_logical(touch.contact_x, touch.contact_y);
            if (touch.contact_count != 1 || at.x < 0 || at.x > 639 || at.y < 0 || at.y > 171) std::abort();
        }
        if (result != 0 || touch.reports_seen > touch.events_seen) std::abort();
    }
    close(ends[1]);
    return 0;
}
