#pragma once
// The generated pixel arrays (premultiplied ARGB, row by row) behind the sprite table
// and the three images, the runs of their rows, and the forms the renderer copies or samples
// instead (render/art_forms.h). Defined in the build directory's art_data.cpp, which the
// generator under render/art/ writes.
#include <cstdint>

#include "render/canvas.h"

namespace skimbo::art_data {

extern const std::uint32_t pipe_cap[36 * 12];
extern const std::uint32_t font_small[36][10 * 10];
extern const std::uint32_t font_medium[36][16 * 16];
extern const std::uint32_t font_large[36][26 * 26];
extern const std::uint32_t cloud[64 * 28];
extern const std::uint32_t bird[6][26 * 20];  // flight frames 0-3, then stunned 0-1
extern const std::uint32_t play_button[40 * 40];
extern const std::uint32_t restart_button[40 * 40];
extern const std::uint32_t close_button[28 * 28];
extern const std::uint32_t pause_button[28 * 28];
extern const std::uint32_t backdrop[640 * 158];
extern const std::uint32_t ground[404 * 14];
extern const std::uint32_t pipe_body[36 * 172];

// Canvas words (alpha cleared): the backdrop, and the ground strip over its base colours;
// each also under the veil of the still screens.
extern const std::uint32_t backdrop_rgb[640 * 158];
extern const std::uint32_t backdrop_dimmed_rgb[640 * 158];
extern const std::uint32_t ground_rgb[404 * 14];
extern const std::uint32_t ground_dimmed_rgb[404 * 14];
// The bird frames inside a one-pixel clear border, in the order of bird.
extern const std::uint32_t bird_padded[6][28 * 22];

extern const SpriteRun art_runs[];
extern const SpriteRow pipe_cap_rows[12];
extern const SpriteRow font_small_rows[36][10];
extern const SpriteRow font_medium_rows[36][16];
extern const SpriteRow font_large_rows[36][26];
extern const SpriteRow cloud_rows[28];
extern const SpriteRow play_button_rows[40];
extern const SpriteRow restart_button_rows[40];
extern const SpriteRow close_button_rows[28];
extern const SpriteRow pause_button_rows[28];
extern const SpriteRow pipe_body_rows[172];

}  // namespace skimbo::art_data
