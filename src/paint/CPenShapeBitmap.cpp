// Bitmap nibs: the bitmap rotated by the nib angle, squeezed across by the
// aspect and scaled, each sample the area-weighted average of the bitmap
// under a pixel-sized footprint (read from a summed-area table, so the cost
// does not grow with the footprint).
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "paint/CPenShapeObj.h"
#include "paint/CPenShapeSupport.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
// The summed table holds 255 x pixels in 32 bits.
constexpr int64_t kMaxBitmapPixels = int64_t(4096) * 4096;

// Rounded up to a multiple of 8/65536.
int32_t ExtentOf(double pixels)
{
    return int32_t(std::ceil(pixels * 65536.0 / 8.0)) * 8;
}

} // namespace

bool CPenShape::BitmapSums::Build(const CPenShapeObj& item)
{
    const TChannel& bitmap = *item.Bitmap();
    const int32_t w = bitmap.Width, h = bitmap.Height;
    if (int64_t(w) * h > kMaxBitmapPixels)
        return false;
    itemId = -1;
    try {
        sums.assign(size_t(w + 1) * size_t(h + 1), 0);
    } catch (const std::bad_alloc&) {
        sums.clear();
        return false;
    }
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* pixel = bitmap.PixelPtr(0, y);
        const uint32_t* above = &sums[size_t(y) * (w + 1)];
        uint32_t* row = &sums[size_t(y + 1) * (w + 1)];
        uint32_t run = 0;
        for (int32_t x = 0; x < w; ++x) {
            run += 255u - pixel[x];
            row[x + 1] = above[x + 1] + run;
        }
    }
    itemId = item.Id();
    width = w;
    height = h;
    return true;
}

double CPenShape::BitmapSums::Integral(double x0, double y0, double x1, double y1) const
{
    // The integral of a piecewise constant image is bilinear inside each
    // pixel, so interpolating the table is exact.
    const auto at = [this](double x, double y) {
        x = std::clamp(x, 0.0, double(width));
        y = std::clamp(y, 0.0, double(height));
        const int32_t ix = std::min(int32_t(x), width - 1), iy = std::min(int32_t(y), height - 1);
        const double fx = x - ix, fy = y - iy;
        const uint32_t* r0 = &sums[size_t(iy) * (width + 1) + ix];
        const uint32_t* r1 = r0 + (width + 1);
        return (r0[0] * (1.0 - fx) + r0[1] * fx) * (1.0 - fy) + (r1[0] * (1.0 - fx) + r1[1] * fx) * fy;
    };
    return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
}

namespace {
int32_t CoverageOf(double sum, double toCoverage)
{
    return int32_t(std::min(std::max(sum * toCoverage, 0.0), 65536.0) + 0.5);
}

// One grid column's footprint in a table row: table[ix] * (1 - f) + table[ix + 1] * f.
struct Lerp {
    int32_t ix;
    double f;
    Lerp(double x, int32_t size)
    {
        x = std::clamp(x, 0.0, double(size));
        ix = std::min(int32_t(x), size - 1);
        f = x - ix;
    }
    template <typename T> double At(const T* table) const
    {
        return table[ix] * (1.0 - f) + table[ix + 1] * f;
    }
};
} // namespace

// Where a sample's footprint lies in the bitmap: the nib frame scaled into
// bitmap pixels, the across-axis squeezed by the aspect.
struct CPenShape::Footprint {
    double w, h;         // bitmap size
    double c, s;         // the nib angle
    double stretch;      // 100 / aspect
    double toSource;     // nib pixels to bitmap pixels (16.16 offsets in)
    double halfU, halfV; // half the footprint along and across, bitmap pixels
    double toCoverage;   // summed coverage to 16.16 of the footprint's area
    double toDistance;   // squared stretched offset to normalised 16.16
};

bool CPenShape::BuildBitmap(NibGrid& grid, const CPenShapeObj& item, int32_t scale, int32_t aspectPercent,
                            int32_t angle)
{
    const TChannel& bitmap = *item.Bitmap();
    const double w = bitmap.Width, h = bitmap.Height;
    const double factor = scale / (65536.0 * 100.0);
    if (std::max(w, h) * factor / 2.0 > kMaxRadius)
        return false;
    if (!sums_) {
        try {
            sums_ = std::make_unique<BitmapSums>();
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (sums_->itemId != item.Id() && !sums_->Build(item))
        return false;

    const SinCos16 rotation = SinCosOfDegrees(angle);
    Footprint fp;
    fp.w = w;
    fp.h = h;
    fp.c = rotation.cosine / 65536.0;
    fp.s = rotation.sine / 65536.0;
    fp.stretch = 100.0 / aspectPercent;
    fp.toSource = 1.0 / (factor * 65536.0);
    fp.halfU = 0.5 / factor;
    fp.halfV = fp.halfU * fp.stretch;
    fp.toCoverage = 65536.0 / (4.0 * fp.halfU * fp.halfV * 255.0);
    fp.toDistance = 1.0 / (0.5 * std::sqrt(w * w + h * h) * factor);
    const double hw = w * factor / 2.0, hh = h * factor / 2.0;
    if (!grid.Layout(ExtentOf(hw * std::fabs(fp.c) + hh * std::fabs(fp.s)),
                     ExtentOf(hw * std::fabs(fp.s) + hh * std::fabs(fp.c))))
        return false;
    return angle == 0 ? FillAxisAligned(grid, fp) : FillRotated(grid, fp);
}

// Any angle: each sample reads its footprint's four corners from the table.
bool CPenShape::FillRotated(NibGrid& grid, const Footprint& fp)
{
    std::vector<double> squares;
    return FillRows(
        grid, Symmetry::None,
        [&](int32_t, double y, const double* xs, int32_t cols, int32_t* distance, int32_t* coverage) {
            squares.resize(size_t(cols));
            for (int32_t col = 0; col < cols; ++col) {
                const double u = xs[col] * fp.c + y * fp.s;
                const double v = (y * fp.c - xs[col] * fp.s) * fp.stretch;
                const double bx = fp.w / 2.0 + u * fp.toSource, by = fp.h / 2.0 + v * fp.toSource;
                const double sum =
                    sums_->Integral(bx - fp.halfU, by - fp.halfV, bx + fp.halfU, by + fp.halfV);
                coverage[col] = CoverageOf(sum, fp.toCoverage);
                squares[size_t(col)] = u * u + v * v;
            }
            DistanceSpan(squares.data(), 0.0, fp.toDistance, distance, cols);
        });
}

// Angle 0: a column's footprint spans the same bitmap columns on every row,
// so the table is first narrowed to one value per table row and grid
// column (the coverage of those columns above the row); each sample then
// reads two of them. A footprint is one pixel of the nib wide, so it runs
// from a sample's left edge to the left edge m samples on: the table is read
// once per edge. The distances repeat about both axes.
bool CPenShape::FillAxisAligned(NibGrid& grid, const Footprint& fp)
{
    const BitmapSums& sums = *sums_;
    const int32_t cols = grid.gridW, tableW = sums.width + 1, m = grid.oversample;
    const int32_t edgeCount = cols + m;
    const int32_t halfCols = grid.MirrorsX() ? (cols + 1) / 2 : cols;
    const bool mirrorRows = grid.MirrorsY();
    std::vector<Lerp> edges;
    try {
        // Kept from build to build: no clearing, no fresh pages.
        const size_t need =
            size_t(sums.height + 1) * size_t(cols) + size_t(cols) + size_t(tableW) + size_t(edgeCount);
        if (scratch_.size() < need)
            scratch_.resize(need);
        edges.reserve(size_t(edgeCount));
    } catch (const std::bad_alloc&) {
        return false;
    }
    double* above = scratch_.data();
    double* squares = above + size_t(sums.height + 1) * size_t(cols);
    double* tableRow = squares + cols;
    double* atEdge = tableRow + tableW;
    for (int32_t k = 0; k < edgeCount; ++k)
        edges.emplace_back(fp.w / 2.0 + grid.OffsetX(k) * fp.toSource - fp.halfU, sums.width);
    for (int32_t col = 0; col < cols; ++col) {
        const double u = grid.OffsetX(col);
        squares[col] = u * u;
    }
    for (int32_t iy = 0; iy <= sums.height; ++iy) {
        SumsToDouble(&sums.sums[size_t(iy) * size_t(tableW)], tableW, tableRow);
        for (int32_t k = 0; k < edgeCount; ++k)
            atEdge[k] = edges[size_t(k)].At(tableRow);
        double* out = above + size_t(iy) * size_t(cols);
        for (int32_t col = 0; col < cols; ++col)
            out[col] = atEdge[col + m] - atEdge[col];
    }
    return FillRows(
        grid, Symmetry::None,
        [&](int32_t row, double y, const double*, int32_t n, int32_t* distance, int32_t* coverage) {
            const double v = y * fp.stretch, by = fp.h / 2.0 + v * fp.toSource;
            const Lerp top(by - fp.halfV, sums.height), bottom(by + fp.halfV, sums.height);
            CoverageSpan(above + size_t(top.ix) * size_t(cols), above + size_t(bottom.ix) * size_t(cols),
                         cols, top.f, bottom.f, fp.toCoverage, coverage, n);
            const int32_t mirrored = grid.gridH - 1 - row;
            if (mirrorRows && mirrored < row) {
                std::copy_n(grid.distance + int64_t(mirrored) * cols, n, distance);
                return;
            }
            DistanceSpan(squares, v * v, fp.toDistance, distance, halfCols);
            ReverseCopy(distance, n - halfCols, distance + halfCols);
        });
}

} // namespace morvane
