// A peer on the same buffers: a well-kept compositing library doing what our hot paths do,
// so that our timings can also be quoted against a mature implementation.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <array>
#include <cstdint>
#include <memory>

#include "bench/fixtures.h"
#include "display/present.h"
#include "render/assets.h"
#include "render/blit.h"
#include "render/scene_parts.h"

namespace {

using namespace skimbo;

// The canvas's 0x00RRGGBB words are the library's x8r8g8b8 format.
pixman_image_t* canvas_image(Canvas& canvas) {
    return pixman_image_create_bits(PIXMAN_x8r8g8b8, canvas_width, canvas_height, canvas.data(), canvas_width * 4);
}

struct Image {
    pixman_image_t* image;
    explicit Image(pixman_image_t* created) : image(created) {}
    ~Image() { pixman_image_unref(image); }
};

// Our veil over the whole canvas.
void BM_VeilOurs(benchmark::State& state) {
    const auto canvas = bench::random_canvas(7);
    for (auto _ : state) {
        dim_canvas(canvas->data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_VeilOurs);

// The library's solid OVER of the same premultiplied colour over the same canvas.
void BM_VeilPixman(benchmark::State& state) {
    const auto canvas = bench::random_canvas(7);
    const Image target(canvas_image(*canvas));
    const auto channel = [](int shift) { return static_cast<std::uint16_t>((dimming_colour >> shift & 0xFF) * 257); };
    const pixman_color_t veil{channel(16), channel(8), channel(0), channel(24)};
    const Image solid(pixman_image_create_solid_fill(&veil));
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, solid.image, nullptr, target.image, 0, 0, 0, 0, 0, 0, canvas_width,
                                 canvas_height);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_VeilPixman);

// The library's rotated composite into an RGB565 portrait image: panel (px, py) shows canvas
// (py, 171 - px), so a panel pixel centre maps to canvas (py + 0.5, 172 - (px + 0.5)).
void BM_PresentPixman(benchmark::State& state) {
    const auto canvas = bench::random_canvas(42);
    auto panel = std::make_unique<std::array<std::uint16_t, canvas_pixel_count>>();
    const Image source(canvas_image(*canvas));
    const Image target(pixman_image_create_bits(PIXMAN_r5g6b5, canvas_height, canvas_width,
                                                reinterpret_cast<std::uint32_t*>(panel->data()), canvas_height * 2));
    pixman_transform_t turn;
    pixman_transform_init_identity(&turn);
    turn.matrix[0][0] = 0;
    turn.matrix[0][1] = pixman_fixed_1;
    turn.matrix[1][0] = -pixman_fixed_1;
    turn.matrix[1][1] = 0;
    turn.matrix[1][2] = pixman_int_to_fixed(canvas_height);
    pixman_image_set_transform(source.image, &turn);
    pixman_image_set_filter(source.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, source.image, nullptr, target.image, 0, 0, 0, 0, 0, 0, canvas_height,
                                 canvas_width);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PresentPixman);

// One sprite: the play button over the canvas, ours and the library's OVER of the same
// premultiplied pixels.
constexpr int sprite_x = 300, sprite_y = 105;

void BM_SpriteOurs(benchmark::State& state) {
    const auto canvas = bench::random_canvas(9);
    const Sprite& button = sprite_table[play_button_sprite];
    for (auto _ : state) {
        blit_sprite(canvas->data(), button, sprite_x, sprite_y, 0, canvas_height);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SpriteOurs);

void BM_SpritePixman(benchmark::State& state) {
    const auto canvas = bench::random_canvas(9);
    const Sprite& button = sprite_table[play_button_sprite];
    const Image target(canvas_image(*canvas));
    const Image source(pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(button.width),
                                                static_cast<int>(button.height),
                                                const_cast<std::uint32_t*>(button.pixels),
                                                static_cast<int>(button.width * 4)));
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, source.image, nullptr, target.image, 0, 0, 0, 0, sprite_x, sprite_y,
                                 static_cast<int>(button.width), static_cast<int>(button.height));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SpritePixman);

}  // namespace
