#pragma once
// The qualified panel's pixels straight from the canvas: RGB565, turned by 270 degrees, eight
// panel rows (canvas columns) at a time. One pass packs, turns and compares with the shadow,
// so each byte of the canvas and of the shadow is read once and each shadow byte written once.
#include <cstddef>
#include <cstdint>

#include "render/canvas.h"

namespace skimbo {

inline constexpr int strip_rows = 8;  // panel rows per strip
inline constexpr int strip_count = canvas_width / strip_rows;
inline constexpr std::size_t panel_row_bytes = canvas_height * 2;  // one RGB565 panel row
static_assert(canvas_width % strip_rows == 0);

// Converts panel rows 8 * strip to 8 * strip + 7 into shadow, which holds the 640 panel rows of
// 344 bytes back to back; panel pixel (col, row) is canvas pixel (row, 171 - col) as
// (R >> 3) << 11 | (G >> 2) << 5 | B >> 3. Returns bit i set where row 8 * strip + i now holds
// other bytes than before.
std::uint32_t turn_strip(const Canvas& canvas, int strip, std::uint8_t* shadow);

// turn_strip with the processor's 32-byte vectors or without them, for the tests, which check
// each way. Only x86-64 processors with AVX2 have the wider way; elsewhere both are the same.
bool has_wide_strips();
std::uint32_t turn_strip_by(const Canvas& canvas, int strip, std::uint8_t* shadow, bool wide);

// Copies converted rows from the shadow to the device: a strip's rows at once where the
// device's lie back to back, or one row.
void copy_rows(std::uint8_t* device, const std::uint8_t* shadow, std::size_t bytes);

}  // namespace skimbo
