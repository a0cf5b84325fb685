#include "render/scene.h"

#include <bit>

#include "render/canvas.h"
#include "render/scene_parts.h"

namespace skimbo {

namespace {

// What the world draws over its backdrop.
void draw_world_things(std::uint32_t* canvas, const SceneView& view) {
    draw_clouds(canvas, view.scroll);
    std::size_t pipes = view.pipes.size() < max_drawn_pipes ? view.pipes.size() : max_drawn_pipes;
    for (std::size_t i = 0; i < pipes; ++i) draw_pipe_pair(canvas, view.pipes[i].x, view.pipes[i].gap_y);
    draw_bird(canvas, view);
}

bool same_bits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// Everything a frame shows but the bird.
bool same_scenery(const SceneView& a, const SceneView& b) {
    if (a.phase != b.phase || !same_bits(a.scroll, b.scroll) || a.score != b.score || a.best != b.best ||
        a.exit_progress != b.exit_progress || a.pipes.size() != b.pipes.size())
        return false;
    for (std::size_t i = 0; i < a.pipes.size(); ++i)
        if (!same_bits(a.pipes[i].x, b.pipes[i].x) || !same_bits(a.pipes[i].gap_y, b.pipes[i].gap_y)) return false;
    return true;
}

bool same_bird(const SceneView& a, const SceneView& b) {
    return same_bits(a.bird_y, b.bird_y) && same_bits(a.bird_angle, b.bird_angle) &&
           bird_sprite_index(a.anim_clock, a.phase) == bird_sprite_index(b.anim_clock, b.phase);
}

}  // namespace

bool same_frame(const SceneView& a, const SceneView& b) { return same_scenery(a, b) && same_bird(a, b); }

ColumnSpan changed_columns(const SceneView& a, const SceneView& b) {
    if (!same_scenery(a, b)) return {};
    if (same_bird(a, b)) return no_columns;
    return {bird_first_column, bird_last_column};
}

bool SceneCanvas::draw(const SceneView& view, std::uint32_t* canvas, std::size_t canvas_pixels) {
    changed = showing ? changed_columns(shown, view) : ColumnSpan{};
    if (changed.empty()) return false;
    render_scene(view, canvas, canvas_pixels);
    shown = view;
    showing = canvas && canvas_pixels >= canvas_pixel_count;
    return true;
}

// Every frame is drawn from scratch: world, bird, ground, then the dimming veil of the
// still screens, the interface of the phase, and the corner marks with the exit ring.
void render_scene(const SceneView& view, std::uint32_t* canvas, std::size_t canvas_pixels) {
    if (!canvas || canvas_pixels < canvas_pixel_count) return;
    if (view.phase == ViewPhase::Paused || view.phase == ViewPhase::GameOver) {
        VeilMarks marks;
        mark_world(view, marks);
        draw_backdrop_under_veil(canvas, view.scroll, marks);
        draw_world_things(canvas, view);
        veil_world(canvas, view.scroll, marks);
    } else {
        draw_backdrop(canvas, view.scroll);
        draw_world_things(canvas, view);
        draw_ground(canvas, view.scroll);
    }
    draw_interface(canvas, view);
    draw_exit_ring(canvas, view.exit_progress);
}

}  // namespace skimbo
