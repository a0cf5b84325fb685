// The world layer: the scrolling backdrop and clouds, the pipes, and the ground strip.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "render/art_data.h"
#include "render/assets.h"
#include "render/blit.h"
#include "render/scene_parts.h"
#include "render/spans.h"

namespace skimbo {
namespace {

constexpr int ground_rows = canvas_height - world_rows;
constexpr int pipe_cap_height = 12;
constexpr int pipe_body_row = 40;

float usable(float v) { return std::isfinite(v) ? v : 0.0f; }

// trunc(fmod(s * factor, period)) moved into [0, period).
int wrapped_phase(float scroll, float factor, int period) {
    float product = usable(scroll) * factor;
    int phase = static_cast<int>(std::fmod(usable(product), static_cast<float>(period)));
    return phase < 0 ? phase + period : phase;
}

}  // namespace

int round_clamp(float v, int lo, int hi) {
    float clamped = std::clamp(usable(v), static_cast<float>(lo), static_cast<float>(hi));
    return static_cast<int>(std::round(clamped));
}

int backdrop_offset(float scroll) { return wrapped_phase(scroll, 0.12f, canvas_width); }
int cloud_offset(float scroll) { return wrapped_phase(scroll, 0.23f, 760); }
int ground_offset(float scroll) { return wrapped_phase(scroll, 1.0f, static_cast<int>(ground_strip.width)); }

void copy_backdrop(std::uint32_t* canvas, int row, int col, int end, int o, bool dimmed) {
    const std::uint32_t* image = (dimmed ? art_data::backdrop_dimmed_rgb : art_data::backdrop_rgb) + row * canvas_width;
    std::uint32_t* dst = canvas + row * canvas_width + col;
    if (art_data::backdrop_plain_rows[row]) fill_span(dst, static_cast<std::size_t>(end - col), image[0]);
    else copy_repeating(dst, image, canvas_width, (o + col) % canvas_width, end - col);
}

void draw_backdrop(std::uint32_t* canvas, float scroll) {
    int o = backdrop_offset(scroll);
    for (int row = 0; row < world_rows; ++row) copy_backdrop(canvas, row, 0, canvas_width, o, false);
}

CloudPlacement cloud_placement(int cloud, float scroll) {
    constexpr CloudPlacement starts[cloud_count] = {{820, 37}, {1083, 15}, {1346, 37}};
    return {(starts[cloud].x - cloud_offset(scroll)) % 760 - cloud_width, starts[cloud].y};
}

std::vector<std::uint32_t> compose_over_sky(int x, int y, int width, int height,
                                            const std::function<void(std::uint32_t* canvas)>& draw) {
    for (int r = y; r < y + height; ++r)
        if (r < 0 || r >= world_rows || !art_data::backdrop_plain_rows[r]) return {};
    auto sky = std::make_unique<Canvas>();
    for (int r = y; r < y + height; ++r)
        std::fill_n(sky->data() + r * canvas_width + x, width, art_data::backdrop_rgb[r * canvas_width]);
    draw(sky->data());
    std::vector<std::uint32_t> pixels;
    for (int r = y; r < y + height; ++r) {
        const std::uint32_t* row = sky->data() + r * canvas_width + x;
        pixels.insert(pixels.end(), row, row + width);
    }
    return pixels;
}

// The clouds float at fixed heights over rows of the backdrop that are each a single colour,
// and never over one another, so each is composed over the sky once and copied whole into
// every frame; a cloud over a row of many colours would be blended every frame instead.
void draw_clouds(std::uint32_t* canvas, float scroll) {
    static const std::array<std::vector<std::uint32_t>, cloud_count> sky = [] {
        std::array<std::vector<std::uint32_t>, cloud_count> clouds;
        for (int i = 0; i < cloud_count; ++i) {
            const int y = cloud_placement(i, 0).y;
            clouds[i] = compose_over_sky(0, y, cloud_width, cloud_height, [y](std::uint32_t* sky_canvas) {
                blit_sprite(sky_canvas, sprite_table[cloud_sprite], 0, y, 0, world_rows);
            });
        }
        return clouds;
    }();
    for (int i = 0; i < cloud_count; ++i) {
        const CloudPlacement c = cloud_placement(i, scroll);
        if (sky[i].empty()) {
            blit_sprite(canvas, sprite_table[cloud_sprite], c.x, c.y, 0, world_rows);
            continue;
        }
        const int first = std::max(c.x, 0), end = std::min(c.x + cloud_width, canvas_width);
        for (int r = 0; r < cloud_height && first < end; ++r)
            std::memcpy(canvas + (c.y + r) * canvas_width + first, sky[i].data() + r * cloud_width + (first - c.x),
                        static_cast<std::size_t>(end - first) * sizeof *canvas);
    }
}

// The body repeats one row of the pipe image all the way down: each of that row's runs is
// blended down the column of rows or, where opaque, copied once and that copy repeated.
void draw_pipe(std::uint32_t* canvas, int x, int top, int bottom, bool cap_at_bottom) {
    int r0 = std::max(top, 0), r1 = std::min(bottom, world_rows);
    int c0 = std::max(x, 0), c1 = std::min(x + pipe_width, canvas_width);
    const std::uint32_t* body = pipe_body_image.pixels + pipe_body_row * pipe_body_image.width;
    const SpriteRow& runs = pipe_body_image.rows[pipe_body_row];
    for (std::uint32_t i = 0; i < runs.count; ++i) {
        const SpriteRun& run = runs.runs[i];
        int first = std::max(x + run.start, c0), end = std::min(x + run.start + run.length, c1);
        const auto n = static_cast<std::size_t>(end - first);
        const std::uint32_t* first_row = canvas + r0 * canvas_width + first;
        for (int row = r0; row < r1 && first < end; ++row) {
            std::uint32_t* dst = canvas + row * canvas_width + first;
            if (!run.opaque) blend_span(dst, body + (first - x), n);
            else if (row == r0) copy_opaque_span(dst, body + (first - x), n);
            else std::memcpy(dst, first_row, n * sizeof *dst);
        }
    }
    int cap_y = cap_at_bottom ? bottom - pipe_cap_height : top;
    blit_sprite(canvas, sprite_table[pipe_cap_sprite], x, cap_y, r0, r1);
}

std::optional<PipePosition> pipe_position(float x, float gap_y) {
    if (!std::isfinite(x) || !std::isfinite(gap_y) || !(x >= -36.0f && x < 640.0f)) return std::nullopt;
    return PipePosition{round_clamp(x, -pipe_width, canvas_width), round_clamp(gap_y, -1000, 1000)};
}

void draw_pipe_pair(std::uint32_t* canvas, float x, float gap_y) {
    const std::optional<PipePosition> at = pipe_position(x, gap_y);
    if (!at) return;
    draw_pipe(canvas, at->x, 0, at->gap - gap_half_height, true);
    draw_pipe(canvas, at->x, at->gap + gap_half_height, world_rows, false);
}

void draw_ground(std::uint32_t* canvas, float scroll) {
    int g = ground_offset(scroll);
    int period = static_cast<int>(ground_strip.width);
    for (int r = 0; r < ground_rows; ++r)
        copy_repeating(canvas + (world_rows + r) * canvas_width, art_data::ground_rgb + r * period, period, g,
                       canvas_width);
}

}  // namespace skimbo
