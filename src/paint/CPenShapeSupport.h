#pragma once
// What the nib generator's sources share: angle and coverage geometry and
// the summed coverage of a bitmap nib.
#include <cstdint>
#include <vector>

#include "paint/CPenShape.h"

namespace morvane {

// The angle reduced into 0 .. 359.
inline int32_t NormaliseDegrees(int32_t degrees)
{
    const int32_t a = degrees % 360;
    return a < 0 ? a + 360 : a;
}

// Sine and cosine of whole degrees as 16.16, exact at the right angles.
struct SinCos16 {
    int32_t sine, cosine;
};
SinCos16 SinCosOfDegrees(int32_t degrees);

// The part (0..1) of the 1 x 1 square centred on (x, y), pixels from the
// centre, that lies inside the circle of radius r: near an axis by the
// distance to the rim, elsewhere cut by the rim's tangent nearest the square.
double CircleCoverage(double x, double y, double r);

// to[i] = from[n - 1 - i] for i < n; the ranges do not overlap.
void ReverseCopy(const int32_t* from, int64_t n, int32_t* to);

// distance[i] = sqrt(xx[i] + yy) * scale + 0.5 truncated (capped at 2e9),
// two samples at a time where the processor allows, the same bits either way.
void DistanceSpan(const double* xx, double yy, double scale, int32_t* distance, int32_t n);

// Summed-area table of a bitmap nib's coverage (255 - channel value), kept
// for the item whose id it was built from. (w + 1) x (h + 1) entries; fits
// 32 bits for every bitmap up to 4096 x 4096 pixels.
struct CPenShape::BitmapSums {
    int32_t itemId = -1;
    int32_t width = 0, height = 0;
    std::vector<uint32_t> sums;

    // False (and no table) for a bitmap above 4096 x 4096 pixels or when
    // memory runs out.
    bool Build(const CPenShapeObj& item);

    // Coverage summed over [x0, x1) x [y0, y1) in bitmap pixels, area-weighted
    // at fractional bounds; the bitmap is clipped, outside counts as 0.
    double Integral(double x0, double y0, double x1, double y1) const;
};

} // namespace morvane
