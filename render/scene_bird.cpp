// The bird: one of six frames, turned by its angle around (150, centre row) and
// resampled bilinearly in 8-bit fixed point.
#include <cmath>
#include <cstdint>
#include <optional>

#include "render/assets.h"
#include "render/blend.h"
#include "render/scene_parts.h"

namespace skimbo {
namespace {

constexpr float bird_column = 150.0f;
constexpr int first_column = 131, last_column = 169;  // inclusive; covers any turn
constexpr int reach_rows = 19;
constexpr int w = 26, h = 20;
constexpr float half_w = w * 0.5f, half_h = h * 0.5f;

// The frame's pixel (col, row) weighted by weight, added into four channel sums.
struct Sums {
    std::uint32_t a = 0, r = 0, g = 0, b = 0;

    void add(const Sprite& sprite, int col, int row, std::uint32_t weight) {
        if (col < 0 || col >= w || row < 0 || row >= h) return;
        std::uint32_t p = sprite.pixels[row * w + col];
        a += (p >> 24) * weight;
        r += (p >> 16 & 0xFFu) * weight;
        g += (p >> 8 & 0xFFu) * weight;
        b += (p & 0xFFu) * weight;
    }

    std::uint32_t word() const {
        auto channel = [](std::uint32_t sum) { return (sum + 32768) >> 16; };
        return channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
    }
};

std::uint32_t sample_bilinear(const Sprite& sprite, float u, float v) {
    float fu = std::floor(u), fv = std::floor(v);
    int x0 = static_cast<int>(fu), y0 = static_cast<int>(fv);
    std::uint32_t fx = static_cast<std::uint32_t>((u - fu) * 256.0f);
    std::uint32_t fy = static_cast<std::uint32_t>((v - fv) * 256.0f);
    Sums sums;
    sums.add(sprite, x0, y0, (256 - fx) * (256 - fy));
    sums.add(sprite, x0 + 1, y0, fx * (256 - fy));
    sums.add(sprite, x0, y0 + 1, (256 - fx) * fy);
    sums.add(sprite, x0 + 1, y0 + 1, fx * fy);
    return sums.word();
}

}  // namespace

int bird_sprite_index(float anim_clock, ViewPhase phase) {
    float a = std::isfinite(anim_clock) && std::isfinite(anim_clock * 10.0f) ? anim_clock : 0.0f;
    int f = static_cast<int>(std::fmod(a * 10.0f, 4.0f));
    if (f < 0) f += 4;
    return phase == ViewPhase::GameOver ? bird_stunned_first + (f & 1) : bird_flight_first + f;
}

std::optional<BirdRows> bird_rows(float bird_y) {
    if (!std::isfinite(bird_y)) return BirdRows{79.0f, 60, 98};
    if (bird_y <= -40.0f || bird_y >= 212.0f) return std::nullopt;
    int first = static_cast<int>(std::floor(bird_y)) - reach_rows;
    int last = static_cast<int>(std::ceil(bird_y)) + reach_rows;
    return BirdRows{bird_y, first < 0 ? 0 : first, last > world_rows ? world_rows : last};
}

void draw_bird(std::uint32_t* canvas, const SceneView& view) {
    std::optional<BirdRows> rows = bird_rows(view.bird_y);
    if (!rows) return;
    const Sprite& sprite = sprite_table[bird_sprite_index(view.anim_clock, view.phase)];
    float angle = std::isfinite(view.bird_angle) ? view.bird_angle : 0.0f;
    float turn = std::fmod(angle, 360.0f) * 0.017453292f;
    float sn = std::sin(turn), cs = std::cos(turn);
    for (int y = rows->first; y < rows->last; ++y) {
        float dy = (static_cast<float>(y) + 0.5f) - rows->centre;
        for (int x = first_column; x <= last_column; ++x) {
            float dx = (static_cast<float>(x) + 0.5f) - bird_column;
            // The turn is fused multiply-adds; fusing on the half size w*0.5 (resp. h*0.5)
            // is a plain addition, since that product is exact.
            float u = (half_w + std::fmaf(dx, cs, dy * sn)) - 0.5f;
            float v = (half_h + std::fmaf(-dx, sn, dy * cs)) - 0.5f;
            if (!(u > -1.0f && u < w && v > -1.0f && v < h)) continue;
            blend_pixel(canvas[y * canvas_width + x], sample_bilinear(sprite, u, v));
        }
    }
}

}  // namespace skimbo
