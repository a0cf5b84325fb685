// A replay file's bytes. An accepted script holds only samples on the canvas, in time order.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "input/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto events = skimbo::parse_replay({reinterpret_cast<const char*>(data), size});
        for (std::size_t i = 0; i < events.size(); ++i) {
            const skimbo::ReplayEvent& e = events[i];
            if (e.x < 0 || e.x > 639 || e.y < 0 || e.y > 171 || (i > 0 && e.t_ms < events[i - 1].t_ms)) std::abort();
        }
    } catch (const std::runtime_error&) {
    }
    return 0;
}
