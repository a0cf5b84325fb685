// The bird: one of six frames, turned by its angle around (150, centre row) and
// resampled bilinearly in 8-bit fixed point.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "render/art_data.h"
#include "render/assets.h"
#include "render/blend.h"
#include "render/fused.h"
#include "render/pixel_vectors.h"
#include "render/scene_parts.h"
#include "render/spans.h"

#ifdef __x86_64__
#include <immintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

namespace skimbo {
namespace {

using pixel_vectors::u16x8;
using pixel_vectors::u32x4;
using pixel_vectors::u8x16;
using u64x2 = std::uint64_t __attribute__((vector_size(16)));

constexpr float bird_column = 150.0f;
constexpr int reach_rows = 19;
constexpr int w = bird_width, h = bird_height;
constexpr float half_w = w * 0.5f, half_h = h * 0.5f;

// floor(t) for |t| < 2^31: the truncation, one less where that rounded up.
int floor_small(float t) {
    const int truncated = static_cast<int>(t);
    return truncated - (t < static_cast<float>(truncated));
}

// Where each column a turned row may reach samples the frame: the padded frame's index of its
// top-left tap, and the weights of its taps for the fractions fx across and fy down in 256ths:
// across the 16-bit pair 256 - fx (low half) and fx, down 256 - fy and fy. A column outside
// the frame gets the index of the blank cell past the frame's own.
constexpr int reach_width = 40;  // whole blocks
constexpr int reach_columns = bird_last_column - bird_first_column + 1;
static_assert(reach_width >= reach_columns);
// Columns turned side by side: a vector of floats, 32 bytes on x86-64 where the fused
// multiply-add is an instruction, 16 on the device.
#ifdef __aarch64__
constexpr int block_width = 4;
#else
constexpr int block_width = 8;
#endif
static_assert(reach_width % block_width == 0);

struct RowSamples {
    alignas(32) std::int32_t cell[reach_width];
    alignas(32) std::uint32_t across[reach_width];
    alignas(32) std::uint32_t up[reach_width], down[reach_width];
};

// Each column's distance from the turning point, dx = x + 0.5 - 150; the columns that fill the
// last vector lie so far out that no turn brings them into the frame.
constexpr std::array<float, reach_width> column_dx = [] {
    std::array<float, reach_width> dx{};
    for (int i = 0; i < reach_width; ++i)
        dx[i] = i < reach_columns ? (static_cast<float>(bird_first_column + i) + 0.5f) - bird_column : 1000.0f;
    return dx;
}();

// floor(t) as a whole number and as a float, for the turn's points (|t| < 2^31): the device
// rounds down in one instruction.
struct Floor {
    int whole;
    float value;
};

[[gnu::always_inline]] inline Floor floor_of(float t) {
#ifdef __aarch64__
    const float value = std::floor(t);
    return {static_cast<int>(value), value};
#else
    const int whole = floor_small(t);
    return {whole, static_cast<float>(whole)};
#endif
}

template <bool instruction>
[[gnu::always_inline]] inline float turn_term(float a, float b, float c) {
    if constexpr (instruction) return std::fmaf(a, b, c);
    else return fused_multiply_add(a, b, c);
}

// The turn of one row, every column side by side: u = 12.5 + dx cs + dy sn and v = 9.5 - dx sn
// + dy cs as fused multiply-adds (fusing on the half size w*0.5, resp. h*0.5, is a plain
// addition, since that product is exact), then the taps and weights of the point (u, v).
// Only the blocks of columns from first_block to last_block are placed.
template <bool instruction>
[[gnu::always_inline]] inline void place_row(float dy, float sn, float cs, int first_block, int last_block,
                                             RowSamples& out) {
    const float dy_sn = dy * sn, dy_cs = dy * cs;
    for (int block = first_block; block <= last_block; ++block)
    for (int k = 0; k < block_width; ++k) {
        const int i = block * block_width + k;
        const float dx = column_dx[i];
        const float u = (half_w + turn_term<instruction>(dx, cs, dy_sn)) - 0.5f;
        const float v = (half_h + turn_term<instruction>(-dx, sn, dy_cs)) - 0.5f;
        const auto [x0, left] = floor_of(u);
        const auto [y0, upper] = floor_of(v);
        // A point outside -1 <= u < w, -1 <= v < h gets a cell of the last column or row of the
        // padded frame, whose taps all lie on its clear border: a blank cell. (At u or v exactly
        // -1 the only taps weighted are the clear border's too, a sample that leaves the pixel as
        // it is, like no sample.)
        const unsigned column = std::min(static_cast<unsigned>(x0 + 1), unsigned{w + 1});
        const unsigned row = std::min(static_cast<unsigned>(y0 + 1), unsigned{h + 1});
        out.cell[i] = static_cast<std::int32_t>(row * padded_bird_width + column);
        // In [0, 256): converted as signed, which is one instruction, then taken as unsigned.
        const auto fx = static_cast<std::uint32_t>(static_cast<int>((u - left) * 256.0f));
        const auto fy = static_cast<std::uint32_t>(static_cast<int>((v - upper) * 256.0f));
        out.across[i] = (256 - fx) | fx << 16;
        out.up[i] = 256 - fy, out.down[i] = fy;
    }
}

// A pixel's four channels, one in each 32-bit lane.
u32x4 channels(const std::uint32_t* pixel) {
    std::uint32_t word;
    std::memcpy(&word, pixel, sizeof word);
    const auto pairs = reinterpret_cast<u32x4>(pixel_vectors::widen_low(u32x4{word}));
    return reinterpret_cast<u32x4>(pixel_vectors::widen_low(pairs));
}

// Two neighbouring taps as 16-bit lanes, channel by channel, the left tap's first:
// left blue, right blue, left green ...
u16x8 tap_pairs(const std::uint32_t* left) {
    std::uint64_t two;
    std::memcpy(&two, left, sizeof two);
    const auto bytes = reinterpret_cast<u8x16>(u64x2{two, 0});
    return reinterpret_cast<u16x8>(
        __builtin_shufflevector(bytes, bytes, 0, 8, 4, 8, 1, 8, 5, 8, 2, 8, 6, 8, 3, 8, 7, 8));
}

// The four taps from cell `top` on, each channel the sum of taps times weights, rounded to 8
// bits, in the third byte of its lane (every sum stays below 2^24): each tap pair times
// 256 - fx and fx summed in 16 bits (below 2^16, as the weights add up to 256), then the two
// rows times 256 - fy and fy in 32 bits. Taps beyond the frame land on its clear border and
// add nothing.
[[gnu::always_inline]] inline u32x4 sample_taps(const std::uint32_t* top, const RowSamples& s, int i) {
    const auto across = reinterpret_cast<u16x8>(u32x4{} + s.across[i]);
    const auto upper = reinterpret_cast<u32x4>(tap_pairs(top) * across);
    const auto lower = reinterpret_cast<u32x4>(tap_pairs(top + padded_bird_width) * across);
    return ((upper & 0xFFFFu) + (upper >> 16)) * s.up[i] + ((lower & 0xFFFFu) + (lower >> 16)) * s.down[i] + 0x8000u;
}

// The colour channels of a pixel, one in each lane and each below 256, as a canvas word: the
// top byte is taken from a high byte of the last lane, which is zero.
std::uint32_t canvas_word(u32x4 lanes) {
    const auto bytes = reinterpret_cast<u8x16>(lanes);
    return reinterpret_cast<u32x4>(
        __builtin_shufflevector(bytes, bytes, 0, 4, 8, 13, 0, 4, 8, 13, 0, 4, 8, 13, 0, 4, 8, 13))[0];
}

// blend_pixel of the sample over a canvas pixel, lane by lane: an opaque sample replaces the
// pixel, any other scales its channels by (255 - alpha) / 255 as mul_div255 rounds and adds
// the sample's. A premultiplied sample never has a channel above its alpha, so with alpha 0 it
// adds nothing to the unscaled pixel.
[[gnu::always_inline]] inline void blend_sample(std::uint32_t& pixel, u32x4 sum) {
    u32x4 blended = sum >> 16;
    if (blended[3] != 255) {
        const u32x4 inverse_alpha = 255u - __builtin_shufflevector(blended, blended, 3, 3, 3, 3);
        const u32x4 t = channels(&pixel) * inverse_alpha + 0x80u;
        blended += ((t >> 8) + t) >> 8;
    }
    pixel = canvas_word(blended);
}

// Where a row dy from the centre lies within a band of the frame, in dx: |dx - dy slope| < half.
struct Band {
    float slope, half;

    // |dx c + dy d| < limit; no band where |c| < 1e-3, as the turn's roundings would then move it too far.
    static Band of(float c, float d, float limit) {
        if (std::fabs(c) < 1e-3f) return {0.0f, 1000.0f};
        const float inverse = 1.0f / c;
        return {-d * inverse, limit * std::fabs(inverse)};
    }
};

// What every row of one turned bird shares.
struct Turn {
    const std::uint32_t* frame;  // padded
    const std::uint8_t* blank;   // the frame's blank cells
    float sn, cs, centre;
    float reach;  // rows farther than this from the centre miss the frame
    Band across, down;  // |dx cs + dy sn| < w/2 + 1/2, |dy cs - dx sn| < h/2 + 1/2

    // The columns (indices from bird_first_column) a row dy from the centre can reach, first >
    // last for none: within both bands, widened by a tenth of a column on either side. The
    // roundings of the turn move u and v by less than 1e-5, that is dx by less than 0.01 with
    // |cs|, |sn| >= 1e-3, and this bound's own roundings by about as much.
    std::pair<int, int> columns(float dy) const {
        const float across_dx = dy * across.slope, down_dx = dy * down.slope;
        const float lo = std::max(across_dx - across.half, down_dx - down.half);
        const float hi = std::min(across_dx + across.half, down_dx + down.half);
        constexpr float first_dx = bird_first_column + 0.5f - bird_column;  // of column index 0
        const float first = std::max(lo - (0.1f + first_dx), 0.0f);
        const float last = std::min(hi + (0.1f - first_dx), static_cast<float>(reach_columns - 1));
        if (!(first <= last)) return {1, 0};
        return {static_cast<int>(first), static_cast<int>(last)};
    }
};

// blend_sample of the four taps from cell `top` on, with the weights of column i.
[[gnu::always_inline]] inline void blend_taps(std::uint32_t& pixel, const std::uint32_t* top, const RowSamples& s,
                                              int i) {
    blend_sample(pixel, sample_taps(top, s, i));
}

template <bool instruction, auto blend_pixel = blend_taps>
[[gnu::always_inline]] inline void draw_turned_rows(std::uint32_t* canvas, const Turn& turn, int first_row,
                                                    int last_row) {
    RowSamples s;
    const std::uint32_t* frame = turn.frame;
    const std::uint8_t* blank = turn.blank;
    for (int y = first_row; y < last_row; ++y) {
        const float dy = (static_cast<float>(y) + 0.5f) - turn.centre;
        if (!(std::fabs(dy) < turn.reach)) continue;
        const auto [first, last] = turn.columns(dy);
        if (first > last) continue;
        place_row<instruction>(dy, turn.sn, turn.cs, first / block_width, last / block_width, s);
        std::uint32_t* row = canvas + y * canvas_width + bird_first_column;
        // Unrolled: most columns cost no more than the test of their cell, and the loop's own
        // steps were as many instructions again.
#pragma GCC unroll 4
        for (int i = first; i <= last; ++i)
            if (!blank[s.cell[i]]) blend_pixel(row[i], frame + s.cell[i], s, i);
    }
}

// The x86-64 baseline has no fused multiply-add instruction; a turn with the instruction is
// compiled for the extensions that have it and wider integer vectors, and taken only where
// the processor reports them.
#if defined(__x86_64__) && !(defined(__FMA__) && defined(__AVX2__))
#define SKIMBO_FUSED_INSTRUCTION __attribute__((target("avx2,fma")))
#else
#define SKIMBO_FUSED_INSTRUCTION
#endif

void draw_turned_rows_emulated(std::uint32_t* canvas, const Turn& turn, int first_row, int last_row) {
    draw_turned_rows<false>(canvas, turn, first_row, last_row);
}

#ifdef __x86_64__
// The same rows with the instruction's sampler; its intrinsics need the extensions' context.
// sample_taps with two taps to an instruction: the taps of a row side by side as 16-bit
// pairs, each pair times (256 - fx, fx) and summed in one step (every term below 2^16, so the
// signed multiply is exact), then the two rows times 256 - fy and fy in 32-bit lanes.
SKIMBO_FUSED_INSTRUCTION inline u32x4 sample_taps_paired(const std::uint32_t* top, const RowSamples& s, int i) {
    const __m256i taps = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + padded_bird_width)), 1);
    const __m256i pairs = _mm256_shuffle_epi8(
        taps, _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                               0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1));
    const __m256i rows = _mm256_madd_epi16(pairs, _mm256_set1_epi32(static_cast<int>(s.across[i])));
    const __m256i down = _mm256_blend_epi32(_mm256_set1_epi32(static_cast<int>(s.up[i])),
                                            _mm256_set1_epi32(static_cast<int>(s.down[i])), 0xF0);
    const __m256i weighted = _mm256_mullo_epi32(rows, down);
    const __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(weighted), _mm256_extracti128_si256(weighted, 1));
    return reinterpret_cast<u32x4>(_mm_add_epi32(sum, _mm_set1_epi32(0x8000)));
}

// blend_sample with the pixel's channels in 16-bit lanes: the sample's channels are the third
// bytes of its lanes, and mul_div255 is (t * 257) >> 16, the high half of one multiply.
SKIMBO_FUSED_INSTRUCTION inline void blend_sample_paired(std::uint32_t& pixel, u32x4 sum) {
    const auto lanes = reinterpret_cast<__m128i>(sum);
    __m128i blended = _mm_shuffle_epi8(lanes, _mm_setr_epi8(2, 6, 10, -1, -1, -1, -1, -1,  //
                                                            -1, -1, -1, -1, -1, -1, -1, -1));
    const int alpha = _mm_extract_epi8(lanes, 14);
    if (alpha != 255) {
        const __m128i under = _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(pixel)),
                                               _mm_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1,  //
                                                             -1, -1, -1, -1, -1, -1, -1, -1));
        const __m128i t = _mm_add_epi16(_mm_mullo_epi16(under, _mm_set1_epi16(static_cast<short>(255 - alpha))),
                                        _mm_set1_epi16(0x80));
        const __m128i scaled = _mm_mulhi_epu16(t, _mm_set1_epi16(257));
        blended = _mm_packus_epi16(_mm_add_epi16(_mm_cvtepu8_epi16(blended), scaled), scaled);
    }
    pixel = static_cast<std::uint32_t>(_mm_cvtsi128_si32(blended));
}

SKIMBO_FUSED_INSTRUCTION void draw_turned_rows_fused(std::uint32_t* canvas, const Turn& turn, int first_row,
                                                     int last_row) {
    RowSamples s;
    const std::uint32_t* frame = turn.frame;
    const std::uint8_t* blank = turn.blank;
    for (int y = first_row; y < last_row; ++y) {
        const float dy = (static_cast<float>(y) + 0.5f) - turn.centre;
        if (!(std::fabs(dy) < turn.reach)) continue;
        const auto [first, last] = turn.columns(dy);
        if (first > last) continue;
        place_row<true>(dy, turn.sn, turn.cs, first / block_width, last / block_width, s);
        std::uint32_t* row = canvas + y * canvas_width + bird_first_column;
        // Unrolled: most columns cost no more than the test of their cell, and the loop's own
        // steps were as many instructions again.
#pragma GCC unroll 4
        for (int i = first; i <= last; ++i)
            if (!blank[s.cell[i]]) blend_sample_paired(row[i], sample_taps_paired(frame + s.cell[i], s, i));
    }
}
#elif defined(__aarch64__)
// blend_taps in the device's own instructions, channels in 16-bit lanes. Across, each row of
// taps is left * 256 + (right - left) * fx: the products wrap on the way, but the true result,
// left * (256 - fx) + right * fx, lies below 2^16, so the wrapped one is exact. Down, the two
// rows times 256 - fy and fy in 32-bit lanes, rounded back to 16 bits by one shift. The blend
// scales the pixel as mul_div255 does, every step below 2^16.
inline void blend_taps_device(std::uint32_t& pixel, const std::uint32_t* top, const RowSamples& s, int i) {
    // The left taps of the upper and the lower row side by side, and the right ones.
    const uint32x2x2_t taps = vld2_lane_u32(top + padded_bird_width, vld2_dup_u32(top), 1);
    const uint8x8_t left = vreinterpret_u8_u32(taps.val[0]), right = vreinterpret_u8_u32(taps.val[1]);
    const uint8x8_t fx = vdup_n_u8(static_cast<std::uint8_t>(s.across[i] >> 16));
    const uint16x8_t rows = vmlal_u8(vmlsl_u8(vshll_n_u8(left, 8), left, fx), right, fx);
    const uint32x4_t sum = vmlal_n_u16(vmull_n_u16(vget_low_u16(rows), static_cast<std::uint16_t>(s.up[i])),
                                       vget_high_u16(rows), static_cast<std::uint16_t>(s.down[i]));
    uint16x4_t blended = vrshrn_n_u32(sum, 16);
    const unsigned alpha = vget_lane_u16(blended, 3);
    if (alpha != 255) {
        const uint16x4_t under = vget_low_u16(vmovl_u8(vreinterpret_u8_u32(vld1_dup_u32(&pixel))));
        uint16x4_t t = vmla_n_u16(vdup_n_u16(0x80), under, static_cast<std::uint16_t>(255 - alpha));
        t = vsra_n_u16(t, t, 8);
        blended = vsra_n_u16(blended, t, 8);
    }
    const auto word = vreinterpret_u8_u16(vset_lane_u16(0, blended, 3));
    vst1_lane_u32(&pixel, vreinterpret_u32_u8(vuzp1_u8(word, word)), 0);
}

void draw_turned_rows_fused(std::uint32_t* canvas, const Turn& turn, int first_row, int last_row) {
    draw_turned_rows<true, blend_taps_device>(canvas, turn, first_row, last_row);
}
#else
void draw_turned_rows_fused(std::uint32_t* canvas, const Turn& turn, int first_row, int last_row) {
    draw_turned_rows<true>(canvas, turn, first_row, last_row);
}
#endif

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

// Flight frames 0-3, then stunned 0-1, as the padded frames are stored.
int bird_frame(int sprite) {
    return sprite >= bird_flight_first ? sprite - bird_flight_first : 4 + sprite - bird_stunned_first;
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

bool has_fused_instruction() {
#if defined(__x86_64__) && !(defined(__FMA__) && defined(__AVX2__))
    return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
#else
    return true;
#endif
}

void draw_bird(std::uint32_t* canvas, const SceneView& view) { draw_bird_by(canvas, view, has_fused_instruction()); }

void draw_bird_by(std::uint32_t* canvas, const SceneView& view, bool fused_instruction) {
    std::optional<BirdRows> rows = bird_rows(view.bird_y);
    if (!rows) return;
    const int frame_index = bird_frame(bird_sprite_index(view.anim_clock, view.phase));
    const std::uint32_t* frame = art_data::bird_padded[frame_index];
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
    // A point of the frame lies within (w/2 + 1/2) |sn| + (h/2 + 1/2) |cs| rows of the centre;
    // the margin covers the roundings of the turn many times over.
    const float reach = ((half_w + 0.5f) * std::fabs(sn) + (half_h + 0.5f) * std::fabs(cs)) * 1.001f + 0.01f;
    const Turn turned{frame, art_data::bird_blank_cells[frame_index], sn, cs, rows->centre, reach,
                      Band::of(cs, sn, half_w + 0.5f), Band::of(-sn, cs, half_h + 0.5f)};
    if (fused_instruction) draw_turned_rows_fused(canvas, turned, rows->first, rows->last);
    else draw_turned_rows_emulated(canvas, turned, rows->first, rows->last);
}

}  // namespace skimbo
