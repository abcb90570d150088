// Round and elliptical nibs: normalised distance and antialiased coverage of
// every sample.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "paint/CPenShapeSupport.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
// Half the diagonal of a pixel, a little rounded up: a square whose centre
// is farther than this from the rim is wholly inside or outside.
constexpr double kHalfDiagonal = 0.70711;

// Area of {s, t in [0, 1]: a s + b t <= c}, a, b > 0.
double HalfPlaneArea(double a, double b, double c)
{
    if (c <= 0.0)
        return 0.0;
    if (c >= a + b)
        return 1.0;
    const auto g = [](double t) { return t > 0.0 ? t * t : 0.0; };
    return std::clamp((g(c) - g(c - a) - g(c - b) + g(c - a - b)) / (2.0 * a * b), 0.0, 1.0);
}

int32_t Fixed(double v)
{
    return roundSat(v * 65536.0);
}
} // namespace

SinCos16 SinCosOfDegrees(int32_t degrees)
{
    const double radians = NormaliseDegrees(degrees) * (std::numbers::pi / 180.0);
    return {roundAwaySat(std::sin(radians) * 65536.0), roundAwaySat(std::cos(radians) * 65536.0)};
}

double CircleCoverage(double x, double y, double r)
{
    x = std::fabs(x);
    y = std::fabs(y);
    const double larger = std::max(x, y), smaller = std::min(x, y);
    if (smaller < 1.0 / 16.0 || smaller * 200.0 < larger)
        return std::clamp(r + 0.5 - larger, 0.0, 1.0);
    const double d = std::sqrt(x * x + y * y);
    if (d >= r + kHalfDiagonal)
        return 0.0;
    if (d <= r - kHalfDiagonal)
        return 1.0;
    // The tangent at the rim point nearest the square: n . p <= r.
    const double a = x / d, b = y / d;
    return HalfPlaneArea(a, b, r - a * (x - 0.5) - b * (y - 0.5));
}

bool CPenShape::BuildRound(NibGrid& grid, int32_t radius) const
{
    if (!grid.Layout(radius, radius))
        return false;
    const double r = radius / 65536.0;
    const double toFixed = 65536.0 / radius; // 16.16 distance to normalised 16.16
    for (int32_t row = 0; row < grid.gridH; ++row) {
        const int64_t y = grid.OffsetY(row);
        int32_t* distance = grid.distance + int64_t(row) * grid.gridW;
        int32_t* coverage = grid.coverage + int64_t(row) * grid.gridW;
        for (int32_t col = 0; col < grid.gridW; ++col) {
            const int64_t x = grid.OffsetX(col);
            distance[col] = roundSat(std::sqrt(double(x * x + y * y)) * toFixed);
            coverage[col] = computeCoverage_ ? Fixed(CircleCoverage(x / 65536.0, y / 65536.0, r)) : 0x10000;
        }
    }
    return true;
}

bool CPenShape::BuildEllipse(NibGrid& grid, int32_t radius, int32_t aspectPercent, int32_t angle) const
{
    // Semi-axes r along (cos a, sin a), r * aspect across it; the rotation
    // below turns the document by -a into the nib's frame.
    const double alpha = angle * (std::numbers::pi / 180.0);
    const double major = radius, minor = double(radius) * aspectPercent / 100.0;
    const double c = std::cos(alpha), s = std::sin(alpha);
    const int32_t margin = 2 * 0x10000;
    const int32_t ex = int32_t(std::ceil(std::sqrt(major * major * c * c + minor * minor * s * s))) + margin;
    const int32_t ey = int32_t(std::ceil(std::sqrt(major * major * s * s + minor * minor * c * c))) + margin;
    if (!grid.Layout(ex, ey))
        return false;
    const SinCos16 theta = SinCosOfDegrees(-angle);
    const double r = radius / 65536.0;
    const double toFixed = 65536.0 / radius;
    for (int32_t row = 0; row < grid.gridH; ++row) {
        const int64_t y = grid.OffsetY(row);
        int32_t* distance = grid.distance + int64_t(row) * grid.gridW;
        int32_t* coverage = grid.coverage + int64_t(row) * grid.gridW;
        for (int32_t col = 0; col < grid.gridW; ++col) {
            const int64_t x = grid.OffsetX(col);
            const int64_t u = (x * theta.cosine - y * theta.sine) >> 16;
            const int64_t v = ((x * theta.sine + y * theta.cosine) * 100 / aspectPercent) >> 16;
            distance[col] = roundSat(std::sqrt(double(u * u + v * v)) * toFixed);
            coverage[col] = computeCoverage_ ? Fixed(CircleCoverage(u / 65536.0, v / 65536.0, r)) : 0x10000;
        }
    }
    return true;
}

} // namespace morvane
