#pragma once
// The generated pixel arrays (premultiplied ARGB, row by row) behind the sprite table
// and the three images. Defined in the build directory's art_data.cpp, which the
// generator under render/art/ writes.
#include <cstdint>

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

}  // namespace skimbo::art_data
