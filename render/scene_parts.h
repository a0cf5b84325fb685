#pragma once
// The steps render_scene composes a frame from, in drawing order. They are separate
// so that tests can check each one's geometry on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

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

// Columns and rows [first, last) the bird pass visits, and the centre row it turns around.
inline constexpr int bird_first_column = 131, bird_last_column = 169;  // inclusive; cover any turn
struct BirdRows {
    float centre;
    int first;
    int last;
};
std::optional<BirdRows> bird_rows(float bird_y);

// Where the clouds and the pipes land, for their drawing and for the veil's marks.
inline constexpr int cloud_count = 3;
inline constexpr int cloud_width = 64, cloud_height = 28;
inline constexpr int pipe_width = 36;
inline constexpr int gap_half_height = 34;

struct CloudPlacement {
    int x, y;  // top-left corner
};
CloudPlacement cloud_placement(int cloud, float scroll);
// What `draw` makes of the backdrop's rows y to y + height - 1, columns x to x + width - 1, when
// each of those rows is a single colour: the same every frame wherever the scroll stands, so
// drawn once and copied, row after row. Empty where a row is not of one colour.
std::vector<std::uint32_t> compose_over_sky(int x, int y, int width, int height,
                                            const std::function<void(std::uint32_t* canvas)>& draw);

struct PipePosition {
    int x;    // left column, rounded
    int gap;  // centre row of the opening, rounded
};
// Nothing for a pipe pair that is not drawn.
std::optional<PipePosition> pipe_position(float x, float gap_y);

void draw_backdrop(std::uint32_t* canvas, float scroll);
// Columns [col, end) of one backdrop row scrolled by offset o, from the plain image or from
// the image stored under the veil.
void copy_backdrop(std::uint32_t* canvas, int row, int col, int end, int o, bool dimmed);
void draw_clouds(std::uint32_t* canvas, float scroll);
void draw_pipe(std::uint32_t* canvas, int x, int top, int bottom, bool cap_at_bottom);
void draw_pipe_pair(std::uint32_t* canvas, float x, float gap_y);
void draw_bird(std::uint32_t* canvas, const SceneView& view);
// The turned bird's sample points are fused multiply-adds. Where the processor has no such
// instruction (the x86-64 baseline) they are computed in double precision instead, to the
// same bits; draw_bird takes the instruction wherever the processor has it.
bool has_fused_instruction();
void draw_bird_by(std::uint32_t* canvas, const SceneView& view, bool fused_instruction);
void draw_ground(std::uint32_t* canvas, float scroll);

// Under the veil of the still screens most of the world is backdrop, which is stored dimmed
// already. So the places where clouds, pipes and bird will be drawn are marked first; there
// the plain backdrop is drawn and everything dimmed pixel by pixel afterwards, and everywhere
// else the dimmed backdrop is copied.
struct VeilMarks {
    static constexpr int words_per_row = canvas_width / 64;
    std::array<std::array<std::uint64_t, words_per_row>, world_rows> rows{};

    // Marks columns [col0, col1) of rows [row0, row1), clipped to the world.
    void mark(int col0, int col1, int row0, int row1);
    bool marked(int row, int col) const;
    // The first column from col on whose mark differs from marked; canvas_width if none.
    int next_change(int row, int col, bool marked) const;
};

// Marks the rectangles the view's clouds, pipes and bird are drawn in.
void mark_world(const SceneView& view, VeilMarks& marks);
// The backdrop of a still screen: plain where marked, dimmed elsewhere.
void draw_backdrop_under_veil(std::uint32_t* canvas, float scroll, const VeilMarks& marks);
// Dims what was marked, and draws the dimmed ground (nothing is drawn over the ground).
void veil_world(std::uint32_t* canvas, float scroll, const VeilMarks& marks);
// The veil over every pixel of the canvas.
void dim_canvas(std::uint32_t* canvas);
void draw_interface(std::uint32_t* canvas, const SceneView& view);
// The close button (any phase) or the pause button (play) in its corner: the same pixels as
// its blit over whatever the world drew there.
inline constexpr int close_button_x = 8, pause_button_x = 604, corner_button_y = 6;
void draw_corner_button(std::uint32_t* canvas, const SceneView& view, int sprite, int x);
void draw_exit_ring(std::uint32_t* canvas, std::int32_t exit_progress);

}  // namespace skimbo
