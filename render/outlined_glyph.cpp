#include "render/outlined_glyph.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "render/assets.h"
#include "render/blend.h"
#include "render/spans.h"

namespace skimbo {
namespace {

// The five layers of an outlined glyph, in drawing order: four outline copies, then the fill.
constexpr int layer_count = 5;
constexpr int layer_dx[layer_count] = {-1, 1, 0, 0, 0}, layer_dy[layer_count] = {0, 0, -1, 2, 0};

// Source-over does not associate once rounded, so the layers cannot be merged into one
// image. But a pixel under a fully opaque layer no longer depends on what lay below it: such
// a pixel is a fixed colour, copied. The others (the soft rim) keep every layer that touches
// them, blended in order, a plane of source words per layer (zero where a layer leaves the
// pixel alone, which blending leaves exactly as it was).
struct ComposedRun {
    std::uint16_t start, length;
    std::uint8_t layers;  // which planes follow, one bit per layer; none for fixed colours
    std::uint32_t first;  // index of the run's first word
};

struct ComposedGlyph {
    int width = 0, height = 0;  // one column more on each side, one row above, two below
    std::vector<std::vector<ComposedRun>> rows;
    std::vector<std::uint32_t> words;
};

// The source word a layer blends at a pixel of the composed box; zero where it draws nothing
// (a clear glyph pixel is the zero word). Every glyph pixel is already the glyph colour at the
// pixel's coverage (the art generator refuses anything else), so the outline in that colour is
// the glyph itself, untinted.
std::uint32_t layer_word(const Sprite& glyph, int layer, int col, int row) {
    const int gx = col - 1 - layer_dx[layer], gy = row - 1 - layer_dy[layer];
    if (gx < 0 || gy < 0 || gx >= int(glyph.width) || gy >= int(glyph.height)) return 0;
    const std::uint32_t p = glyph.pixels[gy * glyph.width + gx];
    return layer < 4 ? p : premultiply(outline_fill_colour, p >> 24);
}

struct PixelLayers {
    std::array<std::uint32_t, layer_count> words;
    int last_opaque = -1;
    bool touched = false;
};

PixelLayers layers_at(const Sprite& glyph, int col, int row) {
    PixelLayers p{};
    for (int l = 0; l < layer_count; ++l) {
        p.words[l] = layer_word(glyph, l, col, row);
        p.touched |= p.words[l] != 0;
        if (p.words[l] >> 24 == 255) p.last_opaque = l;
    }
    return p;
}

std::uint32_t fixed_colour(const PixelLayers& p) {
    std::uint32_t c = 0;
    for (int l = p.last_opaque; l < layer_count; ++l) c = blend_premultiplied(c, p.words[l]) & 0x00FFFFFFu;
    return c;
}

bool fixed(const PixelLayers& p) { return p.last_opaque >= 0; }

void add_fixed_run(ComposedGlyph& g, int row, const std::vector<PixelLayers>& pixels, int start, int end) {
    g.rows[row].push_back({std::uint16_t(start), std::uint16_t(end - start), 0, std::uint32_t(g.words.size())});
    for (int c = start; c < end; ++c) g.words.push_back(fixed_colour(pixels[c]));
}

// A row with a soft rim is one blended run from its first touched pixel to its last: its few
// short stretches would cost more to visit one by one than to blend whole. A fixed colour
// inside it is set, fully opaque, by the last plane the run blends; the planes before it
// only blend pixels that plane then replaces.
void add_blended_run(ComposedGlyph& g, int row, const std::vector<PixelLayers>& pixels, int start, int end) {
    ComposedRun run{std::uint16_t(start), std::uint16_t(end - start), 0, std::uint32_t(g.words.size())};
    for (int l = 0; l < layer_count; ++l)
        for (int c = start; c < end; ++c)
            if (!fixed(pixels[c]) && pixels[c].words[l]) run.layers |= std::uint8_t(1 << l);
    const int last = 31 - __builtin_clz(run.layers);
    for (int l = 0; l < layer_count; ++l)
        for (int c = start; c < end && (run.layers >> l & 1); ++c)
            g.words.push_back(!fixed(pixels[c])  ? pixels[c].words[l]
                              : l == last ? 0xFF000000u | fixed_colour(pixels[c])
                                          : 0);
    g.rows[row].push_back(run);
}

std::unique_ptr<ComposedGlyph> compose(const Sprite& glyph) {
    auto g = std::make_unique<ComposedGlyph>();
    g->width = int(glyph.width) + 2, g->height = int(glyph.height) + 3;
    g->rows.resize(g->height);
    for (int row = 0; row < g->height; ++row) {
        std::vector<PixelLayers> pixels(g->width);
        int first = g->width, end = 0;
        bool rim = false;
        for (int col = 0; col < g->width; ++col) {
            pixels[col] = layers_at(glyph, col, row);
            if (!pixels[col].touched) continue;
            first = std::min(first, col), end = col + 1;
            rim |= !fixed(pixels[col]);
        }
        if (rim) {
            add_blended_run(*g, row, pixels, first, end);
            continue;
        }
        for (int col = first; col < end;) {
            int stop = col;
            while (stop < end && pixels[stop].touched) ++stop;
            if (stop > col) add_fixed_run(*g, row, pixels, col, stop);
            col = stop + 1;
        }
    }
    return g;
}

// Composed on first use: play draws only the large digits.
const ComposedGlyph& composed(int sprite) {
    static std::array<std::unique_ptr<ComposedGlyph>, sprite_count> glyphs;
    if (!glyphs[sprite]) glyphs[sprite] = compose(sprite_table[sprite]);
    return *glyphs[sprite];
}

}  // namespace

void draw_outlined_glyph(std::uint32_t* canvas, int sprite, int x, int y) {
    const ComposedGlyph& g = composed(sprite);
    const std::int64_t left = std::int64_t{x} - 1, top = std::int64_t{y} - 1;
    for (int row = 0; row < g.height; ++row) {
        if (top + row < 0 || top + row >= canvas_height) continue;
        std::uint32_t* dst_row = canvas + (top + row) * canvas_width;
        for (const ComposedRun& run : g.rows[row]) {
            const std::int64_t first = std::max<std::int64_t>(left + run.start, 0);
            const std::int64_t end = std::min<std::int64_t>(left + run.start + run.length, canvas_width);
            if (first >= end) continue;
            const auto n = static_cast<std::size_t>(end - first);
            const auto skip = static_cast<std::size_t>(first - left - run.start);
            const std::uint32_t* words = g.words.data() + run.first + skip;
            if (!run.layers) std::memcpy(dst_row + first, words, n * sizeof *words);
            for (int l = 0; l < layer_count; ++l)
                if (run.layers >> l & 1) blend_span(dst_row + first, words, n), words += run.length;
        }
    }
}

}  // namespace skimbo
