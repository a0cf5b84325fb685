#include "render/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "render/assets.h"
#include "render/blit.h"
#include "render/outlined_glyph.h"

namespace skimbo {
namespace {

constexpr std::uint32_t shadow_colour = 0xF4FCFF;

struct Font {
    int first_sprite;
    int advance;
};

std::optional<Font> font_for_size(int size) {
    switch (size) {
    case 26: return Font{font_large_first, 24};
    case 16: return Font{font_medium_first, 16};
    case 10: return Font{font_small_first, 10};
    }
    return std::nullopt;
}

// Left pen position of a run of n glyphs centred on cx. The large glyphs are two
// columns wider than their advance, hence the +2 for that size.
std::int64_t run_start(int cx, int size, std::int64_t n, int advance) {
    if (size == 26) return cx - (std::int64_t{advance} * n + 2) / 2;
    return cx - std::int64_t{advance} * n / 2;
}

void draw_glyph(std::uint32_t* canvas, int sprite, int x, int y, TextStyle style) {
    if (style == TextStyle::Outlined) return draw_outlined_glyph(canvas, sprite, x, y);
    const Sprite& glyph = sprite_table[sprite];
    blit_tinted(canvas, glyph, x, y + 1, shadow_colour);
    blit_sprite(canvas, glyph, x, y, 0, canvas_height);
}

}  // namespace

void draw_text(std::uint32_t* canvas, const char* text, int cx, int y, int size, TextStyle style) {
    std::optional<Font> font = font_for_size(size);
    if (!canvas || !text || !font) return;
    // Far above or below the canvas nothing shows, and y +- 2 stays far from overflow.
    if (y < -64 || y > canvas_height + 64) return;
    std::int64_t n = static_cast<std::int64_t>(std::strlen(text));
    std::int64_t pen = run_start(cx, size, n, font->advance);
    // Glyphs are at most 26 wide and outlines reach one column further on each side.
    constexpr std::int64_t reach = 27;
    for (const char* p = text; *p && pen < canvas_width + reach; ++p, pen += font->advance) {
        std::optional<int> glyph = glyph_index(static_cast<unsigned char>(*p));
        if (!glyph || pen <= -reach) continue;
        draw_glyph(canvas, font->first_sprite + *glyph, static_cast<int>(pen), y, style);
    }
}

void draw_number(std::uint32_t* canvas, int value, int cx, int y, int size, TextStyle style) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%d", std::clamp(value, 0, 999999));
    draw_text(canvas, digits, cx, y, size, style);
}

}  // namespace skimbo
