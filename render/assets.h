#pragma once
// The compiled-in art: a table of 120 sprites addressed by fixed index, and two larger
// images. All pixels are premultiplied ARGB, generated at build time from the drawing code
// under render/art/ and unpacked as the program starts. The backdrop is only ever copied,
// from its canvas forms (render/art_data.h).
#include <array>
#include <cstdint>
#include <optional>

#include "render/canvas.h"

namespace skimbo {

inline constexpr int sprite_count = 120;
inline constexpr int glyph_count = 36;  // A-Z, then 0-9

inline constexpr int pipe_cap_sprite = 0;
inline constexpr int font_small_first = 1;    // 10 x 10
inline constexpr int font_large_first = 37;   // 26 x 26
inline constexpr int font_medium_first = 73;  // 16 x 16
inline constexpr int cloud_sprite = 109;
inline constexpr int bird_stunned_first = 110;  // two frames
inline constexpr int bird_flight_first = 112;   // four wing positions
inline constexpr int play_button_sprite = 116;
inline constexpr int restart_button_sprite = 117;
inline constexpr int close_button_sprite = 118;
inline constexpr int pause_button_sprite = 119;

// Colour of every glyph pixel; only the alpha varies.
inline constexpr std::uint32_t glyph_colour = 0x144048;

extern const std::array<Sprite, sprite_count> sprite_table;
extern const Sprite ground_strip;     // 404 x 14, opaque
extern const Sprite pipe_body_image;  // 36 x 172, columns 0, 1, 34, 35 transparent

// Glyph number of an upper-case letter or a digit; nothing for any other byte.
constexpr std::optional<int> glyph_index(unsigned char ch) {
    if (ch >= 'A' && ch <= 'Z') return ch - 'A';
    if (ch >= '0' && ch <= '9') return ch - '0' + 26;
    return std::nullopt;
}

}  // namespace skimbo
