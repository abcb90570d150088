#include "storage/RepeatedSum.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace morvane {

namespace {

// Sign and exponent fields: equal for floats on one grid (one binade of one
// sign, or the subnormals of one sign with their zero).
uint32_t Binade(float v)
{
    return std::bit_cast<uint32_t>(v) >> 23;
}

// How many moves by d keep x within its binade with one move to spare, so
// that every sum on the way is still rounded on this binade's grid.
int64_t MovesWithin(float x, float d)
{
    const int field = int(Binade(x) & 0xFF);
    const double bottom = field == 0 ? 0.0 : std::ldexp(1.0, field - 127);
    const double top = std::ldexp(1.0, std::max(field, 1) - 126);
    const double magnitude = std::fabs(double(x)), move = std::fabs(double(d));
    const bool outwards = std::signbit(x) == std::signbit(d);
    const double room = outwards ? (top - magnitude) / move : (magnitude - bottom) / move;
    return int64_t(std::floor(room)) - 2;
}

} // namespace

float RepeatedSum(float x, float step, int64_t count)
{
    if (count <= 0)
        return x;
    // A zero, infinite or NaN step, or an infinite or NaN start: the first
    // sum is what every later one gives.
    if (step == 0 || !std::isfinite(step) || !std::isfinite(x))
        return x + step;
    while (count > 0) {
        const float next = x + step;
        --count;
        if (next == x || !std::isfinite(next))
            return next; // the sum no longer moves
        const bool within = Binade(x) == Binade(next);
        x = next;
        if (!within || count < 4)
            continue;
        // x came from a step inside its binade: a step rounded to even left
        // its last bit even, so every further step here moves by d.
        const float probe = x + step;
        if (Binade(x) != Binade(probe))
            continue;
        const float d = probe - x; // exact: both on one grid
        const int64_t moves = std::min<int64_t>(MovesWithin(x, d), count);
        if (moves < 2)
            continue;
        x = float(double(x) + double(moves) * double(d));
        count -= moves;
    }
    return x;
}

} // namespace morvane
