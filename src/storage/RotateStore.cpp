// Free rotation of a block store: every destination pixel's centre is mapped
// back into the source in 16.16 fixed point (a start per row, a step per
// column) and sampled bilinearly with 8-bit weights. Colour is weighted by
// alpha, so a transparent neighbour lends no colour to an edge.
#include "storage/RotateStore.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"
#include "storage/SizeLimits.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
constexpr int32_t kTile = 32;
// Farther than this from the source no sensible box lies; keeps the sums below in range.
constexpr double kMaxReach = 1 << 20;

// The sine and cosine of right angles are off by a rounding: a corner that is
// an integer but for that must not grow the box by a pixel.
double Snapped(double v)
{
    const double n = std::nearbyint(v);
    return std::fabs(v - n) < 1e-7 ? n : v;
}

int64_t ToFixed(double v) { return truncSat<int64_t>(std::floor(v * kFixedOne + 0.5)); }

// Where the centre of destination pixel (i, j) lies in the source, as 16.16
// measured from the source's pixel centres.
struct SWalk {
    int64_t x0, y0;
    int64_t colX, colY; // one column to the right
    int64_t rowX, rowY; // one row down
    int64_t X(int64_t i, int64_t j) const { return x0 + i * colX + j * rowX; }
    int64_t Y(int64_t i, int64_t j) const { return y0 + i * colY + j * rowY; }
};

uint32_t Sample(const CBlockVMTC& source, int64_t sx, int64_t sy, uint32_t transparent)
{
    const int32_t ix = int32_t(sx >> 16), iy = int32_t(sy >> 16);
    const uint32_t fx = uint32_t(sx >> 8) & 0xFF, fy = uint32_t(sy >> 8) & 0xFF;
    const uint32_t weights[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
    // Outside the store GetPixel reads 0: alpha 0, so it adds nothing.
    const uint32_t pixels[4] = {source.GetPixel(ix, iy), source.GetPixel(ix + 1, iy), source.GetPixel(ix, iy + 1),
                                source.GetPixel(ix + 1, iy + 1)};
    uint64_t alpha = 0, colour[3] = {0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        const uint64_t wa = uint64_t(weights[k]) * (pixels[k] >> 24);
        alpha += wa;
        for (int c = 0; c < 3; ++c)
            colour[c] += wa * ((pixels[k] >> (8 * c)) & 0xFF);
    }
    const uint32_t a = uint32_t((alpha + 0x8000) >> 16);
    if (a == 0)
        return transparent;
    uint32_t out = a << 24;
    for (int c = 0; c < 3; ++c)
        out |= uint32_t((colour[c] + alpha / 2) / alpha) << (8 * c);
    return out;
}

// The source pixels the samples of a tile read; the walk is affine, so its
// extremes lie at the tile's corners, and a sample reads floor(s) and
// floor(s) + 1.
struct SReach {
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    bool Misses(const CBlockVMTC& s) const { return maxX < 0 || maxY < 0 || minX >= s.Width || minY >= s.Height; }
    bool LeavesSource(const CBlockVMTC& s) const { return minX < 0 || minY < 0 || maxX >= s.Width || maxY >= s.Height; }
};

SReach ReachOf(const SWalk& walk, const ExtentRect& tile)
{
    SReach r;
    for (int64_t i : {int64_t(tile.left), int64_t(tile.left) + tile.width - 1})
        for (int64_t j : {int64_t(tile.top), int64_t(tile.top) + tile.height - 1}) {
            r.minX = std::min(r.minX, walk.X(i, j) >> 16);
            r.maxX = std::max(r.maxX, (walk.X(i, j) >> 16) + 1);
            r.minY = std::min(r.minY, walk.Y(i, j) >> 16);
            r.maxY = std::max(r.maxY, (walk.Y(i, j) >> 16) + 1);
        }
    return r;
}

// When everything a tile reads is one uncommitted block value, every sample
// is that value (or transparent for alpha 0), which spares sampling the
// empty expanses of a large layer. Outside the source reads as alpha 0.
bool UniformRead(const CBlockVMTC& source, const SReach& r, uint32_t transparent, uint32_t& value)
{
    const int32_t bx0 = int32_t(std::max<int64_t>(r.minX, 0) >> source.BlockShift);
    const int32_t bx1 = int32_t(std::min<int64_t>(r.maxX, source.Width - 1) >> source.BlockShift);
    const int32_t by0 = int32_t(std::max<int64_t>(r.minY, 0) >> source.BlockShift);
    const int32_t by1 = int32_t(std::min<int64_t>(r.maxY, source.Height - 1) >> source.BlockShift);
    const SBlock* first = source.BlockAtIndex(bx0, by0);
    if (!first || first->Committed())
        return false;
    for (int32_t by = by0; by <= by1; ++by)
        for (int32_t bx = bx0; bx <= bx1; ++bx) {
            const SBlock* b = source.BlockAtIndex(bx, by);
            if (!b || b->Committed() || b->Uniform != first->Uniform)
                return false;
        }
    if ((first->Uniform >> 24) == 0) {
        value = transparent;
        return true;
    }
    value = first->Uniform;
    return !r.LeavesSource(source);
}

bool FillByWalk(const CBlockVMTC& source, CBlockVMTC& dest, const SWalk& walk)
{
    TMTC tile(kTile, kTile);
    if (!tile.IsValid())
        return false;
    const uint32_t transparent = dest.DefaultUniform;
    for (int32_t ty = 0; ty < dest.Height; ty += kTile)
        for (int32_t tx = 0; tx < dest.Width; tx += kTile) {
            const ExtentRect r{tx, ty, std::min(kTile, dest.Width - tx), std::min(kTile, dest.Height - ty)};
            const SReach reach = ReachOf(walk, r);
            uint32_t uniform = transparent;
            // Tiles that read nothing, or one value, need no sampling.
            if (reach.Misses(source) || UniformRead(source, reach, transparent, uniform)) {
                if (uniform != transparent && !dest.FillRect(r, uniform))
                    return false;
                continue;
            }
            for (int32_t j = 0; j < r.height; ++j) {
                uint32_t* row = tile.Row(j);
                for (int32_t i = 0; i < r.width; ++i)
                    row[i] = Sample(source, walk.X(tx + i, ty + j), walk.Y(tx + i, ty + j), transparent);
            }
            if (!dest.CopyIn(tile, {tx, ty}, 255, {0, 0, r.width, r.height}))
                return false;
        }
    dest.Compact();
    return true;
}
} // namespace

std::unique_ptr<CBlockVMTC> RotateStore(const CBlockVMTC& source, double centreX, double centreY, double degrees,
                                        Point& topLeft)
{
    if (!source.IsValid() || !std::isfinite(degrees) || !(std::fabs(centreX) < kMaxReach) ||
        !(std::fabs(centreY) < kMaxReach))
        return nullptr;
    const SinCos turn = SinCosDegrees(degrees);
    const double c = turn.cosine, s = turn.sine;
    // Clockwise on screen: (x, y) - centre turns to (x c - y s, x s + y c).
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (double x : {0.0, double(source.Width)})
        for (double y : {0.0, double(source.Height)}) {
            const double vx = x - centreX, vy = y - centreY;
            const double px = Snapped(centreX + vx * c - vy * s), py = Snapped(centreY + vx * s + vy * c);
            minX = std::min(minX, px), maxX = std::max(maxX, px);
            minY = std::min(minY, py), maxY = std::max(maxY, py);
        }
    const double left = std::floor(minX), top = std::floor(minY);
    const double width = std::ceil(maxX) - left, height = std::ceil(maxY) - top;
    if (!IsStoreSizeAllowed(int64_t(width), int64_t(height)))
        return nullptr;

    // The inverse turn maps a destination pixel's centre back into the source.
    const double dx = left + 0.5 - centreX, dy = top + 0.5 - centreY;
    const SWalk walk{ToFixed(centreX + dx * c + dy * s - 0.5),
                     ToFixed(centreY - dx * s + dy * c - 0.5),
                     ToFixed(c),
                     ToFixed(-s),
                     ToFixed(s),
                     ToFixed(c)};
    try {
        auto store = std::make_unique<CBlockVMTC>(int32_t(width), int32_t(height));
        store->DefaultUniform = source.DefaultUniform & 0x00FFFFFFu;
        if (!store->IsValid())
            return nullptr;
        store->FillAll(store->DefaultUniform);
        if (!FillByWalk(source, *store, walk))
            return nullptr;
        topLeft = {int32_t(left), int32_t(top)};
        return store;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace morvane
