// The bird: one of six frames, turned by its angle around (150, centre row) and
// resampled bilinearly in 8-bit fixed point.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "render/art_data.h"
#include "render/assets.h"
#include "render/blend.h"
#include "render/fused.h"
#include "render/pixel_vectors.h"
#include "render/scene_parts.h"
#include "render/spans.h"

namespace skimbo {
namespace {

using pixel_vectors::u16x8;
using pixel_vectors::u8x16;
using u64x2 = std::uint64_t __attribute__((vector_size(16)));

constexpr float bird_column = 150.0f;
constexpr int reach_rows = 19;
constexpr int w = bird_width, h = bird_height;
constexpr float half_w = w * 0.5f, half_h = h * 0.5f;

// Two neighbouring pixels' channels as 16-bit lanes: the left one in lanes 0-3.
u16x8 channel_pair(const std::uint32_t* left) {
    std::uint64_t two;
    std::memcpy(&two, left, sizeof two);
    return reinterpret_cast<u16x8>(__builtin_shufflevector(reinterpret_cast<u8x16>(u64x2{two, 0}), u8x16{},  //
                                                           0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23));
}

// floor(t) for -1 < t < 64: the truncation, one less where that rounded up.
int floor_small(float t) {
    const int truncated = static_cast<int>(t);
    return truncated - (t < static_cast<float>(truncated));
}

// The four taps around (u, v), weighted 256 - fx and fx across, 256 - fy and fy down. The
// sums run across first, four channels at a time in 16 bits (two channels times weights
// that add up to 256 stay below 2^16), then down, two channels at a time in the 32-bit
// halves of a 64-bit word: the same integers as every tap times wx * wy. Taps beyond the
// frame land on its clear border and add nothing.
std::uint32_t sample_bilinear(const std::uint32_t* padded, float u, float v) {
    const int x0 = floor_small(u), y0 = floor_small(v);
    const auto fu = static_cast<float>(x0), fv = static_cast<float>(y0);
    auto fx = static_cast<std::uint16_t>((u - fu) * 256.0f);
    auto fy = static_cast<std::uint64_t>((v - fv) * 256.0f);
    const std::uint32_t* top = padded + (y0 + 1) * padded_bird_width + (x0 + 1);
    const auto left = static_cast<std::uint16_t>(256 - fx);
    const u16x8 weights = {left, left, left, left, fx, fx, fx, fx};
    u16x8 upper = channel_pair(top) * weights, lower = channel_pair(top + padded_bird_width) * weights;
    u16x8 across = __builtin_shufflevector(upper, lower, 0, 1, 2, 3, 8, 9, 10, 11) +
                   __builtin_shufflevector(upper, lower, 4, 5, 6, 7, 12, 13, 14, 15);
    const u64x2 rows = reinterpret_cast<u64x2>(across);
    constexpr std::uint64_t even = 0x0000FFFF0000FFFFull, half = 0x0000800000008000ull;
    const std::uint64_t blue_red = (rows[0] & even) * (256 - fy) + (rows[1] & even) * fy + half;
    const std::uint64_t green_alpha = (rows[0] >> 16 & even) * (256 - fy) + (rows[1] >> 16 & even) * fy + half;
    return static_cast<std::uint32_t>((blue_red >> 16 & 0xFFu) | (green_alpha >> 8 & 0xFF00u) |
                                      (blue_red >> 32 & 0xFF0000u) | (green_alpha >> 24 & 0xFF000000u));
}

// The columns of row offset dy (from the centre) where -1 < u < w and -1 < v < h can hold,
// widened well beyond any rounding of the per-pixel test, which still decides every pixel.
struct Columns {
    int first, last;  // inclusive
};

// Where |a * dx + b| < half lies, as an interval of dx; all or nothing when a is negligible.
void limit(double a, double b, double half, double& lo, double& hi) {
    constexpr double margin = 0.01;
    half += margin;
    if (std::fabs(a) < 1e-6) {
        if (std::fabs(b) >= half + 1e-3) hi = lo - 1;  // no column can pass
        return;
    }
    double from = (-half - b) / a, to = (half - b) / a;
    lo = std::max(lo, std::min(from, to));
    hi = std::min(hi, std::max(from, to));
}

Columns reachable_columns(float dy, float sn, float cs) {
    double lo = bird_first_column - 1 - double{bird_column}, hi = bird_last_column + 1 - double{bird_column};
    limit(cs, static_cast<double>(dy) * sn, half_w + 0.5, lo, hi);  // u = 12.5 + dx cs + dy sn
    limit(-sn, static_cast<double>(dy) * cs, half_h + 0.5, lo, hi);  // v = 9.5 - dx sn + dy cs
    if (!(lo <= hi)) return {1, 0};
    // dx = x + 0.5 - 150; one more column on each side.
    return {std::max(bird_first_column, static_cast<int>(std::floor(lo + 149.5)) - 1),
            std::min(bird_last_column, static_cast<int>(std::ceil(hi + 149.5)) + 1)};
}

// An unturned bird (sine 0, cosine 1) needs no turn per pixel: the turned computation gives
// u = (13 + dx) - 0.5, the whole number x - 137, and one v for a whole row. With no fraction
// across, each of the 26 columns x = 137..162 is frame column x - 137 of two frame rows mixed
// by fy: per channel (top * (256 - fy) + bottom * fy + 128) >> 8, which is the four-tap sum
// with weights 256 and 0 across, and stays below 2^16.
constexpr int unturned_first_column = 137;

void draw_unturned_row(std::uint32_t* canvas_row, const std::uint32_t* padded, float v) {
    namespace pv = pixel_vectors;
    const int y0 = floor_small(v);
    const auto fy = static_cast<std::uint16_t>((v - static_cast<float>(y0)) * 256.0f);
    // Whole padded rows, border columns included, so that the vectors stay inside the frame.
    const std::uint32_t* top = padded + (y0 + 1) * padded_bird_width;
    const std::uint32_t* bottom = top + padded_bird_width;
    const pv::u16x8 upper = pv::u16x8{} + static_cast<std::uint16_t>(256 - fy), lower = pv::u16x8{} + fy;
    auto mix = [&](pv::u16x8 t, pv::u16x8 b) { return (t * upper + b * lower + 128) >> 8; };
    std::array<std::uint32_t, padded_bird_width> mixed;
    static_assert(padded_bird_width % pv::step == 0);
    for (std::size_t col = 0; col < mixed.size(); col += pv::step) {
        const pv::u32x4 t = pv::load(top + col), b = pv::load(bottom + col);
        pv::store(mixed.data() + col, pv::narrow(mix(pv::widen_low(t), pv::widen_low(b)),
                                                 mix(pv::widen_high(t), pv::widen_high(b))));
    }
    blend_span(canvas_row + unturned_first_column, mixed.data() + 1, w);
}

const std::uint32_t* padded_frame(int sprite) {
    int frame = sprite >= bird_flight_first ? sprite - bird_flight_first : 4 + sprite - bird_stunned_first;
    return art_data::bird_padded[frame];
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
    const std::uint32_t* frame = padded_frame(bird_sprite_index(view.anim_clock, view.phase));
    float angle = std::isfinite(view.bird_angle) ? view.bird_angle : 0.0f;
    float turn = std::fmod(angle, 360.0f) * 0.017453292f;
    float sn = std::sin(turn), cs = std::cos(turn);
    if (sn == 0.0f && cs == 1.0f) {
        for (int y = rows->first; y < rows->last; ++y) {
            float v = (half_h + ((static_cast<float>(y) + 0.5f) - rows->centre)) - 0.5f;
            if (v > -1.0f && v < h) draw_unturned_row(canvas + y * canvas_width, frame, v);
        }
        return;
    }
    for (int y = rows->first; y < rows->last; ++y) {
        float dy = (static_cast<float>(y) + 0.5f) - rows->centre;
        const Columns reach = reachable_columns(dy, sn, cs);
        for (int x = reach.first; x <= reach.last; ++x) {
            float dx = (static_cast<float>(x) + 0.5f) - bird_column;
            // The turn is fused multiply-adds; fusing on the half size w*0.5 (resp. h*0.5)
            // is a plain addition, since that product is exact.
            float u = (half_w + fused_multiply_add(dx, cs, dy * sn)) - 0.5f;
            float v = (half_h + fused_multiply_add(-dx, sn, dy * cs)) - 0.5f;
            if (!(u > -1.0f && u < w && v > -1.0f && v < h)) continue;
            blend_pixel(canvas[y * canvas_width + x], sample_bilinear(frame, u, v));
        }
    }
}

}  // namespace skimbo
