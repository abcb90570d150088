// stroke_gamma_own_vs_libm, the baseline: the same stroke with the C
// library's pow, log, exp, sin and cos. This program defines the project's
// math functions itself, so the linker takes these and never the archive's
// own (a clash, should that file gain other symbols, stops the build).
#include <cmath>
#include <numbers>

#include "StrokeGammaScene.h"
#include "storage/PortableMath.h"

namespace morvane {

double PortableLog(double x)
{
    return std::log(x);
}

double PortableExp(double x)
{
    return std::exp(x);
}

namespace {
template <typename T> T LibraryPowUnit(T x, T y)
{
    if (!(x > 0))
        return 0;
    if (x >= 1 || !(y > 0))
        return 1;
    return std::pow(x, y);
}
} // namespace

double PowUnit(double x, double y)
{
    return LibraryPowUnit(x, y);
}

float PowUnit(float x, float y)
{
    return LibraryPowUnit(x, y);
}

SinCos SinCosDegrees(double degrees)
{
    const double radians = std::fmod(degrees, 360.0) * (std::numbers::pi / 180);
    return {std::sin(radians), std::cos(radians)};
}

namespace bench {
namespace {
[[maybe_unused]] const bool registered = RegisterSide(kStrokeGammaFigure, "baseline", TimeStrokeGamma);
} // namespace
} // namespace bench
} // namespace morvane
