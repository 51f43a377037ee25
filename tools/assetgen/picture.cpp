#include "picture.h"

#include <cmath>
#include <numbers>

namespace assetgen {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

double angleOf(double x, double y) {
    const double a = std::atan2(y, x) / kDegree;
    return a < 0 ? a + 360 : a;
}

// Whether angle a lies on the clockwise way from `from` to `to`.
bool angleBetween(double a, double from, double to) {
    const double span = std::fmod(std::fmod(to - from, 360) + 360, 360);
    const double offset = std::fmod(std::fmod(a - from, 360) + 360, 360);
    return offset <= span;
}

double cross(double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

}  // namespace

Picture::Picture(int size)
    : size_(size), colour_(static_cast<size_t>(size * size)), opaque_(static_cast<size_t>(size * size)) {}

void Picture::paint(const Shape& shape, Rgb colour) {
    const double half = size_ / 2.0;
    for (int y = 0; y < size_; ++y) {
        for (int x = 0; x < size_; ++x) {
            const double ux = (x + 0.5 - half) / half;
            const double uy = (y + 0.5 - half) / half;
            if (!shape(ux, uy)) continue;
            colour_[index(x, y)] = colour;
            opaque_[index(x, y)] = true;
        }
    }
}

Shape disc(double cx, double cy, double radius) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) <= radius; };
}

Shape ring(double cx, double cy, double innerRadius, double outerRadius) {
    return [=](double x, double y) {
        const double r = std::hypot(x - cx, y - cy);
        return r >= innerRadius && r <= outerRadius;
    };
}

Shape ringSector(double innerRadius, double outerRadius, double fromDegrees, double toDegrees) {
    return [=](double x, double y) {
        const double r = std::hypot(x, y);
        return r >= innerRadius && r <= outerRadius && angleBetween(angleOf(x, y), fromDegrees, toDegrees);
    };
}

Shape rectangle(double left, double top, double right, double bottom) {
    return [=](double x, double y) { return x >= left && x <= right && y >= top && y <= bottom; };
}

Shape triangle(double x1, double y1, double x2, double y2, double x3, double y3) {
    return [=](double x, double y) {
        const double d1 = cross(x1, y1, x2, y2, x, y);
        const double d2 = cross(x2, y2, x3, y3, x, y);
        const double d3 = cross(x3, y3, x1, y1, x, y);
        const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
        const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
        return !(negative && positive);
    };
}

Shape ellipse(double cx, double cy, double radiusX, double radiusY, double degrees) {
    const double c = std::cos(degrees * kDegree);
    const double s = std::sin(degrees * kDegree);
    return [=](double x, double y) {
        const double dx = x - cx;
        const double dy = y - cy;
        const double u = (dx * c + dy * s) / radiusX;
        const double v = (-dx * s + dy * c) / radiusY;
        return u * u + v * v <= 1.0;
    };
}

Shape band(double degrees, double halfWidth) {
    const double c = std::cos(degrees * kDegree);
    const double s = std::sin(degrees * kDegree);
    return [=](double x, double y) { return std::abs(-x * s + y * c) <= halfWidth; };
}

Shape both(Shape a, Shape b) {
    return [=](double x, double y) { return a(x, y) && b(x, y); };
}

Shape either(Shape a, Shape b) {
    return [=](double x, double y) { return a(x, y) || b(x, y); };
}

Shape except(Shape a, Shape b) {
    return [=](double x, double y) { return a(x, y) && !b(x, y); };
}

}  // namespace assetgen
