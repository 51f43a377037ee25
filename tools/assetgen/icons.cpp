#include "icons.h"

#include <cmath>
#include <numbers>

namespace assetgen {
namespace {

constexpr Rgb kOrange{246, 134, 31};
constexpr Rgb kDeepOrange{214, 96, 12};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kHandsetBody{36, 40, 52};
constexpr Rgb kHandsetShine{112, 124, 150};

constexpr double kDegree = std::numbers::pi / 180;

Picture orangeEmblem(int size) {
    Picture p(size);
    p.paint(disc(0, 0, 0.92), kDeepOrange);
    p.paint(disc(0, 0, 0.8), kOrange);
    return p;
}

// An arc of the sign's ring running clockwise from one angle to another, ending in an arrowhead that
// points on round the circle.
Shape arcArrow(double fromDegrees, double toDegrees, double innerRadius, double outerRadius) {
    const double middle = (innerRadius + outerRadius) / 2;
    const double overhang = (outerRadius - innerRadius) * 0.9;
    const double base = toDegrees * kDegree;
    const double tip = (toDegrees + 42) * kDegree;
    const Shape head =
        triangle(std::cos(base) * (innerRadius - overhang), std::sin(base) * (innerRadius - overhang),
                 std::cos(base) * (outerRadius + overhang), std::sin(base) * (outerRadius + overhang),
                 std::cos(tip) * middle, std::sin(tip) * middle);
    return either(ringSector(innerRadius, outerRadius, fromDegrees, toDegrees), head);
}

}  // namespace

Picture emblemWithTurningArrows(int size) {
    Picture p = orangeEmblem(size);
    p.paint(arcArrow(190, 320, 0.38, 0.6), kWhite);
    p.paint(arcArrow(10, 140, 0.38, 0.6), kWhite);
    return p;
}

Picture emblemWithArrowCircle(int size) {
    Picture p = orangeEmblem(size);
    p.paint(arcArrow(290, 180, 0.3, 0.58), kWhite);
    return p;
}

Picture emblemWithNoSign(int size) {
    Picture p = orangeEmblem(size);
    p.paint(ring(0, 0, 0.38, 0.64), kWhite);
    p.paint(both(disc(0, 0, 0.5), band(45, 0.13)), kWhite);
    return p;
}

Picture emblemWithExclamationMark(int size) {
    Picture p = orangeEmblem(size);
    p.paint(rectangle(-0.14, -0.62, 0.14, 0.16), kWhite);
    p.paint(rectangle(-0.14, 0.34, 0.14, 0.62), kWhite);
    return p;
}

// The handset lies diagonally, earpiece at the top right and mouthpiece at the bottom left, its grip
// bowing out towards the top left.
Picture handset(int size) {
    Picture p(size);
    const Shape grip = both(ring(0.5, 0.5, 0.8, 1.14), rectangle(-1, -1, 0.5, 0.5));
    const Shape earpiece = ellipse(0.56, -0.42, 0.4, 0.3, 12);
    const Shape mouthpiece = ellipse(-0.42, 0.56, 0.3, 0.4, -12);
    p.paint(either(grip, either(earpiece, mouthpiece)), kHandsetBody);
    p.paint(both(ring(0.5, 0.5, 1.0, 1.07), rectangle(-1, -1, 0.3, 0.3)), kHandsetShine);
    return p;
}

}  // namespace assetgen
