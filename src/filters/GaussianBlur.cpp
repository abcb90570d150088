// Gaussian blur: separable, the vertical pass over the rows of the WorkRect
// and only the columns the horizontal pass reads.
#include <algorithm>
#include <cmath>
#include <vector>

#include "filters/FilterGuard.h"
#include "filters/LayerBand.h"
#include "filters/NeighbourFilters.h"
#include "filters/RecordBytes.h"
#include "filters/WorkRows.h"

namespace morvane {
namespace {

// The weights of a line of length n by distance from its middle (n div 2),
// in 16.16, and the radius past which they fall below 1 %.
struct GaussTable {
    std::vector<uint32_t> weight; // by distance + centre
    int32_t centre = 0, radius = 0;

    GaussTable(int32_t n, float sigma) : weight(size_t(n)), centre(n / 2)
    {
        std::vector<float> g(static_cast<size_t>(n));
        float sum = 0;
        for (int32_t k = 0; k < n; ++k) {
            const float d = float(k - centre);
            g[size_t(k)] = std::exp(-(d * d) / (2 * sigma * sigma));
            sum += g[size_t(k)];
        }
        for (int32_t k = 0; k < n; ++k) {
            const float v = g[size_t(k)] / sum;
            if (v >= 0.01f)
                radius = std::max(radius, std::abs(k - centre) + 1);
            weight[size_t(k)] = uint32_t(v * 65536.0f + 0.5f);
        }
    }
    // The weight >> 5 at a distance, 0 past the table.
    uint32_t At(int32_t d) const
    {
        const int32_t k = d + centre;
        return k >= 0 && k < int32_t(weight.size()) ? weight[size_t(k)] >> 5 : 0;
    }
};

// One output pixel from taps p(i) for i in [lo, hi], weighted by w(i - at):
// colours by A * w, alpha the plain mean; the fallback when no tap weighs.
template <class Pixel>
uint32_t GaussTaps(const GaussTable& t, int32_t at, int32_t lo, int32_t hi, Pixel p, uint32_t fallback)
{
    uint64_t s[3] = {}, sa = 0, sumA = 0, n = 0;
    for (int32_t i = lo; i <= hi; ++i) {
        const uint32_t v = p(i);
        const uint64_t a = uint64_t(v >> 24) * t.At(i - at);
        s[0] += a * (v & 0xFF), s[1] += a * ((v >> 8) & 0xFF), s[2] += a * ((v >> 16) & 0xFF);
        sa += a, sumA += v >> 24, ++n;
    }
    if (sa == 0 || n == 0)
        return fallback;
    return uint32_t(s[0] / sa) | uint32_t(s[1] / sa) << 8 | uint32_t(s[2] / sa) << 16 | uint32_t(sumA / n) << 24;
}

} // namespace

FilterResult GaussianBlurFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 8))
        return FilterResult::Refused;
    const float sigma = RecordF32(r.bytes, 0);
    if (!(sigma > 0) || !std::isfinite(sigma))
        return FilterResult::Declined;
    return Guarded([&] {
        const int32_t w = c.target->Width, h = c.target->Height;
        const GaussTable across(w, sigma), down(h, sigma);
        LayerBand source;
        if (!source.LoadAround(c, across.radius, down.radius))
            return false;
        // The vertical pass: rows of the WorkRect, columns the horizontal pass reads.
        const int32_t left = std::max(0, c.work.left - across.radius), right = std::min(w, c.work.right + across.radius);
        LayerBand scratch;
        if (!scratch.Load(c, {left, c.work.top, right, c.work.bottom}))
            return false;
        for (int32_t y = c.work.top; y < c.work.bottom; ++y) {
            const int32_t lo = std::max(0, y - down.radius), hi = std::min(h - 1, y + down.radius);
            uint32_t* row = scratch.Row(y);
            for (int32_t x = left; x < right; ++x)
                row[x] = GaussTaps(down, y, lo, hi, [&](int32_t i) { return source.Row(i)[x]; }, row[x]);
        }
        return EachWorkRow(c, c.protect ? PassWrite::Colour : PassWrite::Pixel,
                           [&](int32_t y, const uint8_t* cover, uint32_t* out) {
                               const uint32_t* row = scratch.Row(y);
                               for (int32_t x = c.work.left; x < c.work.right; ++x)
                                   if (cover[x - c.work.left])
                                       out[x - c.work.left] = GaussTaps(
                                           across, x, std::max(left, x - across.radius),
                                           std::min(right - 1, x + across.radius),
                                           [&](int32_t i) { return row[i]; }, row[x]);
                           });
    });
}

} // namespace morvane
