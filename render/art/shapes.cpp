#include "render/art/shapes.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/exact_math.h"

namespace skimbo::art {
namespace {

constexpr double degree = 3.14159265358979323846 / 180;

double segment_distance(Vec p, Vec a, Vec b) {
    Vec pa = p - a, ba = b - a;
    double len2 = dot(ba, ba);
    double t = len2 > 0 ? std::clamp(dot(pa, ba) / len2, 0.0, 1.0) : 0.0;
    return length(pa - ba * t);
}

}  // namespace

Vec direction(double degrees) {
    double s, c;
    sin_cos(degrees * degree, s, c);
    return {c, s};
}

Field disc(Vec centre, double radius) {
    return [=](Vec p) { return length(p - centre) - radius; };
}

// Distance to an ellipse estimated from its implicit function and gradient: good to
// a small fraction of a pixel near the edge, which is all the anti-aliasing needs.
Field ellipse(Vec centre, double rx, double ry, double degrees) {
    Vec axis = direction(degrees);
    return [=](Vec p) {
        Vec d = p - centre;
        double u = dot(d, axis) / rx, v = (-d.x * axis.y + d.y * axis.x) / ry;
        double f = std::sqrt(u * u + v * v);
        if (f == 0) return -std::min(rx, ry);
        double gu = u / (f * rx), gv = v / (f * ry);
        return (f - 1) / std::sqrt(gu * gu + gv * gv);
    };
}

Field rounded_rect(double x0, double y0, double x1, double y1, double radius) {
    Vec centre{(x0 + x1) / 2, (y0 + y1) / 2};
    Vec half{(x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius};
    return [=](Vec p) {
        double qx = std::fabs(p.x - centre.x) - half.x, qy = std::fabs(p.y - centre.y) - half.y;
        double outside = length({std::max(qx, 0.0), std::max(qy, 0.0)});
        return outside + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

Field capsule(Vec a, Vec b, double radius) {
    return [=](Vec p) { return segment_distance(p, a, b) - radius; };
}

// Exact distance with the even-odd rule for the sign.
Field polygon(std::vector<Vec> points) {
    return [pts = std::move(points)](Vec p) {
        double best = 1e300;
        bool inside = false;
        for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            Vec a = pts[j], b = pts[i];
            best = std::min(best, segment_distance(p, a, b));
            if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
        }
        return inside ? -best : best;
    };
}

Field stroke(std::vector<Vec> points, double width) {
    return [pts = std::move(points), half = width / 2](Vec p) {
        double best = 1e300;
        for (std::size_t i = 1; i < pts.size(); ++i) best = std::min(best, segment_distance(p, pts[i - 1], pts[i]));
        if (pts.size() == 1) best = length(p - pts[0]);
        return best - half;
    };
}

std::vector<Vec> arc_points(Vec centre, double rx, double ry, double from_deg, double to_deg, int steps) {
    std::vector<Vec> out;
    for (int i = 0; i <= steps; ++i) {
        Vec d = direction(from_deg + (to_deg - from_deg) * i / steps);
        out.push_back({centre.x + d.x * rx, centre.y + d.y * ry});
    }
    return out;
}

Field unite(Field a, Field b) {
    return [=](Vec p) { return std::min(a(p), b(p)); };
}
Field intersect(Field a, Field b) {
    return [=](Vec p) { return std::max(a(p), b(p)); };
}
Field subtract(Field a, Field b) {
    return [=](Vec p) { return std::max(a(p), -b(p)); };
}
Field grow(Field a, double by) {
    return [=](Vec p) { return a(p) - by; };
}
Field shift(Field a, Vec by) {
    return [=](Vec p) { return a(p - by); };
}

}  // namespace skimbo::art
