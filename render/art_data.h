#pragma once
// The art as the generator writes it into the build directory's art_data.cpp (render/art/):
// the shared palette and each image's packed runs (render/art_pack.h), and the runs of the
// sprite rows. The program unpacks the images as it starts (render/assets.cpp); the forms the
// renderer copies or samples besides the sprites are declared here too.
#include <cstdint>

#include "render/canvas.h"

namespace skimbo::art_data {

extern const std::uint32_t palette[];
extern const std::uint8_t pipe_cap_packed[];
extern const std::uint8_t font_small_packed[];  // the 36 glyphs, one below the other
extern const std::uint8_t font_medium_packed[];
extern const std::uint8_t font_large_packed[];
extern const std::uint8_t cloud_packed[];
extern const std::uint8_t bird_packed[];  // flight frames 0-3, then stunned 0-1, one below the other
extern const std::uint8_t play_button_packed[];
extern const std::uint8_t restart_button_packed[];
extern const std::uint8_t close_button_packed[];
extern const std::uint8_t pause_button_packed[];
extern const std::uint8_t backdrop_packed[];
extern const std::uint8_t ground_packed[];
extern const std::uint8_t pipe_body_packed[];

// Unpacked: canvas words (alpha cleared) of the backdrop, and of the ground strip over its
// base colours; each also under the veil of the still screens.
extern const std::uint32_t (&backdrop_rgb)[640 * 158];
extern const std::uint32_t (&backdrop_dimmed_rgb)[640 * 158];
// 1 for each backdrop row of a single colour (most of the sky and the ground's edge), which is
// filled rather than copied: the frame then reads no image there at all.
extern const std::uint8_t (&backdrop_plain_rows)[158];
extern const std::uint32_t (&ground_rgb)[404 * 14];
extern const std::uint32_t (&ground_dimmed_rgb)[404 * 14];
// The bird frames inside a one-pixel clear border, flight frames 0-3, then stunned 0-1.
extern const std::uint32_t (&bird_padded)[6][28 * 22];
// 1 at each cell of a padded frame whose four taps (it, its right neighbour and the two below)
// are all clear, where the bird samples nothing.
extern const std::uint8_t (&bird_blank_cells)[6][28 * 22];

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
