#pragma once
// One frame's description, filled by the session driver from the game and the gesture
// tracker, and drawn from scratch by render_scene, which keeps no state; a SceneCanvas
// remembers what its canvas shows, so that a frame that stands still is not drawn again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/canvas.h"

namespace skimbo {

enum class ViewPhase : std::uint32_t { Ready = 1, Playing = 2, Paused = 3, GameOver = 4 };

struct PipeView {
    float x;      // left edge column
    float gap_y;  // centre row of the opening
};

struct SceneView {
    ViewPhase phase = ViewPhase::Ready;
    float bird_y = 0;
    float bird_angle = 0;  // degrees, positive turns the bird clockwise (nose down)
    float anim_clock = 0;  // seconds
    float scroll = 0;      // pixels
    std::int32_t score = 0;
    std::int32_t best = 0;
    std::vector<PipeView> pipes;
    std::int32_t exit_progress = 0;  // thousandths of the exit hold
};

// Draws the whole frame; does nothing unless canvas holds at least 110,080 pixels.
void render_scene(const SceneView& view, std::uint32_t* canvas, std::size_t canvas_pixels);

// Whether two views draw the same frame: every field the renderer reads, bit for bit, except
// the animation clock, which counts only through the bird frame it picks.
bool same_frame(const SceneView& a, const SceneView& b);

// The canvas columns in which the frames of two views can differ: none for the same frame,
// the bird's reach where only the bird differs (a falling bird, the world standing still),
// every column otherwise.
ColumnSpan changed_columns(const SceneView& a, const SceneView& b);

// One canvas and the view it shows. A view that draws the frame the canvas already shows (a
// paused game, a game-over screen between two wing beats) is not drawn again; nothing else may
// write the canvas.
struct SceneCanvas {
    SceneView shown;
    bool showing = false;
    ColumnSpan changed = no_columns;  // the columns the last call may have changed

    // Draws the view unless the canvas shows its frame already; returns whether it drew.
    bool draw(const SceneView& view, std::uint32_t* canvas, std::size_t canvas_pixels);
};

}  // namespace skimbo
