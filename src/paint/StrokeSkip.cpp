#include "paint/StrokeSkip.h"

#include <algorithm>
#include <cmath>

#include "storage/RepeatedSum.h"

namespace morvane {

namespace {

// Added around the largest dab: a box reaches past its radius by the
// rounding of its edges.
constexpr float kReachMargin = 2.0f;

float Unit(float v)
{
    return std::clamp(v, 0.0f, 1.0f);
}

// Steps from p, the current one first, that stay outside [lo, hi) on one
// axis when each moves by s: no step in float moves farther than |s| plus
// one unit in the last place of the largest magnitude on the way.
int64_t StepsOutsideOn(float p, float s, float lo, float hi, int64_t remaining)
{
    if (p >= lo && p < hi)
        return 0;
    const bool below = p < lo;
    if ((below && !(s > 0)) || (!below && !(s < 0)) || p + s == p)
        return remaining; // moving away, or not at all
    const double gap = below ? double(lo) - double(p) : double(p) - double(hi);
    const double largest = std::max({std::fabs(double(p)), std::fabs(double(lo)), std::fabs(double(hi))});
    const double fastest = std::fabs(double(s)) + std::ldexp(1.0, std::ilogb(largest) - 23);
    return std::min<int64_t>(int64_t(std::floor(gap / fastest)), remaining);
}

// sum over j = first .. first + count - 1 of clamp(a + j b, 0, 1), in double.
double ClampedLineSum(double a, double b, int64_t first, int64_t count)
{
    const int64_t last = first + count - 1;
    if (b == 0)
        return double(count) * std::clamp(a, 0.0, 1.0);
    // j where the line crosses 0 and 1, kept within first - 1 .. last + 1.
    const auto at = [&](double level) {
        return std::clamp((level - a) / b, double(first - 1), double(last + 1));
    };
    const double zero = at(0), one = at(1);
    // Indices strictly between the crossings lie on the line; those past the
    // crossing of 1 give 1; the rest give 0.
    const double lowCross = std::min(zero, one), highCross = std::max(zero, one);
    const int64_t from = std::max(first, int64_t(std::floor(lowCross)) + 1);
    const int64_t to = std::min(last, int64_t(std::ceil(highCross)) - 1);
    double sum = 0;
    if (from <= to) {
        const double n = double(to - from + 1);
        sum += n * a + b * (double(from) + double(to)) * n / 2;
    }
    // Indices at or past the crossing of 1, in the direction the line rises.
    const int64_t ones = b > 0 ? last - std::max(first, int64_t(std::ceil(one))) + 1
                               : std::min(last, int64_t(std::floor(one))) - first + 1;
    return sum + double(std::max<int64_t>(ones, 0));
}

} // namespace

DabReach DabReach::Around(int32_t width, int32_t height, float radius)
{
    const float r = std::max(radius, 0.0f) + kReachMargin;
    return {-r, -r, float(width) + r, float(height) + r};
}

int64_t StepsOutside(float x, float y, float sx, float sy, const DabReach& reach, int64_t remaining)
{
    if (reach.Holds(x, y))
        return 0;
    return std::max(StepsOutsideOn(x, sx, reach.left, reach.right, remaining),
                    StepsOutsideOn(y, sy, reach.top, reach.bottom, remaining));
}

float PressureAfter(float v, float sp, int64_t count)
{
    // Clamping each step or once at the end agrees: the unclamped sum only
    // moves one way, and once past a bound every clamped step stays on it.
    return Unit(RepeatedSum(v, sp, count));
}

float LengthAfter(float length, float c, float v, float sp, int64_t count)
{
    if (count <= kExactLengthRun) {
        for (int64_t k = 0; k < count; ++k) {
            v = Unit(v + sp);
            length += c * v;
        }
        return length;
    }
    if (Unit(v + sp) == v)
        return RepeatedSum(length, c * v, count);
    return float(double(length) + double(c) * ClampedLineSum(v, sp, 1, count));
}

float LengthAfterIndexed(float length, float c, float p0, float dp, int64_t first, int64_t count)
{
    if (count <= kExactLengthRun) {
        for (int64_t k = first; k < first + count; ++k)
            length += c * Unit(p0 + dp * float(k));
        return length;
    }
    if (dp == 0)
        return RepeatedSum(length, c * Unit(p0), count);
    return float(double(length) + double(c) * ClampedLineSum(p0, dp, first, count));
}

} // namespace morvane
