#pragma once
// The steps render_scene composes a frame from, in drawing order. They are separate
// so that tests can check each one's geometry on its own.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "render/scene.h"

namespace skimbo {

inline constexpr int world_rows = 158;  // rows 158-171 are the ground
inline constexpr std::size_t max_drawn_pipes = 128;
inline constexpr std::uint32_t dimming_colour = 0x4D061A20;

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

void draw_backdrop(std::uint32_t* canvas, float scroll);
void draw_clouds(std::uint32_t* canvas, float scroll);
void draw_pipe(std::uint32_t* canvas, int x, int top, int bottom, bool cap_at_bottom);
void draw_pipe_pair(std::uint32_t* canvas, float x, float gap_y);
void draw_bird(std::uint32_t* canvas, const SceneView& view);
void draw_ground(std::uint32_t* canvas, float scroll);
void dim_canvas(std::uint32_t* canvas);
void draw_interface(std::uint32_t* canvas, const SceneView& view);
void draw_exit_ring(std::uint32_t* canvas, std::int32_t exit_progress);

}  // namespace skimbo
