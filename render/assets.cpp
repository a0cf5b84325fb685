#include "render/assets.h"

#include <algorithm>

#include "render/art_data.h"
#include "render/art_forms.h"
#include "render/art_pack.h"

namespace skimbo {
namespace {

// Every image as the renderer reads it, unpacked once as the program starts and never
// written again.
struct Art {
    std::uint32_t pipe_cap[36 * 12];
    std::uint32_t font_small[36][10 * 10];
    std::uint32_t font_medium[36][16 * 16];
    std::uint32_t font_large[36][26 * 26];
    std::uint32_t cloud[64 * 28];
    std::uint32_t bird[6][bird_width * bird_height];
    std::uint32_t play_button[40 * 40];
    std::uint32_t restart_button[40 * 40];
    std::uint32_t close_button[28 * 28];
    std::uint32_t pause_button[28 * 28];
    std::uint32_t ground[404 * 14];
    std::uint32_t pipe_body[36 * 172];
    std::uint32_t backdrop_rgb[640 * 158];
    std::uint32_t backdrop_dimmed_rgb[640 * 158];
    std::uint8_t backdrop_plain_rows[158];
    std::uint32_t ground_rgb[404 * 14];
    std::uint32_t ground_dimmed_rgb[404 * 14];
    std::uint32_t bird_padded[6][padded_bird_cells];
    std::uint8_t bird_blank_cells[6][padded_bird_cells];
};

Art art;

void unpack(const std::uint8_t* packed, std::uint32_t* out, std::size_t width, std::size_t height) {
    art_pack::unpack(packed, art_data::palette, out, width * height, width);
}

// The still forms the renderer copies instead of composing: the backdrop as canvas words, and
// the ground strip blended over its base colours; either also under the veil.
void compose_still_forms() {
    for (std::size_t i = 0; i < std::size(art.backdrop_rgb); ++i) {
        art.backdrop_rgb[i] &= 0x00FFFFFFu;
        art.backdrop_dimmed_rgb[i] = dimmed(art.backdrop_rgb[i]);
    }
    for (int row = 0; row < 158; ++row) {
        const std::uint32_t* p = art.backdrop_rgb + row * 640;
        art.backdrop_plain_rows[row] = std::all_of(p, p + 640, [p](std::uint32_t c) { return c == p[0]; });
    }
    for (std::size_t i = 0; i < std::size(art.ground); ++i) {
        art.ground_rgb[i] = blend_premultiplied(ground_base(static_cast<int>(i / 404)), art.ground[i]);
        art.ground_dimmed_rgb[i] = dimmed(art.ground_rgb[i]);
    }
    for (int f = 0; f < 6; ++f)
        for (int row = 0; row < bird_height; ++row)
            for (int col = 0; col < bird_width; ++col)
                art.bird_padded[f][(row + 1) * padded_bird_width + col + 1] = art.bird[f][row * bird_width + col];
    for (int f = 0; f < 6; ++f) {
        const std::uint32_t* padded = art.bird_padded[f];
        auto clear = [padded](int cell) { return cell >= padded_bird_cells || padded[cell] >> 24 == 0; };
        for (int cell = 0; cell < padded_bird_cells; ++cell)
            art.bird_blank_cells[f][cell] = clear(cell) && clear(cell + 1) && clear(cell + padded_bird_width) &&
                                            clear(cell + padded_bird_width + 1);
    }
}

void unpack_art() {
    namespace d = art_data;
    unpack(d::pipe_cap_packed, art.pipe_cap, 36, 12);
    unpack(d::font_small_packed, art.font_small[0], 10, glyph_count * 10);
    unpack(d::font_medium_packed, art.font_medium[0], 16, glyph_count * 16);
    unpack(d::font_large_packed, art.font_large[0], 26, glyph_count * 26);
    unpack(d::cloud_packed, art.cloud, 64, 28);
    unpack(d::bird_packed, art.bird[0], bird_width, 6 * bird_height);
    unpack(d::play_button_packed, art.play_button, 40, 40);
    unpack(d::restart_button_packed, art.restart_button, 40, 40);
    unpack(d::close_button_packed, art.close_button, 28, 28);
    unpack(d::pause_button_packed, art.pause_button, 28, 28);
    unpack(d::ground_packed, art.ground, 404, 14);
    unpack(d::pipe_body_packed, art.pipe_body, 36, 172);
    unpack(d::backdrop_packed, art.backdrop_rgb, 640, 158);
    compose_still_forms();
}

struct UnpackAtStart {
    UnpackAtStart() { unpack_art(); }
} unpack_at_start;

constexpr std::array<Sprite, sprite_count> make_table() {
    namespace d = art_data;
    std::array<Sprite, sprite_count> t{};
    t[pipe_cap_sprite] = {36, 12, art.pipe_cap, d::pipe_cap_rows};
    for (int g = 0; g < glyph_count; ++g) {
        t[font_small_first + g] = {10, 10, art.font_small[g], d::font_small_rows[g]};
        t[font_large_first + g] = {26, 26, art.font_large[g], d::font_large_rows[g]};
        t[font_medium_first + g] = {16, 16, art.font_medium[g], d::font_medium_rows[g]};
    }
    t[cloud_sprite] = {64, 28, art.cloud, d::cloud_rows};
    // The bird is resampled from its padded frames, never blitted.
    t[bird_stunned_first] = {26, 20, art.bird[4]};
    t[bird_stunned_first + 1] = {26, 20, art.bird[5]};
    for (int f = 0; f < 4; ++f) t[bird_flight_first + f] = {26, 20, art.bird[f]};
    t[play_button_sprite] = {40, 40, art.play_button, d::play_button_rows};
    t[restart_button_sprite] = {40, 40, art.restart_button, d::restart_button_rows};
    t[close_button_sprite] = {28, 28, art.close_button, d::close_button_rows};
    t[pause_button_sprite] = {28, 28, art.pause_button, d::pause_button_rows};
    return t;
}

}  // namespace

const std::uint32_t (&art_data::backdrop_rgb)[640 * 158] = art.backdrop_rgb;
const std::uint32_t (&art_data::backdrop_dimmed_rgb)[640 * 158] = art.backdrop_dimmed_rgb;
const std::uint8_t (&art_data::backdrop_plain_rows)[158] = art.backdrop_plain_rows;
const std::uint32_t (&art_data::ground_rgb)[404 * 14] = art.ground_rgb;
const std::uint32_t (&art_data::ground_dimmed_rgb)[404 * 14] = art.ground_dimmed_rgb;
const std::uint32_t (&art_data::bird_padded)[6][28 * 22] = art.bird_padded;
const std::uint8_t (&art_data::bird_blank_cells)[6][28 * 22] = art.bird_blank_cells;

constinit const std::array<Sprite, sprite_count> sprite_table = make_table();
constinit const Sprite ground_strip{404, 14, art.ground};
constinit const Sprite pipe_body_image{36, 172, art.pipe_body, art_data::pipe_body_rows};

}  // namespace skimbo
