#include "render/assets.h"

#include "render/art_data.h"

namespace skimbo {
namespace {

constexpr std::array<Sprite, sprite_count> make_table() {
    namespace d = art_data;
    std::array<Sprite, sprite_count> t{};
    t[pipe_cap_sprite] = {36, 12, d::pipe_cap, d::pipe_cap_rows};
    for (int g = 0; g < glyph_count; ++g) {
        t[font_small_first + g] = {10, 10, d::font_small[g], d::font_small_rows[g]};
        t[font_large_first + g] = {26, 26, d::font_large[g], d::font_large_rows[g]};
        t[font_medium_first + g] = {16, 16, d::font_medium[g], d::font_medium_rows[g]};
    }
    t[cloud_sprite] = {64, 28, d::cloud, d::cloud_rows};
    // The bird is resampled from its padded frames, never blitted.
    t[bird_stunned_first] = {26, 20, d::bird[4]};
    t[bird_stunned_first + 1] = {26, 20, d::bird[5]};
    for (int f = 0; f < 4; ++f) t[bird_flight_first + f] = {26, 20, d::bird[f]};
    t[play_button_sprite] = {40, 40, d::play_button, d::play_button_rows};
    t[restart_button_sprite] = {40, 40, d::restart_button, d::restart_button_rows};
    t[close_button_sprite] = {28, 28, d::close_button, d::close_button_rows};
    t[pause_button_sprite] = {28, 28, d::pause_button, d::pause_button_rows};
    return t;
}

}  // namespace

constinit const std::array<Sprite, sprite_count> sprite_table = make_table();
constinit const Sprite backdrop_image{640, 158, art_data::backdrop};
constinit const Sprite ground_strip{404, 14, art_data::ground};
constinit const Sprite pipe_body_image{36, 172, art_data::pipe_body, art_data::pipe_body_rows};

}  // namespace skimbo
