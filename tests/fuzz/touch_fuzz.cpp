// Kernel input events from the touch screen, queued in pieces of varying size between reads;
// every report must put its contact on the panel.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <linux/input.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "input/touch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    int kernel[2];
    if (pipe2(kernel, O_NONBLOCK | O_CLOEXEC) != 0) std::abort();
    skimbo::TouchDevice touch;
    touch.fd = kernel[0], touch.width = 172, touch.height = 640;
    while (in.remaining_bytes() > 0) {
        std::vector<input_event> events(in.ConsumeIntegralInRange<std::size_t>(1, 16));
        for (input_event& e : events) {
            e.type = in.ConsumeIntegralInRange<std::uint16_t>(0, 4);
            e.code = in.ConsumeIntegral<std::uint16_t>();
            e.value = in.ConsumeIntegral<std::int32_t>();
        }
        if (write(kernel[1], events.data(), events.size() * sizeof(input_event)) < 0) std::abort();
        int result;
        while ((result = touch.read_report()) == 1) {
            const bool on_panel = touch.contact_x >= 0 && touch.contact_x <= 171 && touch.contact_y >= 0;
            if (touch.contact_count > 1 || !on_panel || touch.contact_y > 639) std::abort();
        }
        if (result != 0 || touch.reports_seen > touch.events_seen) std::abort();
    }
    close(kernel[1]);
    return 0;
}
