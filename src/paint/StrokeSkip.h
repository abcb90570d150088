#pragma once
// Stroke walks step one pixel at a time, and a point up to 2^20 px off the
// canvas makes a million steps whose dabs land nowhere. These skip such
// steps in one go and leave the walk where the steps would have left it:
// the same floats for position and pressure, the same spacing phase, so the
// dabs that do land are the same dabs.
#include <cstdint>

namespace morvane {

// Where a dab's centre must lie to touch the target: its extent grown by
// the largest dab of the stroke and a margin, in target pixels.
struct DabReach {
    float left = 0, top = 0, right = 0, bottom = 0;

    // Width x height grown by `radius` (half the largest dab) and the margin.
    static DabReach Around(int32_t width, int32_t height, float radius);
    bool Holds(float x, float y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// How many steps from (x, y), the current one first, surely have their dabs
// outside reach when each moves by (sx, sy) in float: 0 when (x, y) lies
// within, at most remaining. A lower bound that allows for the rounding of
// every step.
int64_t StepsOutside(float x, float y, float sx, float sy, const DabReach& reach, int64_t remaining);

// Runs of at most this many steps are counted one by one.
inline constexpr int64_t kExactLengthRun = 4096;

// The pressure after `count` steps of v = clamp(v + sp, 0, 1), exactly.
float PressureAfter(float v, float sp, int64_t count);
// The stroke length after `count` such steps that each add c x the pressure
// the step ends at. Exact for a steady pressure and for short runs; a
// longer run of changing pressure, far off the canvas, adds the sum of the
// line, rounded once.
float LengthAfter(float length, float c, float v, float sp, int64_t count);
// The same where step k has the pressure clamp(p0 + dp x k, 0, 1), for the
// steps first .. first + count - 1.
float LengthAfterIndexed(float length, float c, float p0, float dp, int64_t first, int64_t count);

} // namespace morvane
