// The world layer: the scrolling backdrop and clouds, the pipes, and the ground strip.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "render/assets.h"
#include "render/blend.h"
#include "render/blit.h"
#include "render/scene_parts.h"

namespace skimbo {
namespace {

constexpr int ground_rows = canvas_height - world_rows;
constexpr int pipe_width = 36;
constexpr int pipe_cap_height = 12;
constexpr int pipe_body_row = 40;
constexpr int gap_half_height = 34;
constexpr std::uint32_t grass_base = 0x83B34F;
constexpr std::uint32_t earth_base = 0x99744D;
constexpr int grass_base_rows = 4;

float usable(float v) { return std::isfinite(v) ? v : 0.0f; }

// trunc(fmod(s * factor, period)) moved into [0, period).
int wrapped_phase(float scroll, float factor, int period) {
    float product = usable(scroll) * factor;
    int phase = static_cast<int>(std::fmod(usable(product), static_cast<float>(period)));
    return phase < 0 ? phase + period : phase;
}

// Copies width words of opaque art, clearing the alpha byte the canvas must not carry.
void copy_opaque(std::uint32_t* dst, const std::uint32_t* src, int width) {
    for (int i = 0; i < width; ++i) dst[i] = src[i] & 0x00FFFFFFu;
}

// dst = base with src blended over it, for n pixels of premultiplied art.
void blend_over_colour(std::uint32_t* dst, const std::uint32_t* src, int n, std::uint32_t base) {
    for (int i = 0; i < n; ++i) dst[i] = blend_premultiplied(base, src[i]);
}

}  // namespace

int round_clamp(float v, int lo, int hi) {
    float clamped = std::clamp(usable(v), static_cast<float>(lo), static_cast<float>(hi));
    return static_cast<int>(std::round(clamped));
}

int backdrop_offset(float scroll) { return wrapped_phase(scroll, 0.12f, canvas_width); }
int cloud_offset(float scroll) { return wrapped_phase(scroll, 0.23f, 760); }
int ground_offset(float scroll) { return wrapped_phase(scroll, 1.0f, static_cast<int>(ground_strip.width)); }

void draw_backdrop(std::uint32_t* canvas, float scroll) {
    int o = backdrop_offset(scroll);
    for (int row = 0; row < world_rows; ++row) {
        const std::uint32_t* src = backdrop_image.pixels + row * canvas_width;
        std::uint32_t* dst = canvas + row * canvas_width;
        copy_opaque(dst, src + o, canvas_width - o);
        copy_opaque(dst + canvas_width - o, src, o);
    }
}

void draw_clouds(std::uint32_t* canvas, float scroll) {
    struct Placement {
        int start, y;
    };
    constexpr Placement clouds[] = {{820, 37}, {1083, 15}, {1346, 37}};
    int k = cloud_offset(scroll);
    const Sprite& cloud = sprite_table[cloud_sprite];
    for (Placement c : clouds) blit_sprite(canvas, cloud, (c.start - k) % 760 - 64, c.y, 0, world_rows);
}

void draw_pipe(std::uint32_t* canvas, int x, int top, int bottom, bool cap_at_bottom) {
    int r0 = std::max(top, 0), r1 = std::min(bottom, world_rows);
    int c0 = std::max(x, 0), c1 = std::min(x + pipe_width, canvas_width);
    const std::uint32_t* body = pipe_body_image.pixels + pipe_body_row * pipe_body_image.width;
    for (int row = r0; row < r1; ++row) {
        std::uint32_t* dst = canvas + row * canvas_width;
        for (int col = c0; col < c1; ++col) dst[col] = blend_premultiplied(dst[col], body[col - x]);
    }
    int cap_y = cap_at_bottom ? bottom - pipe_cap_height : top;
    blit_sprite(canvas, sprite_table[pipe_cap_sprite], x, cap_y, r0, r1);
}

void draw_pipe_pair(std::uint32_t* canvas, float x, float gap_y) {
    if (!std::isfinite(x) || !std::isfinite(gap_y) || !(x >= -36.0f && x < 640.0f)) return;
    int xi = round_clamp(x, -pipe_width, canvas_width);
    int gi = round_clamp(gap_y, -1000, 1000);
    draw_pipe(canvas, xi, 0, gi - gap_half_height, true);
    draw_pipe(canvas, xi, gi + gap_half_height, world_rows, false);
}

void draw_ground(std::uint32_t* canvas, float scroll) {
    int g = ground_offset(scroll);
    int period = static_cast<int>(ground_strip.width);
    for (int r = 0; r < ground_rows; ++r) {
        std::uint32_t base = r < grass_base_rows ? grass_base : earth_base;
        const std::uint32_t* src = ground_strip.pixels + r * period;
        std::uint32_t* dst = canvas + (world_rows + r) * canvas_width;
        // The tile repeats in whole spans: from column g to its end, then from 0.
        for (int x = 0, j = g; x < canvas_width; j = 0) {
            int n = std::min(period - j, canvas_width - x);
            blend_over_colour(dst + x, src + j, n, base);
            x += n;
        }
    }
}

}  // namespace skimbo
