#pragma once
// A small vector painter for the build-time art generator: shapes are signed distance
// fields in pixels (negative inside), painted with anti-aliased edges into a layer of
// premultiplied colour. Only +, -, *, / and sqrt are used, so the generated pixels are
// the same on every machine that builds them.
#include <cstdint>
#include <functional>
#include <vector>

namespace skimbo::art {

struct Vec {
    double x = 0, y = 0;
};

inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
inline double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double length(Vec v);

// A straight (not premultiplied) colour with channels in 0..1.
struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
};

Colour rgb(std::uint32_t hex, double alpha = 1.0);
Colour mix(Colour from, Colour to, double t);  // t clamped to 0..1
double clamp01(double v);
double smoothstep(double edge0, double edge1, double v);

using Field = std::function<double(Vec)>;   // signed distance in pixels
using Paint = std::function<Colour(Vec)>;   // colour at a point

// A region in pixels; painting outside it is skipped, so it must hold the shape.
struct Box {
    double x0 = -1e9, y0 = -1e9, x1 = 1e9, y1 = 1e9;
};

struct Layer {
    int width = 0, height = 0;
    std::vector<Colour> pixels;  // premultiplied

    Layer(int w, int h);

    // Paints over what is there, covering each pixel by how far its centre lies inside.
    void fill(const Field& shape, const Paint& paint, double opacity = 1.0, Box box = {});
    void fill(const Field& shape, Colour colour, double opacity = 1.0, Box box = {});
    // Composites another layer of the same size over this one.
    void draw(const Layer& above);

    // 8-bit premultiplied ARGB words, row by row; no channel exceeds alpha.
    std::vector<std::uint32_t> argb() const;
};

}  // namespace skimbo::art
