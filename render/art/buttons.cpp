// Round dark-teal buttons with crisp white symbols: play and restart in the middle
// of the still screens, close and pause in the two top corners.
#include "render/art/art.h"
#include "render/art/shapes.h"

namespace skimbo::art {
namespace {

const Colour symbol = rgb(0xFFFFFF);

// The disc every button sits on: a soft shadow, a lit upper half and a fine rim.
Layer button_disc(int size) {
    double c = size / 2.0, r = c - 1.5;
    Layer layer(size, size);
    layer.fill(disc({c, c + 1}, r + 0.3), rgb(0x0A1E24), 0.35);
    layer.fill(disc({c, c}, r), [c, r](Vec p) { return mix(rgb(0x2B6E7C), rgb(0x15434F), (p.y - (c - r)) / (2 * r)); });
    layer.fill(subtract(disc({c, c}, r - 0.2), disc({c, c}, r - 1.4)), rgb(0x7FC1CC), 0.35);
    return layer;
}

}  // namespace

Pixels play_button() {
    Layer layer = button_disc(40);
    layer.fill(grow(polygon({{17, 13.5}, {27.5, 20}, {17, 26.5}}), 1.6), symbol);
    return layer.argb();
}

Pixels restart_button() {
    Layer layer = button_disc(40);
    Vec centre{20, 20};
    constexpr double radius = 8.2, from = 300, to = 560;
    layer.fill(stroke(arc_points(centre, radius, radius, from, to, 48), 3.4), symbol);
    // Arrowhead at the start of the sweep, pointing back against it (anticlockwise
    // along the top), so the whole reads as "go round again".
    Vec tip_base = centre + direction(from) * radius;
    Vec along = direction(from + 90) * -1;
    Vec side = direction(from);
    layer.fill(grow(polygon({tip_base + along * 4.6, tip_base + side * 4.4 - along * 0.8, tip_base - side * 4.4 - along * 0.8}), 0.6),
               symbol);
    return layer.argb();
}

Pixels close_button() {
    Layer layer = button_disc(28);
    layer.fill(capsule({10, 10}, {18, 18}, 1.45), symbol);
    layer.fill(capsule({18, 10}, {10, 18}, 1.45), symbol);
    return layer.argb();
}

Pixels pause_button() {
    Layer layer = button_disc(28);
    layer.fill(rounded_rect(9.5, 8.5, 12.6, 19.5, 1.0), symbol);
    layer.fill(rounded_rect(15.4, 8.5, 18.5, 19.5, 1.0), symbol);
    return layer.argb();
}

}  // namespace skimbo::art
