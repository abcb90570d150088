#pragma once
// What the nib generator's sources share: angle and coverage geometry and
// the summed coverage of a bitmap nib.
#include <cstdint>
#include <new>
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

// The coverage of a row of samples from two rows of summed coverage, each
// read between a table row and the next (stride on) at fractions tf and bf:
// (bottom - top) * scale, clamped into 0 .. 0x10000, + 0.5 truncated.
void CoverageSpan(const double* top, const double* bottom, int64_t stride, double tf, double bf, double scale,
                  int32_t* coverage, int32_t n);

// out[i] = sums[i] for i < n, exactly (sums reach 2^32 - 1).
void SumsToDouble(const uint32_t* sums, int32_t n, double* out);

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

// The row loop every cached nib shares.
template <typename Fill> bool CPenShape::FillRows(NibGrid& grid, Symmetry symmetry, Fill&& fill) const
{
    const bool mirror = symmetry != Symmetry::None && grid.MirrorsX() && grid.MirrorsY();
    const bool fourFold = mirror && symmetry == Symmetry::FourFold;
    const int32_t rows = mirror ? (grid.gridH + 1) / 2 : grid.gridH;
    const int32_t cols = fourFold ? (grid.gridW + 1) / 2 : grid.gridW;
    // The builders' scratch rows may not fit either.
    try {
        std::vector<double> xs(static_cast<size_t>(cols));
        for (int32_t col = 0; col < cols; ++col)
            xs[size_t(col)] = grid.OffsetX(col);
        for (int32_t row = 0; row < rows; ++row) {
            const int64_t at = int64_t(row) * grid.gridW;
            fill(row, double(grid.OffsetY(row)), xs.data(), cols, grid.distance + at, grid.coverage + at);
            CombineSpan(grid.distance + at, grid.coverage + at, grid.density + at, cols);
            if (fourFold)
                grid.MirrorColumns(row);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (mirror)
        grid.MirrorRows(!fourFold);
    grid.combinedWith = CombineStamp();
    return true;
}

} // namespace morvane
