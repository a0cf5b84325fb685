// The veil of the still screens: the marked places of the world are drawn over the plain
// backdrop and dimmed pixel by pixel, everything else is copied from the backdrop and the
// ground stored dimmed.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "render/art_data.h"
#include "render/assets.h"
#include "render/scene_parts.h"
#include "render/spans.h"

namespace skimbo {
namespace {

// Calls visit(col, end, marked) for the runs of equally marked columns of row, in order.
template <typename Visit>
void for_each_run(const VeilMarks& marks, int row, Visit visit) {
    for (int col = 0; col < canvas_width;) {
        const bool marked = marks.marked(row, col);
        const int end = marks.next_change(row, col, marked);
        visit(col, end, marked);
        col = end;
    }
}

}  // namespace

void VeilMarks::mark(int col0, int col1, int row0, int row1) {
    col0 = std::max(col0, 0), col1 = std::min(col1, canvas_width);
    row0 = std::max(row0, 0), row1 = std::min(row1, world_rows);
    for (int row = row0; row < row1; ++row)
        for (int col = col0; col < col1;) {
            const int word = col / 64, end = std::min(col1, (word + 1) * 64);
            const std::uint64_t from_col = ~0ull << (col % 64);
            const std::uint64_t before_end = end % 64 == 0 ? ~0ull : ~(~0ull << (end % 64));
            rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(word)] |= from_col & before_end;
            col = end;
        }
}

bool VeilMarks::marked(int row, int col) const {
    return (rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col / 64)] >> (col % 64) & 1) != 0;
}

int VeilMarks::next_change(int row, int col, bool marked) const {
    const auto& bits = rows[static_cast<std::size_t>(row)];
    for (int word = col / 64; word < words_per_row; ++word) {
        std::uint64_t differ = bits[static_cast<std::size_t>(word)] ^ (marked ? ~0ull : 0ull);
        if (word == col / 64) differ &= ~0ull << (col % 64);
        if (differ != 0) return word * 64 + std::countr_zero(differ);
    }
    return canvas_width;
}

void mark_world(const SceneView& view, VeilMarks& marks) {
    for (int i = 0; i < cloud_count; ++i) {
        const CloudPlacement c = cloud_placement(i, view.scroll);
        marks.mark(c.x, c.x + cloud_width, c.y, c.y + cloud_height);
    }
    const std::size_t pipes = std::min(view.pipes.size(), max_drawn_pipes);
    for (std::size_t i = 0; i < pipes; ++i) {
        const std::optional<PipePosition> at = pipe_position(view.pipes[i].x, view.pipes[i].gap_y);
        if (!at) continue;
        marks.mark(at->x, at->x + pipe_width, 0, at->gap - gap_half_height);
        marks.mark(at->x, at->x + pipe_width, at->gap + gap_half_height, world_rows);
    }
    if (const std::optional<BirdRows> bird = bird_rows(view.bird_y))
        marks.mark(bird_first_column, bird_last_column + 1, bird->first, bird->last);
}

void draw_backdrop_under_veil(std::uint32_t* canvas, float scroll, const VeilMarks& marks) {
    const int o = backdrop_offset(scroll);
    for (int row = 0; row < world_rows; ++row)
        for_each_run(marks, row,
                     [&](int col, int end, bool marked) { copy_backdrop(canvas, row, col, end, o, !marked); });
}

void veil_world(std::uint32_t* canvas, float scroll, const VeilMarks& marks) {
    for (int row = 0; row < world_rows; ++row)
        for_each_run(marks, row, [&](int col, int end, bool marked) {
            if (marked) dim_span(canvas + row * canvas_width + col, static_cast<std::size_t>(end - col));
        });
    const int g = ground_offset(scroll), period = static_cast<int>(ground_strip.width);
    for (int r = 0; r < canvas_height - world_rows; ++r)
        copy_repeating(canvas + (world_rows + r) * canvas_width, art_data::ground_dimmed_rgb + r * period, period, g,
                       canvas_width);
}

void dim_canvas(std::uint32_t* canvas) { dim_span(canvas, canvas_pixel_count); }

}  // namespace skimbo
