// What lies over the world: the veil of the still screens, the interface of each
// phase, the corner buttons and the exit-hold ring around the close button.
#include <cmath>
#include <cstdint>

#include "render/assets.h"
#include "render/blend.h"
#include "render/blit.h"
#include "render/scene_parts.h"
#include "render/text.h"

namespace skimbo {
namespace {

constexpr int centre_x = 320;
constexpr int big_button_x = 300, big_button_y = 105;

void draw_button(std::uint32_t* canvas, int sprite, int x, int y) {
    blit_sprite(canvas, sprite_table[sprite], x, y, 0, canvas_height);
}

void draw_game_over(std::uint32_t* canvas, const SceneView& view) {
    constexpr TextStyle o = TextStyle::Outlined;
    draw_text(canvas, "GAME OVER", centre_x, 38, 26, o);
    draw_text(canvas, "SCORE", 265, 78, 10, o);
    draw_text(canvas, "BEST", 374, 78, 10, o);
    draw_number(canvas, view.score, 265, 91, 16, o);
    draw_number(canvas, view.best, 374, 91, 16, o);
    draw_button(canvas, restart_button_sprite, big_button_x, big_button_y);
}

// The ring around the close button, radius 17 about (22, 20): solid within 0.6 pixel
// of the radius, fading out by 1.6. Red grows clockwise from twelve o'clock.
struct Ring {
    static constexpr int row0 = 2, row1 = 38, col0 = 3, col1 = 41;  // inclusive
    static constexpr float cx = 22.0f, cy = 20.0f, radius = 17.0f;
    static constexpr std::uint32_t done = 0xD7463D, pending = 0x649CA4;
};

}  // namespace

// floor((v * keep + 127) / 255) in 16-bit arithmetic: with v <= 255 and keep <= 254
// every intermediate stays below 2^16, and the narrow lanes let the compiler process
// twice as many channels per vector instruction as 32-bit words would.
constexpr std::uint16_t scale_channel(std::uint16_t v, std::uint16_t keep) {
    auto t = static_cast<std::uint16_t>(v * keep + 0x80);
    return static_cast<std::uint16_t>(((t >> 8) + t) >> 8);
}

// The veil is one constant colour over every pixel: scale the three channels and add
// the veil's own; no channel can carry into the next.
void dim_canvas(std::uint32_t* canvas) {
    constexpr std::uint16_t keep = 255 - (dimming_colour >> 24);
    static_assert(keep <= 254, "the 16-bit intermediates would overflow");
    constexpr std::uint32_t veil = dimming_colour & 0x00FFFFFFu;
    for (std::size_t i = 0; i < canvas_pixel_count; ++i) {
        std::uint32_t p = canvas[i];
        auto low = static_cast<std::uint16_t>(p), high = static_cast<std::uint16_t>(p >> 16);
        std::uint32_t green_blue = scale_channel(low >> 8, keep) << 8 | scale_channel(low & 0xFF, keep);
        std::uint32_t red = scale_channel(high & 0xFF, keep);
        canvas[i] = (red << 16 | green_blue) + veil;
    }
}

void draw_interface(std::uint32_t* canvas, const SceneView& view) {
    switch (view.phase) {
    case ViewPhase::Ready:
        draw_text(canvas, "GET READY", centre_x, 48, 16, TextStyle::Plain);
        draw_button(canvas, play_button_sprite, big_button_x, big_button_y);
        break;
    case ViewPhase::Playing: draw_number(canvas, view.score, centre_x, 8, 26, TextStyle::Outlined); break;
    case ViewPhase::Paused:
        draw_text(canvas, "PAUSED", centre_x, 47, 26, TextStyle::Outlined);
        draw_button(canvas, play_button_sprite, big_button_x, big_button_y);
        break;
    case ViewPhase::GameOver: draw_game_over(canvas, view); break;
    }
    draw_button(canvas, close_button_sprite, 8, 6);
    if (view.phase == ViewPhase::Playing) draw_button(canvas, pause_button_sprite, 604, 6);
}

void draw_exit_ring(std::uint32_t* canvas, std::int32_t exit_progress) {
    if (exit_progress <= 0) return;
    float sweep = exit_progress <= 999 ? static_cast<float>(exit_progress) * 0.0062831854f : 6.2831855f;
    for (int y = Ring::row0; y <= Ring::row1; ++y) {
        float dy = (static_cast<float>(y) + 0.5f) - Ring::cy;
        for (int x = Ring::col0; x <= Ring::col1; ++x) {
            float dx = (static_cast<float>(x) + 0.5f) - Ring::cx;
            float r = std::sqrt(std::fmaf(dx, dx, dy * dy));
            float cov = 1.6f - std::fabs(r - Ring::radius);
            if (cov >= 1.0f) cov = 1.0f;
            if (cov <= 0.0f) continue;
            float ang = std::atan2(dx, -dy);
            if (ang < 0.0f) ang += 6.2831855f;
            std::uint32_t a8 = static_cast<std::uint32_t>(cov * 255.0f);
            blend_pixel(canvas[y * canvas_width + x], premultiply(ang <= sweep ? Ring::done : Ring::pending, a8));
        }
    }
}

}  // namespace skimbo
