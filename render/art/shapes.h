#pragma once
// Signed distance fields of the shapes the art is made of, in pixels.
#include <vector>

#include "render/art/paint.h"

namespace skimbo::art {

// A direction given in degrees, clockwise from the +x axis (y grows downward).
Vec direction(double degrees);

Field disc(Vec centre, double radius);
Field ellipse(Vec centre, double rx, double ry, double degrees = 0);
Field rounded_rect(double x0, double y0, double x1, double y1, double radius);
Field capsule(Vec a, Vec b, double radius);
Field polygon(std::vector<Vec> points);
// A round-capped line of the given width through the points.
Field stroke(std::vector<Vec> points, double width);
// An arc of an ellipse from one angle to another, clockwise, as points.
std::vector<Vec> arc_points(Vec centre, double rx, double ry, double from_deg, double to_deg, int steps = 24);

Field unite(Field a, Field b);
Field intersect(Field a, Field b);
Field subtract(Field a, Field b);
Field grow(Field a, double by);  // outline grown outward by pixels
Field shift(Field a, Vec by);

}  // namespace skimbo::art
