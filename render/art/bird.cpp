// The bird, facing right: a round yellow body with a paler belly, a red cap with a
// white peak, a big eye and an orange beak. Four wing positions make the beat; the
// two stunned frames droop the wing, cross the eye and circle the head with stars.
#include "render/art/art.h"
#include "render/art/shapes.h"

namespace skimbo::art {
namespace {

constexpr int width = 26, height = 20;
const Colour ink = rgb(0x3A2A1E);

struct Pose {
    double wing_degrees;  // rotation of the wing about the shoulder; positive lifts it
    bool stunned;
    int star_turn;
};

Field body() { return ellipse({12, 11.3}, 10, 7.6); }

void draw_body(Layer& layer) {
    layer.fill(grow(body(), 1.1), ink);
    layer.fill(body(), [](Vec p) { return mix(rgb(0xFFE45A), rgb(0xF2AE2A), (p.y - 4) / 15); });
    layer.fill(intersect(body(), ellipse({13.5, 15.6}, 7.2, 3.6)), rgb(0xFFF2B0));
    layer.fill(intersect(body(), ellipse({8, 6.8}, 4, 1.6, -20)), rgb(0xFFFFFF), 0.45);
}

void draw_beak(Layer& layer) {
    Field upper = polygon({{19.4, 10.2}, {25.2, 12.4}, {19.4, 13.2}});
    Field lower = polygon({{19.4, 13.0}, {24.2, 13.2}, {19.4, 15.2}});
    layer.fill(grow(unite(upper, lower), 1.0), ink);
    layer.fill(upper, rgb(0xFF9A34));
    layer.fill(lower, rgb(0xE8702A));
}

void draw_eye(Layer& layer, bool stunned) {
    Vec centre{17.6, 8.6};
    layer.fill(disc(centre, 3.6), ink);
    layer.fill(disc(centre, 2.7), rgb(0xFFFFFF));
    if (stunned) {
        layer.fill(capsule({16.3, 7.3}, {18.9, 9.9}, 0.55), ink);
        layer.fill(capsule({18.9, 7.3}, {16.3, 9.9}, 0.55), ink);
        return;
    }
    layer.fill(disc({18.5, 8.8}, 1.35), rgb(0x1A1A22));
    layer.fill(disc({18.9, 8.2}, 0.45), rgb(0xFFFFFF));
}

// A red dome over the crown with a white peak reaching forward over the eye.
void draw_cap(Layer& layer) {
    Field dome = intersect(disc({13, 8.4}, 6.4), [](Vec p) { return p.y - 5.6; });
    Field peak = capsule({14.5, 5.4}, {21.2, 5.0}, 1.05);
    layer.fill(grow(unite(dome, peak), 1.0), ink);
    layer.fill(dome, [](Vec p) { return mix(rgb(0xF05A48), rgb(0xC8302A), (p.y - 2) / 4); });
    layer.fill(intersect(dome, rounded_rect(11.6, 0, 13.8, 8, 0.6)), rgb(0xFFFFFF));
    layer.fill(peak, rgb(0xFFFFFF));
    layer.fill(disc({12.7, 2.3}, 0.9), rgb(0xFFFFFF));
}

void draw_wing(Layer& layer, double degrees) {
    Vec shoulder{11.5, 11.6};
    Vec along = direction(180 - degrees);
    Field wing = ellipse(shoulder + along * 4.2, 5.6, 3.1, 180 - degrees);
    layer.fill(grow(wing, 1.0), ink);
    layer.fill(wing, [](Vec p) { return mix(rgb(0xFFF6C8), rgb(0xF6CC4A), (p.y - 6) / 12); });
}

Field star(Vec centre, double outer, double inner, double turn) {
    std::vector<Vec> points;
    for (int i = 0; i < 10; ++i) points.push_back(centre + direction(turn - 90 + 36 * i) * (i % 2 ? inner : outer));
    return polygon(points);
}

void draw_stars(Layer& layer, int turn) {
    // Three stars on an orbit round the crown, a third of a turn apart; the second
    // frame moves each one part of the way along.
    const Vec spots[2][3] = {{{3.2, 3.6}, {12.2, 0.9}, {23.2, 4.0}}, {{6.6, 1.5}, {18.6, 1.2}, {2.6, 7.6}}};
    for (Vec s : spots[turn]) {
        Field f = star(s, 2.9, 1.25, turn * 18);
        layer.fill(grow(f, 0.8), ink);
        layer.fill(f, rgb(0xFFF27A));
    }
}

Pixels draw(const Pose& pose) {
    Layer layer(width, height);
    draw_body(layer);
    draw_beak(layer);
    draw_wing(layer, pose.wing_degrees);
    draw_eye(layer, pose.stunned);
    draw_cap(layer);
    if (pose.stunned) draw_stars(layer, pose.star_turn);
    return layer.argb();
}

}  // namespace

Pixels bird(int frame) {
    // Flight: up, level, down, half way back up. Stunned: wing hanging, two star turns.
    static const Pose poses[6] = {{38, false, 0}, {6, false, 0}, {-34, false, 0}, {-8, false, 0}, {-24, true, 0}, {-24, true, 1}};
    return draw(poses[frame]);
}

}  // namespace skimbo::art
