// Bitmap nibs: the bitmap rotated by the nib angle, squeezed across by the
// aspect and scaled, each sample the area-weighted average of the bitmap
// under a pixel-sized footprint (read from a summed-area table, so the cost
// does not grow with the footprint).
#include <algorithm>
#include <cmath>
#include <new>

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
    const double c = rotation.cosine / 65536.0, s = rotation.sine / 65536.0;
    const double hw = w * factor / 2.0, hh = h * factor / 2.0;
    if (!grid.Layout(ExtentOf(hw * std::fabs(c) + hh * std::fabs(s)),
                     ExtentOf(hw * std::fabs(s) + hh * std::fabs(c))))
        return false;

    const double stretch = 100.0 / aspectPercent;
    const double toSource = 1.0 / factor;
    const double footU = 0.5 * toSource, footV = 0.5 * toSource * stretch; // half the footprint
    const double area = 4.0 * footU * footV * 255.0;
    const double toDistance = 65536.0 / (0.5 * std::sqrt(w * w + h * h) * factor);
    for (int32_t row = 0; row < grid.gridH; ++row) {
        const double y = grid.OffsetY(row) / 65536.0;
        int32_t* distance = grid.distance + int64_t(row) * grid.gridW;
        int32_t* coverage = grid.coverage + int64_t(row) * grid.gridW;
        for (int32_t col = 0; col < grid.gridW; ++col) {
            const double x = grid.OffsetX(col) / 65536.0;
            const double u = x * c + y * s;
            const double v = (y * c - x * s) * stretch;
            const double bx = w / 2.0 + u * toSource, by = h / 2.0 + v * toSource;
            const double sum = sums_->Integral(bx - footU, by - footV, bx + footU, by + footV);
            coverage[col] = std::clamp(roundSat(sum / area * 65536.0), 0, 0x10000);
            distance[col] = roundSat(std::sqrt(u * u + v * v) * toDistance);
        }
    }
    return true;
}

} // namespace morvane
