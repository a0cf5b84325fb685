#include "render/art/paint.h"

#include <algorithm>
#include <cmath>

namespace skimbo::art {

double length(Vec v) { return std::sqrt(v.x * v.x + v.y * v.y); }

Colour rgb(std::uint32_t hex, double alpha) {
    return {(hex >> 16 & 0xFF) / 255.0, (hex >> 8 & 0xFF) / 255.0, (hex & 0xFF) / 255.0, alpha};
}

double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

double smoothstep(double edge0, double edge1, double v) {
    double t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Colour mix(Colour from, Colour to, double t) {
    t = clamp01(t);
    auto lerp = [t](double a, double b) { return a + (b - a) * t; };
    return {lerp(from.r, to.r), lerp(from.g, to.g), lerp(from.b, to.b), lerp(from.a, to.a)};
}

Layer::Layer(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, Colour{0, 0, 0, 0}) {}

void Layer::fill(const Field& shape, const Paint& paint, double opacity, Box box) {
    int x0 = static_cast<int>(std::max(0.0, std::floor(box.x0) - 1));
    int y0 = static_cast<int>(std::max(0.0, std::floor(box.y0) - 1));
    int x1 = static_cast<int>(std::min<double>(width, std::ceil(box.x1) + 1));
    int y1 = static_cast<int>(std::min<double>(height, std::ceil(box.y1) + 1));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            Vec p{x + 0.5, y + 0.5};
            double coverage = clamp01(0.5 - shape(p)) * opacity;
            if (coverage <= 0) continue;
            Colour c = paint(p);
            double a = c.a * coverage;
            Colour& d = pixels[static_cast<std::size_t>(y) * width + x];
            d = {c.r * a + d.r * (1 - a), c.g * a + d.g * (1 - a), c.b * a + d.b * (1 - a), a + d.a * (1 - a)};
        }
    }
}

void Layer::fill(const Field& shape, Colour colour, double opacity, Box box) {
    fill(shape, [colour](Vec) { return colour; }, opacity, box);
}

void Layer::draw(const Layer& above) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const Colour& s = above.pixels[i];
        Colour& d = pixels[i];
        d = {s.r + d.r * (1 - s.a), s.g + d.g * (1 - s.a), s.b + d.b * (1 - s.a), s.a + d.a * (1 - s.a)};
    }
}

std::vector<std::uint32_t> Layer::argb() const {
    std::vector<std::uint32_t> out;
    out.reserve(pixels.size());
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::floor(clamp01(v) * 255 + 0.5)); };
    for (const Colour& c : pixels) {
        std::uint32_t a = byte(c.a);
        auto channel = [&](double v) { return std::min(byte(v), a); };
        out.push_back(a << 24 | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b));
    }
    return out;
}

}  // namespace skimbo::art
