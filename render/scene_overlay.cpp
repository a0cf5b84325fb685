// What lies over the world: the veil of the still screens, the interface of each
// phase, the corner buttons and the exit-hold ring around the close button.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

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

// The corner buttons stand over rows of the backdrop that are each a single colour. Where no
// cloud, pipe or bird passes under one and no veil lies over the world, what the button makes
// of the sky is the same every frame: it is composed once and copied.
struct SkyButton {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // empty where the button must be blended every frame
};

SkyButton compose_sky_button(int sprite, int x) {
    const Sprite& art = sprite_table[sprite];
    const int width = int(art.width), height = int(art.height);
    return {width, height, compose_over_sky(x, corner_button_y, width, height, [sprite, x](std::uint32_t* sky) {
                draw_button(sky, sprite, x, corner_button_y);
            })};
}

// Whether nothing of the world but its backdrop lies under columns [x0, x1) of the rows from
// y0 down to y1; pipes and the bird are taken at their whole height.
bool only_sky_under(const SceneView& view, int x0, int x1, int y0, int y1) {
    if (view.phase != ViewPhase::Ready && view.phase != ViewPhase::Playing) return false;
    if (bird_first_column < x1 && bird_last_column >= x0) return false;
    for (int i = 0; i < cloud_count; ++i) {
        const CloudPlacement c = cloud_placement(i, view.scroll);
        if (c.x < x1 && c.x + cloud_width > x0 && c.y < y1 && c.y + cloud_height > y0) return false;
    }
    const std::size_t pipes = std::min(view.pipes.size(), max_drawn_pipes);
    for (std::size_t i = 0; i < pipes; ++i) {
        const std::optional<PipePosition> at = pipe_position(view.pipes[i].x, view.pipes[i].gap_y);
        if (at && at->x < x1 && at->x + pipe_width > x0) return false;
    }
    return true;
}

}  // namespace

void draw_corner_button(std::uint32_t* canvas, const SceneView& view, int sprite, int x) {
    static const SkyButton close = compose_sky_button(close_button_sprite, close_button_x);
    static const SkyButton pause = compose_sky_button(pause_button_sprite, pause_button_x);
    const SkyButton& sky = sprite == close_button_sprite ? close : pause;
    const int y = corner_button_y;
    if (sky.pixels.empty() || !only_sky_under(view, x, x + sky.width, y, y + sky.height))
        return draw_button(canvas, sprite, x, y);
    for (int r = 0; r < sky.height; ++r)
        std::memcpy(canvas + (y + r) * canvas_width + x, sky.pixels.data() + r * sky.width, sky.width * sizeof *canvas);
}

namespace {

// The ring around the close button, radius 17 about (22, 20): solid within 0.6 pixel
// of the radius, fading out by 1.6. Red grows clockwise from twelve o'clock.
struct Ring {
    static constexpr int row0 = 2, row1 = 38, col0 = 3, col1 = 41;  // inclusive
    static constexpr float cx = 22.0f, cy = 20.0f, radius = 17.0f;
    static constexpr std::uint32_t done = 0xD7463D, pending = 0x649CA4;
};

}  // namespace

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
    draw_corner_button(canvas, view, close_button_sprite, close_button_x);
    if (view.phase == ViewPhase::Playing) draw_corner_button(canvas, view, pause_button_sprite, pause_button_x);
}

namespace {

// The ring's pixels never move and only their colour depends on the hold, so each pixel's
// coverage and angle are worked out once, by the per-pixel rule, and kept for every frame.
struct RingPixel {
    std::uint16_t offset;  // into the canvas
    float angle;           // clockwise from twelve o'clock
    std::uint32_t done, pending;  // the two colours at the pixel's coverage, premultiplied
};

struct RingPixels {
    std::array<RingPixel, (Ring::row1 - Ring::row0 + 1) * (Ring::col1 - Ring::col0 + 1)> pixels;
    std::size_t count = 0;
};

const RingPixels& ring_pixels() {
    static const RingPixels ring = [] {
        RingPixels r{};
        for (int y = Ring::row0; y <= Ring::row1; ++y) {
            float dy = (static_cast<float>(y) + 0.5f) - Ring::cy;
            for (int x = Ring::col0; x <= Ring::col1; ++x) {
                float dx = (static_cast<float>(x) + 0.5f) - Ring::cx;
                float radius = std::sqrt(std::fmaf(dx, dx, dy * dy));
                float cov = 1.6f - std::fabs(radius - Ring::radius);
                if (cov >= 1.0f) cov = 1.0f;
                if (cov <= 0.0f) continue;
                float ang = std::atan2(dx, -dy);
                if (ang < 0.0f) ang += 6.2831855f;
                auto a8 = static_cast<std::uint32_t>(cov * 255.0f);
                r.pixels[r.count++] = {static_cast<std::uint16_t>(y * canvas_width + x), ang,
                                       premultiply(Ring::done, a8), premultiply(Ring::pending, a8)};
            }
        }
        return r;
    }();
    return ring;
}

}  // namespace

void draw_exit_ring(std::uint32_t* canvas, std::int32_t exit_progress) {
    if (exit_progress <= 0) return;
    float sweep = exit_progress <= 999 ? static_cast<float>(exit_progress) * 0.0062831854f : 6.2831855f;
    const RingPixels& ring = ring_pixels();
    for (std::size_t i = 0; i < ring.count; ++i) {
        const RingPixel& p = ring.pixels[i];
        blend_pixel(canvas[p.offset], p.angle <= sweep ? p.done : p.pending);
    }
}

}  // namespace skimbo
