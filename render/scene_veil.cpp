// The veil of the still screens: the world marked as drawn over the backdrop is dimmed pixel
// by pixel, everything else is copied from the backdrop and the ground stored dimmed.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "render/art_data.h"
#include "render/assets.h"
#include "render/scene_parts.h"
#include "render/spans.h"

namespace skimbo {

void VeilMarks::mark(int col0, int col1, int row0, int row1) {
    col0 = std::max(col0, 0), col1 = std::min(col1, canvas_width);
    row0 = std::max(row0, 0), row1 = std::min(row1, world_rows);
    for (int row = row0; row < row1; ++row)
        for (int col = col0; col < col1;) {
            const int word = col / 64, end = std::min(col1, (word + 1) * 64);
            const std::uint64_t low = ~0ull << (col % 64);
            const std::uint64_t high = end % 64 == 0 ? ~0ull : ~(~0ull << (end % 64));
            rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(word)] |= low & high;
            col = end;
        }
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

void veil_world(std::uint32_t* canvas, float scroll, const VeilMarks& marks) {
    const int o = backdrop_offset(scroll);
    for (int row = 0; row < world_rows; ++row) {
        std::uint32_t* dst = canvas + row * canvas_width;
        const std::uint32_t* backdrop = art_data::backdrop_dimmed_rgb + row * canvas_width;
        bool marked = (marks.rows[static_cast<std::size_t>(row)][0] & 1) != 0;
        for (int col = 0; col < canvas_width; marked = !marked) {
            const int end = marks.next_change(row, col, marked);
            if (marked) dim_span(dst + col, static_cast<std::size_t>(end - col));
            else copy_repeating(dst + col, backdrop, canvas_width, (o + col) % canvas_width, end - col);
            col = end;
        }
    }
    const int g = ground_offset(scroll), period = static_cast<int>(ground_strip.width);
    for (int r = 0; r < canvas_height - world_rows; ++r)
        copy_repeating(canvas + (world_rows + r) * canvas_width, art_data::ground_dimmed_rgb + r * period, period, g,
                       canvas_width);
}

void dim_canvas(std::uint32_t* canvas) { dim_span(canvas, canvas_pixel_count); }

}  // namespace skimbo
