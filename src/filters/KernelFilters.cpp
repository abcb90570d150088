// The fixed convolutions: blurs, sharpens, custom sharpen, find edges and
// the custom 5 x 5, over a band whose outside repeats the layer's edge.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "filters/FilterGuard.h"
#include "filters/LayerBand.h"
#include "filters/NeighbourFilters.h"
#include "filters/RecordBytes.h"
#include "filters/WorkRows.h"

namespace morvane {
namespace {

struct Tap {
    int32_t dx, dy, k;
};

// A square kernel of side n centred on the pixel, as its non-zero taps (the
// trim to the non-zero box is implied: zero weights are never visited).
std::vector<Tap> TapsOf(const int32_t* weights, int32_t n)
{
    std::vector<Tap> taps;
    for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i)
            if (const int32_t k = weights[j * n + i]; k != 0)
                taps.push_back({i - n / 2, j - n / 2, k});
    return taps;
}

int32_t Reach(const std::vector<Tap>& taps)
{
    int32_t reach = 0;
    for (const Tap& t : taps)
        reach = std::max({reach, std::abs(t.dx), std::abs(t.dy)});
    return reach;
}

uint32_t ClampByte(int64_t v) { return uint32_t(std::clamp<int64_t>(v, 0, 255)); }

// Alpha-weighted sums: colours by k * A, alpha by W / K.
uint32_t Convolve(const LayerBand& band, const std::vector<Tap>& taps, int32_t x, int32_t y)
{
    int64_t w = 0, k = 0, s[3] = {};
    for (const Tap& t : taps) {
        const uint32_t p = band.Row(y + t.dy)[x + t.dx];
        const int64_t ka = int64_t(t.k) * (p >> 24);
        w += ka, k += t.k;
        s[0] += ka * (p & 0xFF), s[1] += ka * ((p >> 8) & 0xFF), s[2] += ka * ((p >> 16) & 0xFF);
    }
    if (w == 0 || k == 0)
        return band.Row(y)[x];
    return ClampByte(s[0] / w) | ClampByte(s[1] / w) << 8 | ClampByte(s[2] / w) << 16 | ClampByte(w / k) << 24;
}

FilterResult KernelPass(const FilterContext& c, const FilterRecord& r, size_t size, const int32_t* weights,
                        int32_t n)
{
    if (!Usable(c, r, size))
        return FilterResult::Refused;
    const std::vector<Tap> taps = TapsOf(weights, n);
    if (taps.empty())
        return FilterResult::Declined;
    return Guarded([&] {
        LayerBand band;
        const int32_t reach = Reach(taps);
        if (!band.LoadPadded(c, reach, reach))
            return false;
        return EachWorkRow(c, c.protect ? PassWrite::Colour : PassWrite::Pixel,
                           [&](int32_t y, const uint8_t* cover, uint32_t* out) {
                               for (int32_t x = c.work.left; x < c.work.right; ++x)
                                   if (cover[x - c.work.left])
                                       out[x - c.work.left] = Convolve(band, taps, x, y);
                           });
    });
}

constexpr int32_t kBlur[9] = {0, 1, 0, 1, 4, 1, 0, 1, 0};
constexpr int32_t kStrongBlur[9] = {1, 2, 1, 2, 2, 2, 1, 2, 1};
constexpr int32_t kEarlierBlur[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
constexpr int32_t kSharpen[9] = {0, -1, 0, -1, 8, -1, 0, -1, 0};
constexpr int32_t kStrongSharpen[9] = {-1, -1, -1, -1, 12, -1, -1, -1, -1};

// Per colour byte: 255 - (sum of 2 |p - q| over the diagonal neighbours and
// 3 |p - q| over the edge neighbours) div 5.
uint32_t EdgeStrength(const LayerBand& band, int32_t x, int32_t y)
{
    const uint32_t p = band.Row(y)[x];
    int32_t d[3] = {};
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0)
                continue;
            const uint32_t q = band.Row(y + dy)[x + dx];
            const int32_t weight = dx != 0 && dy != 0 ? 2 : 3;
            for (int ch = 0; ch < 3; ++ch)
                d[ch] += weight * std::abs(int32_t((p >> (8 * ch)) & 0xFF) - int32_t((q >> (8 * ch)) & 0xFF));
        }
    return ClampByte(255 - d[0] / 5) | ClampByte(255 - d[1] / 5) << 8 | ClampByte(255 - d[2] / 5) << 16;
}

} // namespace

FilterResult BlurFilter(const FilterContext& c, const FilterRecord& r) { return KernelPass(c, r, 0, kBlur, 3); }
FilterResult StrongBlurFilter(const FilterContext& c, const FilterRecord& r)
{
    return KernelPass(c, r, 0, kStrongBlur, 3);
}
FilterResult EarlierBlurFilter(const FilterContext& c, const FilterRecord& r)
{
    return KernelPass(c, r, 0, kEarlierBlur, 3);
}
FilterResult EarlierStrongBlurFilter(const FilterContext& c, const FilterRecord& r)
{
    int32_t ones[25];
    std::fill(std::begin(ones), std::end(ones), 1);
    return KernelPass(c, r, 0, ones, 5);
}
FilterResult SharpenFilter(const FilterContext& c, const FilterRecord& r)
{
    return KernelPass(c, r, 0, kSharpen, 3);
}
FilterResult StrongSharpenFilter(const FilterContext& c, const FilterRecord& r)
{
    return KernelPass(c, r, 0, kStrongSharpen, 3);
}

int32_t CustomSharpenWeight(float amount)
{
    const double k = std::pow(std::pow(240.0, 1.5) * double(amount) + 0.5, 2.0 / 3.0);
    return int32_t(std::clamp(k, 0.0, 240.0));
}

FilterResult CustomSharpenFilter(const FilterContext& c, const FilterRecord& r)
{
    if (r.bytes.size() != 8)
        return FilterResult::Refused;
    const int32_t k = CustomSharpenWeight(RecordF32(r.bytes, 0));
    const int32_t weights[9] = {0, -k, 0, -k, 999, -k, 0, -k, 0};
    return KernelPass(c, r, 8, weights, 3);
}

FilterResult FindEdgesFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 0))
        return FilterResult::Refused;
    return Guarded([&] {
        LayerBand band;
        if (!band.LoadPadded(c, 1, 1))
            return false;
        return EachWorkRow(c, PassWrite::Colour, [&](int32_t y, const uint8_t* cover, uint32_t* out) {
            for (int32_t x = c.work.left; x < c.work.right; ++x)
                if (cover[x - c.work.left])
                    out[x - c.work.left] = EdgeStrength(band, x, y);
        });
    });
}

FilterResult Custom55Filter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 108))
        return FilterResult::Refused;
    int32_t weights[25];
    for (int i = 0; i < 25; ++i)
        weights[i] = RecordI32(r.bytes, size_t(4 * i));
    const int64_t divisor = RecordI32(r.bytes, 100), offset = RecordI32(r.bytes, 104);
    const std::vector<Tap> taps = TapsOf(weights, 5);
    if (divisor == 0)
        return FilterResult::Declined;
    return Guarded([&] {
        LayerBand band;
        if (!band.LoadPadded(c, 2, 2))
            return false;
        return EachWorkRow(c, PassWrite::Colour, [&](int32_t y, const uint8_t* cover, uint32_t* out) {
            for (int32_t x = c.work.left; x < c.work.right; ++x) {
                if (!cover[x - c.work.left])
                    continue;
                // 64-bit: 25 weights of 2^31 times 255 pass 32 bits.
                int64_t s[3] = {};
                for (const Tap& t : taps) {
                    const uint32_t p = band.Row(y + t.dy)[x + t.dx];
                    s[0] += int64_t(t.k) * (p & 0xFF), s[1] += int64_t(t.k) * ((p >> 8) & 0xFF);
                    s[2] += int64_t(t.k) * ((p >> 16) & 0xFF);
                }
                out[x - c.work.left] = ClampByte(offset + s[0] / divisor) | ClampByte(offset + s[1] / divisor) << 8 |
                                       ClampByte(offset + s[2] / divisor) << 16;
            }
        });
    });
}

} // namespace morvane
