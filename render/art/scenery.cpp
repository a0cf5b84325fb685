// The world: a soft afternoon sky over a pale distant city and a band of hedges, the
// grass-and-earth ground strip, round green pipes, and clouds.
#include <cstdint>
#include <vector>

#include "render/art/art.h"
#include "render/art/shapes.h"

namespace skimbo::art {
namespace {

constexpr int backdrop_width = 640, backdrop_height = 158;
constexpr int ground_width = 404, ground_height = 14;

// A small fixed generator so that the skyline is the same on every build.
struct Dice {
    std::uint32_t state;
    double next() {  // uniform in [0, 1)
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }
    double between(double lo, double hi) { return lo + (hi - lo) * next(); }
};

// The backdrop wraps around at 640 columns: a shape near an edge shows on both.
void fill_wrapped(Layer& layer, const Field& shape, Box box, const Paint& paint) {
    for (double offset : {-backdrop_width, 0, backdrop_width}) {
        if (box.x1 + offset < -2 || box.x0 + offset > backdrop_width + 2) continue;
        layer.fill(shift(shape, {offset, 0}), paint, 1.0, {box.x0 + offset, box.y0, box.x1 + offset, box.y1});
    }
}

Paint flat(Colour c) {
    return [c](Vec) { return c; };
}

Paint sky() {
    return [](Vec p) {
        double t = p.y / backdrop_height;
        Colour top = rgb(0x4AAFDC), middle = rgb(0x8CD2EC), horizon = rgb(0xD9F3F1);
        return t < 0.55 ? mix(top, middle, t / 0.55) : mix(middle, horizon, (t - 0.55) / 0.45);
    };
}

// One row of building silhouettes standing on base, some with a roof step or a mast,
// and optionally with a scatter of lit windows.
void draw_skyline(Layer& layer, Dice& dice, double base, double low, double high, double min_w, double max_w,
                  Colour body, const Colour* window) {
    for (double x = dice.between(0, 10); x < backdrop_width;) {
        double w = dice.between(min_w, max_w), top = base - dice.between(low, high);
        Field block = rounded_rect(x, top, x + w, base + 2, 0.8);
        double reach = top;
        if (dice.next() < 0.3) {
            block = unite(block, rounded_rect(x + w * 0.3, top - 6, x + w * 0.7, top + 1, 0.8));
            reach = top - 6;
        }
        if (dice.next() < 0.25) {
            block = unite(block, rounded_rect(x + w * 0.5 - 0.6, reach - 9, x + w * 0.5 + 0.6, reach, 0.5));
            reach -= 9;
        }
        fill_wrapped(layer, block, {x - 1, reach - 1, x + w + 1, base + 3}, flat(body));
        for (double wy = top + 4; window && wy < base - 4; wy += 5)
            for (double wx = x + 3; wx + 2 < x + w - 2; wx += 4)
                if (dice.next() < 0.5)
                    fill_wrapped(layer, rounded_rect(wx, wy, wx + 2, wy + 2.5, 0.3), {wx, wy, wx + 2, wy + 2.5}, flat(*window));
        x += w + dice.between(-3, 4);
    }
}

// Rounded hedges along the foot of the backdrop.
void draw_hedges(Layer& layer, Dice& dice, double base) {
    Paint leaves = [](Vec p) { return mix(rgb(0xA8E0A0), rgb(0x86CC8A), (p.y - 134) / 20); };
    Field bank = rounded_rect(-10, base - 4, backdrop_width + 10, backdrop_height + 4, 2);
    std::vector<Field> clumps{bank};
    for (double x = 0; x < backdrop_width; x += dice.between(14, 24)) {
        double r = dice.between(7, 12);
        clumps.push_back(disc({x, base - r * 0.45}, r));
    }
    for (const Field& c : clumps) fill_wrapped(layer, grow(c, 1), {-12, base - 16, backdrop_width + 12, 160}, flat(rgb(0x7BC088)));
    for (const Field& c : clumps) fill_wrapped(layer, c, {-12, base - 16, backdrop_width + 12, 160}, leaves);
}

}  // namespace

Pixels backdrop() {
    Layer layer(backdrop_width, backdrop_height);
    layer.fill([](Vec) { return -1e300; }, sky());
    Dice dice{20240611};
    Colour window = rgb(0xC9EDEF);
    draw_skyline(layer, dice, 146, 18, 44, 16, 30, rgb(0xC3E8EC), nullptr);
    draw_skyline(layer, dice, 150, 12, 34, 14, 26, rgb(0xABDCE2), &window);
    draw_hedges(layer, dice, 146);
    return layer.argb();
}

Pixels ground() {
    Layer layer(ground_width, ground_height);
    layer.fill([](Vec) { return -1e300; }, [](Vec p) {
        // Diagonal bands; 28 of them fit the 404-column tile exactly.
        double band = (p.x + p.y) * 28 / ground_width;
        double f = band - static_cast<long long>(band);
        double edge = smoothstep(0.45, 0.55, f) - smoothstep(0.95, 1.0, f);
        return mix(rgb(0x9E7A50), rgb(0xAE8A5C), edge);
    });
    // The grass edge, scalloped every 404 / 26 columns.
    Field grass = [](Vec p) {
        double period = static_cast<double>(ground_width) / 26;
        double f = p.x / period - static_cast<long long>(p.x / period);
        double bump = 4 * f * (1 - f);
        return p.y - (3.6 + 1.6 * bump);
    };
    layer.fill(grow(grass, 1.2), rgb(0x6C8F3A));
    layer.fill(grass, [](Vec p) { return mix(rgb(0xB6E36E), rgb(0x83B34F), (p.y - 0.5) / 2.5); });
    layer.fill([](Vec p) { return p.y - 1; }, rgb(0xD2F08C));
    layer.fill([](Vec p) { return ground_height - 1 - p.y; }, rgb(0x8A6843));
    return layer.argb();
}

// The green of a round pipe across its 32 visible columns: a narrow highlight left
// of centre, falling off into shade on the right.
Colour pipe_green(double t, double darken) {
    Colour base = rgb(0x6CBF35), light = rgb(0xC6F08A), shade = rgb(0x3E8022);
    Colour c = t < 0.28 ? mix(base, light, t / 0.28) : t < 0.42 ? mix(light, base, (t - 0.28) / 0.14)
                                                                 : mix(base, shade, (t - 0.42) / 0.58);
    return mix(c, rgb(0x2F6A1C), darken);
}

Pixels pipe_body() {
    Layer layer(36, 172);
    layer.fill([](Vec p) { return p.x < 18 ? 2 - p.x : p.x - 34; }, rgb(0x2B561B));
    layer.fill([](Vec p) { return p.x < 18 ? 3 - p.x : p.x - 33; }, [](Vec p) { return pipe_green((p.x - 3) / 30, 0); });
    return layer.argb();
}

Pixels pipe_cap() {
    Layer layer(36, 12);
    layer.fill(rounded_rect(0, 0, 36, 12, 2), rgb(0x2B561B));
    layer.fill(rounded_rect(1, 1, 35, 11, 1.2), [](Vec p) { return pipe_green((p.x - 1) / 34, 0.28); });
    layer.fill(rounded_rect(1, 1, 35, 2.2, 0.5), rgb(0xFFFFFF), 0.22);
    layer.fill(rounded_rect(1, 9.8, 35, 11, 0.5), rgb(0x000000), 0.18);
    return layer.argb();
}

Pixels cloud() {
    Field puff = unite(unite(disc({15, 17}, 8.5), disc({27, 11.5}, 10)), unite(disc({41, 11}, 9), disc({51, 16.5}, 8)));
    puff = unite(puff, rounded_rect(6, 13, 59, 25, 6));
    Layer layer(64, 28);
    Field soft = [puff](Vec p) { return puff(p) / 1.6; };  // a softer, wider edge
    layer.fill(soft, [](Vec p) { return mix(rgb(0xFFFFFF), rgb(0xDDF1F7), (p.y - 12) / 13); }, 0.95);
    return layer.argb();
}

}  // namespace skimbo::art
