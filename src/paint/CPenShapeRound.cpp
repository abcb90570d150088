// Round and elliptical nibs: normalised distance and antialiased coverage of
// every sample.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "paint/CPenShapeSupport.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"

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
    switch (NormaliseDegrees(degrees)) { // the common nibs, without the library
    case 0:
        return {0, 0x10000};
    case 90:
        return {0x10000, 0};
    case 180:
        return {0, -0x10000};
    case 270:
        return {-0x10000, 0};
    }
    const SinCos angle = SinCosDegrees(NormaliseDegrees(degrees));
    return {roundAwaySat(angle.sine * 65536.0), roundAwaySat(angle.cosine * 65536.0)};
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

namespace {
// Coverage of the sample at (x, y), 16.16 units, whose squared distance
// from the centre is dd, against a rim of radius r pixels. Squares farther
// than half a diagonal from the rim are decided without the geometry.
struct RimTest {
    double r, inside2, outside2;
    explicit RimTest(int32_t radius)
        : r(radius / 65536.0), inside2(r > kHalfDiagonal ? Square((r - kHalfDiagonal) * 65536.0) : -1.0),
          outside2(Square((r + kHalfDiagonal) * 65536.0))
    {
    }
    static double Square(double v) { return v * v; }
    int32_t operator()(double x, double y, double dd) const
    {
        if (dd <= inside2)
            return 0x10000;
        if (dd >= outside2)
            return 0;
        return Fixed(CircleCoverage(x / 65536.0, y / 65536.0, r));
    }
};

} // namespace

bool CPenShape::BuildRound(NibGrid& grid, int32_t radius) const
{
    if (!grid.Layout(radius, radius))
        return false;
    const double toFixed = 65536.0 / radius; // 16.16 distance to normalised 16.16
    const RimTest rim(radius);
    std::vector<double> squares;
    return FillRows(
        grid, Symmetry::FourFold,
        [&](int32_t, double y, const double* xs, int32_t cols, int32_t* distance, int32_t* coverage) {
            if (squares.empty()) {
                squares.resize(size_t(cols));
                for (int32_t col = 0; col < cols; ++col)
                    squares[size_t(col)] = xs[col] * xs[col];
            }
            const double yy = y * y;
            DistanceSpan(squares.data(), yy, toFixed, distance, cols);
            for (int32_t col = 0; col < cols; ++col)
                coverage[col] = computeCoverage_ ? rim(xs[col], y, squares[size_t(col)] + yy) : 0x10000;
        });
}

bool CPenShape::BuildEllipse(NibGrid& grid, int32_t radius, int32_t aspectPercent, int32_t angle) const
{
    // Semi-axes r along (cos a, sin a), r * aspect across it; the rotation
    // below turns the document by -a into the nib's frame.
    const SinCos alpha = SinCosDegrees(angle);
    const double major = radius, minor = double(radius) * aspectPercent / 100.0;
    const double ca = alpha.cosine, sa = alpha.sine;
    const int32_t margin = 2 * 0x10000;
    const int32_t ex =
        int32_t(std::ceil(std::sqrt(major * major * ca * ca + minor * minor * sa * sa))) + margin;
    const int32_t ey =
        int32_t(std::ceil(std::sqrt(major * major * sa * sa + minor * minor * ca * ca))) + margin;
    if (!grid.Layout(ex, ey))
        return false;
    const SinCos16 theta = SinCosOfDegrees(-angle);
    const double c = theta.cosine / 65536.0, s = theta.sine / 65536.0, stretch = 100.0 / aspectPercent;
    const double toFixed = 65536.0 / radius;
    const RimTest rim(radius);
    std::vector<double> us, vs, squares;
    return FillRows(
        grid, Symmetry::Central,
        [&](int32_t, double y, const double* xs, int32_t cols, int32_t* distance, int32_t* coverage) {
            us.resize(size_t(cols));
            vs.resize(size_t(cols));
            squares.resize(size_t(cols));
            for (int32_t col = 0; col < cols; ++col) {
                const double u = xs[col] * c - y * s, v = (xs[col] * s + y * c) * stretch;
                us[size_t(col)] = u;
                vs[size_t(col)] = v;
                squares[size_t(col)] = u * u + v * v;
            }
            DistanceSpan(squares.data(), 0.0, toFixed, distance, cols);
            for (int32_t col = 0; col < cols; ++col)
                coverage[col] =
                    computeCoverage_ ? rim(us[size_t(col)], vs[size_t(col)], squares[size_t(col)]) : 0x10000;
        });
}

} // namespace morvane
