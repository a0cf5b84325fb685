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

Field body() { return ellipse({11.8, 11.6}, 10, 7.5); }

void draw_body(Layer& layer) {
    layer.fill(grow(body(), 1.1), ink);
    layer.fill(body(), [](Vec p) { return mix(rgb(0xFFE45A), rgb(0xF2AE2A), (p.y - 4) / 15); });
    layer.fill(intersect(body(), ellipse({13.8, 16.2}, 7.4, 3.6)), rgb(0xFFF3B8));
    layer.fill(intersect(body(), ellipse({6.4, 7.6}, 2.6, 1.3, -30)), rgb(0xFFFFFF), 0.5);
}

void draw_beak(Layer& layer) {
    Field upper = polygon({{19.4, 10.2}, {25.2, 12.4}, {19.4, 13.2}});
    Field lower = polygon({{19.4, 13.0}, {24.2, 13.2}, {19.4, 15.2}});
    layer.fill(grow(unite(upper, lower), 1.0), ink);
    layer.fill(upper, rgb(0xFF9A34));
    layer.fill(lower, rgb(0xE8702A));
}

void draw_eye(Layer& layer, bool stunned) {
    Vec centre{17.9, 9.4};
    layer.fill(disc(centre, 3.9), ink);
    layer.fill(disc(centre, 3.05), rgb(0xFFFFFF));
    if (stunned) {
        layer.fill(capsule({16.5, 8.0}, {19.3, 10.8}, 0.6), ink);
        layer.fill(capsule({19.3, 8.0}, {16.5, 10.8}, 0.6), ink);
        return;
    }
    layer.fill(disc({19.0, 9.7}, 1.6), rgb(0x1A1A22));
    layer.fill(disc({19.5, 9.0}, 0.55), rgb(0xFFFFFF));
}

// A red dome over the crown with a white peak reaching forward over the eye.
void draw_cap(Layer& layer) {
    Field dome = intersect(ellipse({12.2, 6.2}, 6.6, 4.6), [](Vec p) { return p.y - 5.0; });
    Field peak = capsule({15.8, 4.7}, {20.6, 4.4}, 0.95);
    layer.fill(grow(unite(dome, peak), 0.9), ink);
    layer.fill(dome, [](Vec p) { return mix(rgb(0xF45C4A), rgb(0xCC322C), (p.y - 1.5) / 3.5); });
    layer.fill(intersect(dome, rounded_rect(11.1, 0, 13.3, 8, 0.6)), rgb(0xFFFFFF));
    layer.fill(peak, rgb(0xFFFFFF));
}

void draw_wing(Layer& layer, double degrees) {
    Vec shoulder{11.0, 12.2};
    Vec along = direction(180 + degrees);  // angles turn clockwise, so + tips the wing up
    Field wing = ellipse(shoulder + along * 3.8, 5.2, 2.8, 180 + degrees);
    layer.fill(grow(wing, 0.85), ink);
    layer.fill(wing, [](Vec p) { return mix(rgb(0xFFFFFF), rgb(0xFFE486), (p.y - 7) / 10); });
}

Field star(Vec centre, double outer, double inner, double turn) {
    std::vector<Vec> points;
    for (int i = 0; i < 10; ++i) points.push_back(centre + direction(turn - 90 + 36 * i) * (i % 2 ? inner : outer));
    return polygon(points);
}

void draw_stars(Layer& layer, int turn) {
    // Three stars on an orbit round the crown, a third of a turn apart; the second
    // frame moves each one part of the way along.
    const Vec spots[2][3] = {{{3.0, 4.2}, {11.0, 1.0}, {22.6, 2.6}}, {{6.0, 1.6}, {17.6, 1.0}, {2.6, 8.2}}};
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
