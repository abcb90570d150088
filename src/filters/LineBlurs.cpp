// Motion blur and zoom blur: log2(distance) passes, each pixel the sample
// of two points on either side of it, ping-ponged between two band-sized
// scratch images. A pass computes the WorkRect grown by the reach of the
// passes after it, so a clipped run equals the full run on the clip.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "filters/BoxSample.h"
#include "filters/FilterGuard.h"
#include "filters/LayerBand.h"
#include "filters/NeighbourFilters.h"
#include "filters/RecordBytes.h"
#include "filters/TwoPointSample.h"
#include "filters/WorkRows.h"

namespace morvane {
namespace {

// One pass: its two 16.16 offsets (motion) or its zoom factor, and how far
// it reads in pixels.
struct Pass {
    int32_t dx = 0, dy = 0, factor = 0;
    int32_t reachX = 0, reachY = 0;
};

int32_t CeilPixels(int64_t v) { return int32_t((std::llabs(v) + 65535) >> 16); }

// The WorkRect grown by the reach of passes from..end, inside the layer.
EdgeRect PassBand(const FilterContext& c, const std::vector<Pass>& passes, size_t from)
{
    int32_t mx = 0, my = 0;
    for (size_t i = from; i < passes.size(); ++i)
        mx += passes[i].reachX + 1, my += passes[i].reachY + 1;
    EdgeRect band;
    Intersect({c.work.left - mx, c.work.top - my, c.work.right + mx, c.work.bottom + my},
              {0, 0, c.target->Width, c.target->Height}, band);
    return band;
}

// Runs the passes; sample(pass, source, x, y, own) gives a pixel of the
// destination. The result of the last pass is written through the coverage.
template <class Sample>
bool RunPasses(const FilterContext& c, const std::vector<Pass>& passes, Sample sample)
{
    LayerBand a, b;
    const EdgeRect all = PassBand(c, passes, 0);
    if (!a.Load(c, all) || !b.Load(c, all))
        return false;
    LayerBand* src = &a;
    LayerBand* dst = &b;
    for (size_t i = 0; i < passes.size(); ++i) {
        const EdgeRect band = PassBand(c, passes, i + 1);
        for (int32_t y = band.top; y < band.bottom; ++y) {
            uint32_t* row = dst->Row(y);
            for (int32_t x = band.left; x < band.right; ++x) {
                const uint32_t own = src->Row(y)[x];
                const uint32_t v = sample(passes[i], *src, x, y);
                row[x] = c.protect ? (v & 0x00FFFFFFu) | (own & 0xFF000000u) : v;
            }
        }
        std::swap(src, dst);
    }
    return EachWorkRow(c, c.protect ? PassWrite::Colour : PassWrite::Pixel,
                       [&](int32_t y, const uint8_t* cover, uint32_t* out) {
                           const uint32_t* row = src->Row(y);
                           for (int32_t x = c.work.left; x < c.work.right; ++x)
                               if (cover[x - c.work.left])
                                   out[x - c.work.left] = row[x];
                       });
}

int64_t ClampCoord(int64_t v, int32_t size) { return std::clamp<int64_t>(v, 0, int64_t(size) * 65536 - 1); }

// Earlier records: two box samples at the pixel centre +- the offset,
// averaged with their alphas as weights.
uint32_t BoxPair(const LayerBand& src, const Pass& p, int32_t x, int32_t y)
{
    BoxSampler box(src);
    const int64_t cx = int64_t(x) * 65536 + 32768, cy = int64_t(y) * 65536 + 32768;
    const uint32_t s1 = box.Around(cx + p.dx, cy + p.dy), s2 = box.Around(cx - p.dx, cy - p.dy);
    const uint32_t a1 = s1 >> 24, a2 = s2 >> 24;
    if (a1 + a2 == 0)
        return 0x00FFFFFFu;
    uint32_t out = ((a1 + a2) / 2) << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((a1 * ((s1 >> shift) & 0xFF) + a2 * ((s2 >> shift) & 0xFF)) / (a1 + a2)) << shift;
    return out;
}

} // namespace

FilterResult MotionBlurFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 8))
        return FilterResult::Refused;
    const uint8_t mode = r.bytes[1];
    // Mode 0 keeps its angle as a float in bytes 4..7, not negated.
    const float degrees = mode == 0 ? RecordF32(r.bytes, 4) : -float(int16_t(r.bytes[2] | r.bytes[3] << 8));
    if (!std::isfinite(degrees))
        return FilterResult::Refused;
    const float theta = degrees * std::numbers::pi_v<float> / 180.0f;
    const float cs = std::cos(theta), sn = std::sin(theta);
    std::vector<Pass> passes;
    for (float rad = float(r.bytes[0]) / 2; rad >= 0.5f; rad /= 2) {
        Pass p;
        p.dx = int32_t(std::lround(rad * cs * 65536.0f));
        p.dy = int32_t(std::lround(rad * sn * 65536.0f));
        p.reachX = CeilPixels(p.dx), p.reachY = CeilPixels(p.dy);
        passes.push_back(p);
    }
    if (passes.empty())
        return FilterResult::Declined;
    const int32_t w = c.target->Width, h = c.target->Height;
    return Guarded([&] {
        if (mode == 0)
            return RunPasses(c, passes, [](const Pass& p, const LayerBand& src, int32_t x, int32_t y) {
                return BoxPair(src, p, x, y);
            });
        return RunPasses(c, passes, [w, h](const Pass& p, const LayerBand& src, int32_t x, int32_t y) {
            const int64_t px = int64_t(x) * 65536, py = int64_t(y) * 65536;
            return TwoPointSample(src, {ClampCoord(px + p.dx, w), ClampCoord(py + p.dy, h)},
                                  {ClampCoord(px - p.dx, w), ClampCoord(py - p.dy, h)});
        });
    });
}

FilterResult ZoomBlurFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 8))
        return FilterResult::Refused;
    const int32_t offX = int16_t(r.bytes[0] | r.bytes[1] << 8), offY = int16_t(r.bytes[2] | r.bytes[3] << 8);
    const EdgeRect& b = c.bounds;
    const double bw = b.right - b.left, bh = b.bottom - b.top;
    const double diagonal = std::sqrt(bw * bw + bh * bh);
    if (diagonal == 0)
        return FilterResult::Declined;
    const int64_t cx = (int64_t((b.left + b.right - 1) / 2) + offX) * 65536;
    const int64_t cy = (int64_t((b.top + b.bottom - 1) / 2) + offY) * 65536;
    const int32_t w = c.target->Width, h = c.target->Height;
    // How far a pixel of the layer lies from the centre at most: a pass
    // reads that times its factor away (r where the centre is the bounds').
    double farthest = 0;
    for (const auto& [x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}})
        farthest = std::max(farthest, std::hypot(x - double(cx) / 65536, y - double(cy) / 65536));
    std::vector<Pass> passes;
    for (double rad = double(r.bytes[4]) / 2; rad >= 0.5; rad /= 2) {
        Pass p;
        p.factor = int32_t(std::lround(rad * 65536.0 / diagonal));
        p.reachX = p.reachY = int32_t(std::ceil(farthest * p.factor / 65536.0)) + 1;
        passes.push_back(p);
    }
    if (passes.empty())
        return FilterResult::Declined;
    return Guarded([&] {
        return RunPasses(c, passes, [=](const Pass& p, const LayerBand& src, int32_t x, int32_t y) {
            const int64_t px = int64_t(x) * 65536, py = int64_t(y) * 65536;
            // (p - C) * F in 16.16.
            const int64_t ox = ((px - cx) * p.factor) >> 16, oy = ((py - cy) * p.factor) >> 16;
            return TwoPointSample(src, {ClampCoord(px + ox, w), ClampCoord(py + oy, h)},
                                  {ClampCoord(px - ox, w), ClampCoord(py - oy, h)});
        });
    });
}

} // namespace morvane
