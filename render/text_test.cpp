#include "render/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "render/assets.h"
#include "render/render_test_support.h"

namespace skimbo {
namespace {

using Canvas32 = std::vector<std::uint32_t>;

Canvas32 drawn(const char* text, int cx, int y, int size, TextStyle style) {
    Canvas32 c = testing::patterned_canvas(9);
    draw_text(c.data(), text, cx, y, size, style);
    return c;
}

// The same text, glyph by glyph from a given pen position, through the reference blits.
Canvas32 reference_text(const std::string& text, int x0, int y, int size, TextStyle style) {
    int first = size == 26 ? font_large_first : size == 16 ? font_medium_first : font_small_first;
    int advance = size == 26 ? 24 : size;
    Canvas32 c = testing::patterned_canvas(9);
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::optional<int> g = glyph_index(static_cast<unsigned char>(text[i]));
        if (!g) continue;
        const Sprite& s = sprite_table[first + *g];
        int x = x0 + advance * static_cast<int>(i);
        if (style == TextStyle::Plain) {
            testing::reference_tinted(c, s, x, y + 1, 0xF4FCFF);
            testing::reference_blit(c, s, x, y, 0, 172);
        } else {
            testing::reference_tinted(c, s, x - 1, y, 0x144048);
            testing::reference_tinted(c, s, x + 1, y, 0x144048);
            testing::reference_tinted(c, s, x, y - 1, 0x144048);
            testing::reference_tinted(c, s, x, y + 2, 0x144048);
            testing::reference_tinted(c, s, x, y, 0xFFFFFF);
        }
    }
    return c;
}

TEST(Text, RunsStartWhereEachSizeCentresThem) {
    struct Case {
        const char* text;
        int cx, size, x0;
    };
    const Case cases[] = {
        {"GAME OVER", 320, 26, 211},  // 9 glyphs: 320 - (24*9 + 2)/2
        {"PAUSED", 320, 26, 247},     {"7", 320, 26, 307},    {"GET READY", 320, 16, 248},
        {"42", 265, 16, 249},         {"SCORE", 265, 10, 240}, {"BEST", 374, 10, 354},
        {"ABC", 1, 16, -23},          {"Z9", 639, 10, 629},
    };
    for (const Case& c : cases)
        for (TextStyle style : {TextStyle::Plain, TextStyle::Outlined})
            EXPECT_EQ(drawn(c.text, c.cx, 40, c.size, style), reference_text(c.text, c.x0, 40, c.size, style))
                << c.text << " size " << c.size;
}

TEST(Text, BytesWithoutGlyphsDrawNothingButAdvanceThePen) {
    for (int size : {10, 16, 26}) {
        Canvas32 spaced = drawn("A B", 300, 50, size, TextStyle::Plain);
        EXPECT_EQ(drawn("AxB", 300, 50, size, TextStyle::Plain), spaced);
        EXPECT_EQ(drawn("A.B", 300, 50, size, TextStyle::Plain), spaced);
        EXPECT_NE(drawn("AB", 300, 50, size, TextStyle::Plain), spaced);
        EXPECT_EQ(drawn("a b.?", 300, 50, size, TextStyle::Plain), testing::patterned_canvas(9));
    }
}

TEST(Text, NumbersAreClampedToSixDigits) {
    struct Case {
        int value;
        const char* shown;
    };
    for (Case c : {Case{-5, "0"}, Case{0, "0"}, Case{42, "42"}, Case{999999, "999999"}, Case{1234567, "999999"},
                   Case{-2147483647 - 1, "0"}, Case{2147483647, "999999"}}) {
        Canvas32 canvas = testing::patterned_canvas(9);
        draw_number(canvas.data(), c.value, 320, 8, 26, TextStyle::Outlined);
        EXPECT_EQ(canvas, drawn(c.shown, 320, 8, 26, TextStyle::Outlined)) << c.value;
    }
}

// At y = 0 only the pass shifted one row up loses its first glyph row; everything
// else matches the same text drawn lower down.
TEST(Text, OutlinedTextAtTheTopEdgeClipsOnlyTheUpperOutline) {
    constexpr int lower = 20;
    Canvas32 top(canvas_pixel_count, 0), low(canvas_pixel_count, 0);
    draw_text(top.data(), "WOW", 320, 0, 26, TextStyle::Outlined);
    draw_text(low.data(), "WOW", 320, lower, 26, TextStyle::Outlined);
    for (int row = 0; row + lower < canvas_height; ++row)
        for (int col = 0; col < canvas_width; ++col)
            ASSERT_EQ(top[row * canvas_width + col], low[(row + lower) * canvas_width + col]) << col << "," << row;
    EXPECT_NE(top, Canvas32(canvas_pixel_count, 0));
}

TEST(Text, RefusesWhatItCannotDraw) {
    Canvas32 blank = testing::patterned_canvas(9);
    EXPECT_EQ(drawn("ABC", 320, 50, 12, TextStyle::Plain), blank);
    EXPECT_EQ(drawn(nullptr, 320, 50, 16, TextStyle::Plain), blank);
    EXPECT_EQ(drawn("ABC", 320, 100000, 16, TextStyle::Outlined), blank);
    EXPECT_EQ(drawn("ABC", -2000000000, 50, 26, TextStyle::Outlined), blank);
    draw_text(nullptr, "ABC", 320, 50, 16, TextStyle::Plain);
    std::string long_text(100000, 'W');
    Canvas32 c = drawn(long_text.c_str(), 320, 50, 26, TextStyle::Outlined);
    EXPECT_NE(c, blank);
}

TEST(Text, GlyphIndexCoversLettersAndDigitsOnly) {
    EXPECT_EQ(glyph_index('A'), 0);
    EXPECT_EQ(glyph_index('Z'), 25);
    EXPECT_EQ(glyph_index('0'), 26);
    EXPECT_EQ(glyph_index('9'), 35);
    for (unsigned char ch : {'a', 'z', ' ', '@', '[', '/', ':', '\0', '\xFF'}) EXPECT_FALSE(glyph_index(ch)) << int(ch);
}

}  // namespace
}  // namespace skimbo
