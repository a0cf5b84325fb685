// Presentation against the plain rule: every row converted every frame, written if changed or forced.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "display/present.h"

namespace skimbo {
namespace {

TEST(PresentReference, PanelBytesAndCountersFollowThePlainRuleFrameAfterFrame) {
    Framebuffer fb;  // the qualified panel, in memory that fb_close unmaps
    fb.xres = 172, fb.yres = 640, fb.bpp = 16, fb.line_length = 344, fb.map_len = 640 * 344;
    fb.red = {11, 5}, fb.green = {5, 6}, fb.blue = {0, 5};
    fb.map = static_cast<std::uint8_t*>(mmap(nullptr, fb.map_len, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_TRUE(fb.map != MAP_FAILED && fb_allocate_buffers(fb) == 0);
    const RotationMap rotation{270, 172, 640, 640, 172};
    std::vector<std::uint16_t> written(640 * 172), row(172);
    std::uint64_t rows_written = 0;
    std::mt19937 rng(17);
    auto canvas = std::make_unique<Canvas>(), one_back = std::make_unique<Canvas>(), two_back = std::make_unique<Canvas>();
    for (unsigned frame = 0; frame < 160; ++frame) {  // pixels (some below the colour depth), a box, all, or back to before
        const std::size_t x = rng() % 640, y = rng() % 172, w = std::min(rng() % 80, 640 - x), h = std::min(rng() % 60, 172 - y);
        for (std::size_t i = 0; i < canvas->size() && frame % 4 == 2; ++i) (*canvas)[i] = rng() & 0xFFFFFF;
        if (frame % 4 == 3) *canvas = *two_back;
        for (int k = 0; k < 3 && frame % 4 == 0; ++k) (*canvas)[rng() % canvas->size()] ^= rng() % 2 ? 0x070307 : rng() & 0xFFFFFF;
        for (std::size_t r = y; r < y + h && frame % 4 == 1; ++r) std::fill_n(canvas->data() + r * 640 + x, w, rng() & 0xFFFFFF);
        const bool forced = (fb.force_full = frame == 0 || rng() % 9 == 0);
        fb_present(fb, *canvas, rotation);
        for (std::size_t r = 0; r < 640; ++r) {
            for (std::size_t c = 0, p; c < 172 && (p = (*canvas)[(171 - c) * 640 + r], true); ++c)
                row[c] = static_cast<std::uint16_t>((p >> 19 & 31) << 11 | (p >> 10 & 63) << 5 | (p >> 3 & 31));
            if (forced || std::memcmp(row.data(), &written[r * 172], 344) != 0) ++rows_written, std::memcpy(&written[r * 172], row.data(), 344);
        }
        ASSERT_TRUE(fb.rows_written == rows_written && fb.frames_presented == frame + 1u) << "frame " << frame;
        ASSERT_EQ(std::memcmp(fb.map, written.data(), fb.map_len), 0) << "frame " << frame;
        *two_back = std::exchange(*one_back, *canvas);
    }
}

}  // namespace
}  // namespace skimbo
