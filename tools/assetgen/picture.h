// A square picture with a transparency mask, painted shape by shape. Shapes are predicates over the
// picture in unit coordinates: the centre is (0, 0), the edges are at -1 and 1, y grows downwards. A pixel
// takes a shape's colour when its centre lies inside the shape (no anti-aliasing: icons of this size and
// age have none).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace assetgen {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

using Shape = std::function<bool(double x, double y)>;

class Picture {
  public:
    explicit Picture(int size);

    int size() const { return size_; }
    bool opaque(int x, int y) const { return opaque_[index(x, y)]; }
    Rgb colour(int x, int y) const { return colour_[index(x, y)]; }

    // Paints the shape opaque in the colour.
    void paint(const Shape& shape, Rgb colour);

  private:
    size_t index(int x, int y) const { return static_cast<size_t>(y * size_ + x); }

    int size_;
    std::vector<Rgb> colour_;
    std::vector<bool> opaque_;
};

// Shape building blocks.
Shape disc(double cx, double cy, double radius);
Shape ring(double cx, double cy, double innerRadius, double outerRadius);
// A piece of a ring from one angle to another, clockwise on screen (degrees; 0 points right, 90 down).
Shape ringSector(double innerRadius, double outerRadius, double fromDegrees, double toDegrees);
Shape rectangle(double left, double top, double right, double bottom);
Shape triangle(double x1, double y1, double x2, double y2, double x3, double y3);
// An ellipse turned by `degrees` about its centre.
Shape ellipse(double cx, double cy, double radiusX, double radiusY, double degrees = 0);
// Points nearer than halfWidth to the line through the centre at `degrees`.
Shape band(double degrees, double halfWidth);
Shape both(Shape a, Shape b);
Shape either(Shape a, Shape b);
Shape except(Shape a, Shape b);

}  // namespace assetgen
