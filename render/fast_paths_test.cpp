// Every fast path of the renderer against the plain rule it replaces, on random inputs.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "render/assets.h"
#include "render/blit.h"
#include "render/fused.h"
#include "render/outlined_glyph.h"
#include "render/rgb_bytes.h"
#include "render/render_test_support.h"
#include "render/scene_parts.h"
#include "render/spans.h"

namespace skimbo {
namespace {

using Pixels = std::vector<std::uint32_t>;
using testing::reference_blend;

// The bird pixel by pixel: every column of the pass turned with the library's fmaf, four taps.
void reference_bird(Pixels& canvas, const SceneView& view) {
    auto rows = bird_rows(view.bird_y);
    const std::uint32_t* frame = sprite_table[bird_sprite_index(view.anim_clock, view.phase)].pixels;
    float turn = std::fmod(std::isfinite(view.bird_angle) ? view.bird_angle : 0.0f, 360.0f) * 0.017453292f;
    for (int y = rows ? rows->first : 0; rows && y < rows->last; ++y)
        for (int x = bird_first_column; x <= bird_last_column; ++x) {
            float dx = (x + 0.5f) - 150.0f, dy = (y + 0.5f) - rows->centre, sn = std::sin(turn);
            float cs = std::cos(turn);
            float u = (13.0f + std::fmaf(dx, cs, dy * sn)) - 0.5f, v = (10.0f + std::fmaf(-dx, sn, dy * cs)) - 0.5f;
            if (!(u > -1 && u < 26 && v > -1 && v < 20)) continue;
            const int x0 = static_cast<int>(std::floor(u)), y0 = static_cast<int>(std::floor(v));
            const auto fx = static_cast<std::uint32_t>((u - x0) * 256), fy = static_cast<std::uint32_t>((v - y0) * 256);
            std::uint32_t sums[4] = {}, word = 0;
            for (int tap = 0; tap < 4; ++tap) {
                const int col = x0 + (tap & 1), row = y0 + (tap >> 1);
                const std::uint32_t weight = (tap & 1 ? fx : 256 - fx) * (tap >> 1 ? fy : 256 - fy);
                for (int c = 0; c < 4 && col >= 0 && col < 26 && row >= 0 && row < 20; ++c)
                    sums[c] += (frame[row * 26 + col] >> (8 * c) & 255) * weight;
            }
            for (int c = 0; c < 4; ++c) word |= (sums[c] + 32768) >> 16 << (8 * c);
            canvas[y * canvas_width + x] = reference_blend(canvas[y * canvas_width + x], word);
        }
}

// Any view: the bird anywhere, turned any way (unturned and square turns too) or at no usable
// height. Then any art sprite anywhere, with its runs and pixel by pixel. (The corner buttons
// are checked on their own below.)
TEST(FastPaths, FramesMatchTheirPlainComposition) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> any(-1000, 1000), angle(-400, 400), row(-60, 230), col(-60, 700);
    auto below = [&rng](unsigned n) { return static_cast<int>(rng() % n); };
    for (int i = 0; i < 200; ++i) {
        SceneView view{static_cast<ViewPhase>(1 + i % 4), below(9) ? row(rng) : NAN, below(3) ? angle(rng) : 90.0f * below(2),
                       any(rng), any(rng), below(2000), below(2000), {}, below(1300) - 100};
        for (int p = below(6); p > 0; --p) view.pipes.push_back({col(rng), row(rng)});
        Pixels want(canvas_pixel_count), got(canvas_pixel_count);
        draw_backdrop(want.data(), view.scroll);
        for (int c = 0; c < cloud_count; ++c) {
            const CloudPlacement at = cloud_placement(c, view.scroll);
            testing::reference_blit(want, sprite_table[cloud_sprite], at.x, at.y, 0, world_rows);
        }
        for (const PipeView& p : view.pipes) draw_pipe_pair(want.data(), p.x, p.gap_y);
        reference_bird(want, view), draw_ground(want.data(), view.scroll);
        for (std::size_t k = 0; (view.phase == ViewPhase::Paused || view.phase == ViewPhase::GameOver) && k < want.size(); ++k)
            want[k] = reference_blend(want[k], dimming_colour);
        draw_interface(want.data(), view), draw_exit_ring(want.data(), view.exit_progress);
        render_scene(view, got.data(), got.size());
        const Sprite &art = sprite_table[rng() % sprite_count], plain{art.width, art.height, art.pixels};
        const int x = below(780) - 70, y = below(310) - 70, top = below(90), colour = below(1u << 31);
        for (auto [s, c] : {std::pair{&art, &got}, std::pair{&plain, &want}})
            blit_sprite(c->data(), *s, x, y, top, top + 82), blit_tinted(c->data(), *s, y, x / 4, std::uint32_t(colour));
        ASSERT_EQ(got, want) << "view " << i;
    }
}

// The corner buttons over each of the 760 places the clouds take, in every phase (dimmed
// under the still screens), and over a pipe at every column from just clear of a button's
// left edge to just clear of its right edge: copied where only sky lies under them, blitted
// elsewhere, always the pixels of their blit.
TEST(FastPaths, CornerButtonsOverEveryCloudAndPipePlace) {
    std::vector<SceneView> views;
    for (int k = 0; k < 760; ++k) views.push_back({static_cast<ViewPhase>(1 + k % 4), 79, 0, 0, (k + 0.5f) / 0.23f, 0, 0, {}, 0});
    for (int edge : {close_button_x, pause_button_x})  // the clouds stand clear of both at scroll 400
        for (int x = edge - pipe_width; x <= edge + 28; ++x) views.push_back({ViewPhase::Playing, 79, 0, 0, 400, 0, 0, {{float(x), 100}}, 0});
    for (const SceneView& view : views) {
        Pixels world(canvas_pixel_count);
        draw_backdrop(world.data(), view.scroll), draw_clouds(world.data(), view.scroll);
        for (const PipeView& p : view.pipes) draw_pipe_pair(world.data(), p.x, p.gap_y);
        if (view.phase == ViewPhase::Paused || view.phase == ViewPhase::GameOver) dim_canvas(world.data());
        for (auto [sprite, x] : {std::pair{close_button_sprite, close_button_x}, std::pair{pause_button_sprite, pause_button_x}}) {
            Pixels got = world, want = world;
            draw_corner_button(got.data(), view, sprite, x);
            testing::reference_blit(want, sprite_table[sprite], x, corner_button_y, 0, canvas_height);
            ASSERT_EQ(got, want) << "scroll " << view.scroll << " pipes " << view.pipes.size() << " button " << sprite;
        }
    }
}

// Random sources (any alpha, clear and opaque ones often) over random pixels, every length up
// to a few vectors from unaligned starts, both ways the processor offers; nothing past n moves.
TEST(FastPaths, SpansMatchPixelByPixel) {
    std::mt19937 rng(37);
    auto word = [&rng] {
        const std::uint32_t a = std::array<std::uint32_t, 3>{0, 255, static_cast<std::uint32_t>(rng() & 255)}[rng() % 3];
        return testing::reference_premultiply(rng() & 0x00FFFFFFu, a);
    };
    for (bool wide : {false, has_wide_spans()})
        for (std::size_t n = 0; n < 70; ++n) {
            Pixels src(n + 9), dst(n + 9);
            for (std::size_t i = 0; i < src.size(); ++i) src[i] = word(), dst[i] = rng() & 0x00FFFFFFu;
            const std::size_t first = rng() % 8;
            const std::uint32_t colour = src[0] & 0x00FFFFFFu;
            Pixels blended = dst, filled = dst, tinted = dst, dimmed = dst, want_blend = dst, want_fill = dst, want_tint = dst,
                   want_dim = dst;
            for (std::size_t i = first; i < first + n; ++i) {
                want_blend[i] = reference_blend(dst[i], src[i]), want_fill[i] = colour;
                want_tint[i] = reference_blend(dst[i], testing::reference_premultiply(colour, src[i] >> 24));
                want_dim[i] = reference_blend(dst[i], dimming_colour);
            }
            blend_span_by(blended.data() + first, src.data() + first, n, wide);
            fill_span_by(filled.data() + first, n, colour, wide);
            tint_span(tinted.data() + first, src.data() + first, n, colour), dim_span(dimmed.data() + first, n);
            ASSERT_EQ(blended, want_blend) << n << (wide ? " wide" : "");
            ASSERT_EQ(filled, want_fill) << n << (wide ? " wide" : "");
            ASSERT_EQ(tinted, want_tint) << n;
            ASSERT_EQ(dimmed, want_dim) << n;
        }
}

// Glyphs of every font outlined anywhere over random pixels, the edges of the canvas included,
// against their five layers blended one after the other.
TEST(FastPaths, OutlinedGlyphsMatchTheirLayers) {
    std::mt19937 rng(31);
    for (int i = 0; i < 3000; ++i) {
        const int sprite = font_small_first + static_cast<int>(rng() % (3 * glyph_count));
        const int x = static_cast<int>(rng() % 700) - 30, y = static_cast<int>(rng() % 232) - 30;
        Pixels want = testing::patterned_canvas(static_cast<std::uint32_t>(rng())), got = want;
        for (auto [dx, dy] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 2}})
            testing::reference_blit(want, sprite_table[sprite], x + dx, y + dy, 0, canvas_height);
        testing::reference_blit(want, sprite_table[sprite], x, y, 0, canvas_height, outline_fill_colour);
        draw_outlined_glyph(got.data(), sprite, x, y);
        ASSERT_EQ(got, want) << "sprite " << sprite << " at " << x << ", " << y;
    }
}

// The bird alone over random pixels, turned by either way of fusing the turn the processor
// offers: any angle, any height, any wing position, and whole sweeps of small turns.
TEST(FastPaths, TurnedBirdMatchesThePlainTurn) {
    std::mt19937 rng(29);
    std::uniform_real_distribution<float> angle(-400, 400), small(-2, 2), row(-45, 215), clock(0, 100);
    for (int i = 0; i < 800; ++i) {
        const SceneView view{static_cast<ViewPhase>(1 + i % 4), row(rng), i % 2 ? angle(rng) : small(rng), clock(rng), 0, 0, 0, {}, 0};
        Pixels want(canvas_pixel_count);
        for (std::uint32_t& p : want) p = static_cast<std::uint32_t>(rng()) & 0x00FFFFFFu;
        Pixels got = want;
        reference_bird(want, view);
        for (bool fused : {false, has_fused_instruction()}) {
            Pixels drawn = got;
            draw_bird_by(drawn.data(), view, fused);
            ASSERT_EQ(drawn, want) << "view " << i << (fused ? " with" : " without") << " the instruction";
        }
    }
}

// Double sums that land exactly halfway between two floats after rounding away a tail (of
// the addend, or of the product), and one just above the smallest normal float, where the
// halfway point lies elsewhere: rounding the double again would tip the wrong way. Then
// random bits, and operands like the bird's: half columns, turns below one, short rows.
TEST(FastPaths, FusedMultiplyAddRoundsOnceLikeTheLibrary) {
    for (auto [a, b, c] : {std::tuple{1 + 0x1p-12f, 1 + 0x1p-12f, 0x1p-60f}, {-1 - 0x1p-12f, 1 + 0x1p-12f, -0x1p-60f},
                           {1 + 0x1p-23f, 0x1p-24f - 0x1p-47f, 1 + 0x1p-23f},
                           {0x1p-75f + 0x1p-95f, 0x1p-75f - 0x1p-95f, 0x1p-127f + 0x1p-149f}})
        EXPECT_EQ(std::bit_cast<std::uint32_t>(fused_multiply_add(a, b, c)), std::bit_cast<std::uint32_t>(std::fmaf(a, b, c)))
            << a << " " << b << " " << c;
    std::mt19937 rng(13);
    auto scaled = [&rng](double value, unsigned shifts) { return std::ldexp(static_cast<float>(value), -int(rng() % shifts)); };
    for (int i = 0; i < 300000; ++i) {
        const float a = i % 2 ? (int(rng() % 79) - 39) * 0.5f : std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        const float b = scaled(rng() % (1 << 24), 54), c = scaled(double(rng() % (1 << 24)) - (1 << 23), 40);
        const float want = std::fmaf(a, b, c), got = fused_multiply_add(a, b, c);
        if (got != got && want != want) continue;  // NaN either way
        ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want)) << a << " " << b << " " << c;
    }
}

// Every length up to a few blocks past sixteen pixels and a whole canvas, from unaligned
// starts, with random top bytes; nothing past the 3 * count bytes may be written.
TEST(FastPaths, RgbBytesMatchPixelByPixel) {
    std::mt19937 rng(17);
    Pixels pixels(canvas_pixel_count + 3);
    for (std::uint32_t& p : pixels) p = static_cast<std::uint32_t>(rng());
    for (auto path : {&rgb_bytes, &rgb_bytes_by_words, has_byte_shuffle() ? &rgb_bytes_shuffled : &rgb_bytes})
        for (std::size_t count = 0; count <= canvas_pixel_count; count += count < 70 ? 1 : canvas_pixel_count - 70) {
            const std::size_t first = count % 3;
            std::vector<std::uint8_t> want(3 * count + 8, 0xA5), got(want);
            for (std::size_t i = 0; i < count; ++i)
                for (int c = 0; c < 3; ++c) want[3 * i + c] = static_cast<std::uint8_t>(pixels[first + i] >> (16 - 8 * c));
            path(pixels.data() + first, count, got.data());
            ASSERT_EQ(got, want) << count;
        }
}

}  // namespace
}  // namespace skimbo
