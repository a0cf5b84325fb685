#pragma once
// The steps render_scene composes a frame from, in drawing order. They are separate
// so that tests can check each one's geometry on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "render/art_forms.h"
#include "render/canvas.h"
#include "render/scene.h"

namespace skimbo {

inline constexpr int world_rows = 158;  // rows 158-171 are the ground
inline constexpr std::size_t max_drawn_pipes = 128;

// A non-finite v becomes 0; then v is clamped into [lo, hi] and rounded half away from zero.
int round_clamp(float v, int lo, int hi);

// Horizontal phase of the backdrop, the clouds and the ground for a scroll distance.
int backdrop_offset(float scroll);
int cloud_offset(float scroll);
int ground_offset(float scroll);

// Table index of the bird frame shown for the animation clock in this phase.
int bird_sprite_index(float anim_clock, ViewPhase phase);

// Rows [first, last) the bird pass visits and the centre row it turns around.
struct BirdRows {
    float centre;
    int first;
    int last;
};
std::optional<BirdRows> bird_rows(float bird_y);

// Under the veil of the still screens most of the world is backdrop, and the backdrop is
// stored dimmed already. The world's steps mark what they draw over it, so that only those
// pixels are dimmed one by one and every other one is copied from the dimmed backdrop.
struct VeilMarks {
    static constexpr int words_per_row = canvas_width / 64;
    std::array<std::array<std::uint64_t, words_per_row>, world_rows> rows{};

    // Marks columns [col0, col1) of rows [row0, row1), clipped to the world.
    void mark(int col0, int col1, int row0, int row1);
    // The first column from col on whose mark differs from marked; canvas_width if none.
    int next_change(int row, int col, bool marked) const;
};

void draw_backdrop(std::uint32_t* canvas, float scroll);
void draw_clouds(std::uint32_t* canvas, float scroll, VeilMarks* marks = nullptr);
void draw_pipe(std::uint32_t* canvas, int x, int top, int bottom, bool cap_at_bottom, VeilMarks* marks = nullptr);
void draw_pipe_pair(std::uint32_t* canvas, float x, float gap_y, VeilMarks* marks = nullptr);
void draw_bird(std::uint32_t* canvas, const SceneView& view, VeilMarks* marks = nullptr);
void draw_ground(std::uint32_t* canvas, float scroll);
// The world under the veil: what was marked is dimmed, the rest is the dimmed backdrop, and
// the ground is the dimmed ground (nothing is ever drawn over the ground in the world layer).
void veil_world(std::uint32_t* canvas, float scroll, const VeilMarks& marks);
// The veil over every pixel of the canvas.
void dim_canvas(std::uint32_t* canvas);
void draw_interface(std::uint32_t* canvas, const SceneView& view);
void draw_exit_ring(std::uint32_t* canvas, std::int32_t exit_progress);

}  // namespace skimbo
