// The one typeface, drawn at three sizes: round-capped strokes of even width on a
// design grid four units wide and six tall, y growing downward. Curves are arcs of
// circles and ellipses, angles in degrees clockwise from +x.
#include <initializer_list>
#include <vector>

#include "render/art/art.h"
#include "render/art/shapes.h"
#include "render/blend.h"

namespace skimbo::art {
namespace {

using Path = std::vector<Vec>;
using Glyph = std::vector<Path>;

Path line(std::initializer_list<Vec> points) { return Path(points); }

Path arc(Vec centre, double rx, double ry, double from, double to) {
    return arc_points(centre, rx, ry, from, to, 24);
}

// Joins path pieces into one stroke.
Path join(std::initializer_list<Path> pieces) {
    Path out;
    for (const Path& p : pieces) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Path stadium(double x0, double x1) {
    double r = (x1 - x0) / 2, cx = (x0 + x1) / 2;
    return join({arc({cx, r}, r, r, 180, 360), arc({cx, 6 - r}, r, r, 0, 180), line({{x0, r}})});
}

Glyph letter(int index) {
    switch (index) {
    case 0: return {join({line({{0, 6}}), arc({2, 2}, 2, 2, 180, 360), line({{4, 6}})}), line({{0, 3.6}, {4, 3.6}})};
    case 1:
        return {join({line({{0, 3}, {0, 0}}), arc({2.3, 1.5}, 1.5, 1.5, 270, 450), arc({2.5, 4.5}, 1.5, 1.5, 270, 450),
                      line({{0, 6}, {0, 3}})}),
                line({{0, 3}, {2.4, 3}})};
    case 2: return {join({arc({2, 2}, 2, 2, 330, 180), arc({2, 4}, 2, 2, 180, 30)})};
    case 3: return {join({line({{0, 6}, {0, 0}}), arc({1.9, 2.1}, 2.1, 2.1, 270, 360), arc({1.9, 3.9}, 2.1, 2.1, 0, 90), line({{0, 6}})})};
    case 4: return {line({{4, 0}, {0, 0}, {0, 6}, {4, 6}}), line({{0, 3}, {3.2, 3}})};
    case 5: return {line({{4, 0}, {0, 0}, {0, 6}}), line({{0, 3}, {3.2, 3}})};
    case 6: return {join({arc({2, 2}, 2, 2, 330, 180), arc({2, 4}, 2, 2, 180, 0), line({{4, 3.3}, {2.3, 3.3}})})};
    case 7: return {line({{0, 0}, {0, 6}}), line({{4, 0}, {4, 6}}), line({{0, 3}, {4, 3}})};
    case 8: return {line({{2, 0}, {2, 6}}), line({{0.9, 0}, {3.1, 0}}), line({{0.9, 6}, {3.1, 6}})};
    case 9: return {join({line({{1.4, 0}, {4, 0}, {4, 4.2}}), arc({2.1, 4.2}, 1.9, 1.8, 0, 165)})};
    case 10: return {line({{0, 0}, {0, 6}}), line({{3.9, 0}, {0, 3.9}}), line({{1.5, 2.5}, {4, 6}})};
    case 11: return {line({{0, 0}, {0, 6}, {4, 6}})};
    case 12: return {line({{0, 6}, {0, 0}, {2, 3.6}, {4, 0}, {4, 6}})};
    case 13: return {line({{0, 6}, {0, 0}, {4, 6}, {4, 0}})};
    case 14: return {stadium(0, 4)};
    case 15: return {join({line({{0, 6}, {0, 0}, {2.2, 0}}), arc({2.2, 1.75}, 1.8, 1.75, 270, 450), line({{0, 3.5}})})};
    case 16: return {stadium(0, 4), line({{2.6, 4.6}, {4.1, 6.3}})};
    case 17:
        return {join({line({{0, 6}, {0, 0}, {2.2, 0}}), arc({2.2, 1.75}, 1.8, 1.75, 270, 450), line({{0, 3.5}})}),
                line({{2.1, 3.5}, {4, 6}})};
    case 18: return {join({arc({2, 1.55}, 1.9, 1.55, 335, 90), arc({2, 4.45}, 2, 1.55, 270, 520)})};
    case 19: return {line({{0, 0}, {4, 0}}), line({{2, 0}, {2, 6}})};
    case 20: return {join({line({{0, 0}, {0, 4}}), arc({2, 4}, 2, 2, 180, 0), line({{4, 0}})})};
    case 21: return {line({{0, 0}, {2, 6}, {4, 0}})};
    case 22: return {line({{0, 0}, {0.9, 6}, {2, 2.4}, {3.1, 6}, {4, 0}})};
    case 23: return {line({{0, 0}, {4, 6}}), line({{4, 0}, {0, 6}})};
    case 24: return {line({{0, 0}, {2, 3}, {4, 0}}), line({{2, 3}, {2, 6}})};
    case 25: return {line({{0, 0}, {4, 0}, {0, 6}, {4, 6}})};
    }
    return {};
}

Glyph digit(int d) {
    switch (d) {
    case 0: return {stadium(0.3, 3.7)};
    case 1: return {line({{0.8, 1.2}, {2.2, 0}, {2.2, 6}}), line({{0.8, 6}, {3.6, 6}})};
    case 2: return {join({arc({2, 2}, 2, 2, 190, 380), line({{0, 6}, {4, 6}})})};
    case 3: return {join({arc({2, 1.55}, 1.85, 1.55, 200, 450), arc({2, 4.45}, 2, 1.55, 270, 520)}), line({{1.1, 3.1}, {2, 3.1}})};
    case 4: return {line({{3, 6}, {3, 0}, {0, 4.2}, {4, 4.2}})};
    case 5: return {join({line({{3.8, 0}, {0.5, 0}, {0.3, 2.8}}), arc({2, 4.1}, 1.95, 1.9, 235, 520)})};
    case 6: return {join({arc({2, 2}, 2, 2, 320, 180), line({{0, 4}}), arc({2, 4}, 2, 2, 180, 540)})};
    case 7: return {line({{0, 0}, {4, 0}, {1.4, 6}})};
    case 8: return {arc({2, 1.5}, 1.7, 1.5, 90, 450), arc({2, 4.4}, 2, 1.6, 270, 630)};
    case 9: return {join({arc({2, 2}, 2, 2, 0, 360), line({{4, 4}}), arc({2, 4}, 2, 2, 0, 140)})};
    }
    return {};
}

// How a design unit maps to pixels at each cell size, and the stroke width there.
struct Metrics {
    double scale_x, scale_y, left, top, stroke;
};

Metrics metrics_for(int size) {
    if (size == 10) return {1.0, 1.0, 2.5, 1.5, 1.35};
    if (size == 16) return {2.25, 2.0, 3.5, 2.0, 2.25};
    return {3.5, 3.25, 6.0, 3.25, 3.6};
}

constexpr std::uint32_t glyph_rgb = 0x144048;

}  // namespace

Pixels glyph(int index, int size) {
    Glyph g = index < 26 ? letter(index) : digit(index - 26);
    Metrics m = metrics_for(size);
    Field shape = [](Vec) { return 1e300; };
    for (const Path& path : g) {
        Path placed;
        for (Vec p : path) placed.push_back({m.left + p.x * m.scale_x, m.top + p.y * m.scale_y});
        shape = unite(shape, stroke(placed, m.stroke));
    }
    Layer layer(size, size);
    layer.fill(shape, rgb(glyph_rgb));
    // The text styles rely on every glyph pixel being exactly the glyph colour at its
    // own alpha, so the colour is re-derived from the rounded alpha.
    Pixels pixels = layer.argb();
    for (std::uint32_t& p : pixels) p = premultiply(glyph_rgb, p >> 24);
    return pixels;
}

}  // namespace skimbo::art
