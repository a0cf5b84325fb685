#include "render/scene.h"

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

}  // namespace

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
