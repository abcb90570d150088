// Noise and diffuse: numbers drawn for every pixel of the bounds in raster
// order, whether processed or not, so that a pane shows what the full run
// gives there. The draws above and beside the WorkRect are skipped in one
// jump of the generator instead of being stepped.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "filters/BoxSample.h"
#include "filters/FilterGuard.h"
#include "filters/FilterRandom.h"
#include "filters/LayerBand.h"
#include "filters/NeighbourFilters.h"
#include "filters/RecordBytes.h"
#include "filters/WorkRows.h"

namespace morvane {
namespace {

// Keeps the generator at the first draw of a WorkRect row: rows the walk
// skips (no coverage) and the columns outside the WorkRect are jumped over.
class RasterDraws {
public:
    RasterDraws(const FilterContext& c, uint32_t seed, uint32_t perPixel)
        : random_(seed), c_(c), perPixel_(perPixel), next_(c.bounds.top)
    {
    }
    FilterRandom& StartRow(int32_t y)
    {
        const uint64_t width = uint64_t(c_.bounds.right - c_.bounds.left);
        random_.Skip((uint64_t(y - next_) * width + uint64_t(c_.work.left - c_.bounds.left)) * perPixel_);
        next_ = y + 1;
        return random_;
    }
    void EndRow() { random_.Skip(uint64_t(c_.bounds.right - c_.work.right) * perPixel_); }

private:
    FilterRandom random_;
    const FilterContext& c_;
    uint32_t perPixel_;
    int32_t next_;
};

uint32_t Combine(uint32_t picked, uint32_t own, int32_t mode)
{
    if (mode == 0)
        return picked;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t a = (picked >> shift) & 0xFF, b = (own >> shift) & 0xFF;
        out |= (mode == 1 ? std::min(a, b) : std::max(a, b)) << shift;
    }
    return out;
}

} // namespace

FilterResult NoiseFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 16))
        return FilterResult::Refused;
    const int32_t amount = std::clamp(RecordI32(r.bytes, 0), 0, 512);
    const bool grey = RecordI32(r.bytes, 4) != 0;
    const uint32_t n = uint32_t(2 * amount);
    return Guarded([&] {
        LayerBand band;
        if (!band.Load(c, c.work))
            return false;
        RasterDraws draws(c, RecordU32(r.bytes, 8), grey ? 1 : 3);
        return EachWorkRow(c, PassWrite::Colour, [&](int32_t y, const uint8_t*, uint32_t* out) {
            FilterRandom& random = draws.StartRow(y);
            const uint32_t* row = band.Row(y);
            for (int32_t x = c.work.left; x < c.work.right; ++x) {
                int32_t d[3];
                d[2] = int32_t(random.Below(n)) - amount; // red first
                d[1] = grey ? d[2] : int32_t(random.Below(n)) - amount;
                d[0] = grey ? d[2] : int32_t(random.Below(n)) - amount;
                const uint32_t v = row[x];
                uint32_t o = v & 0xFF000000u;
                for (int ch = 0; ch < 3; ++ch)
                    o |= uint32_t(std::clamp(int32_t((v >> (8 * ch)) & 0xFF) + d[ch], 0, 255)) << (8 * ch);
                out[x - c.work.left] = o;
            }
            draws.EndRow();
        });
    });
}

FilterResult DiffuseFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 16))
        return FilterResult::Refused;
    const int32_t range = std::clamp(RecordI32(r.bytes, 0), 1, 255), mode = RecordI32(r.bytes, 4);
    const bool radial = r.bytes[12] != 0;
    if (mode < 0 || mode > 2)
        return FilterResult::Refused;
    // Recorded on a layer protected otherwise: nothing it did would match.
    if ((r.bytes[14] != 0) != c.protect)
        return FilterResult::Declined;
    std::array<double, 360> cosines{}, sines{};
    for (int i = 0; i < 360; ++i) {
        const double a = i * std::numbers::pi / 180.0;
        cosines[size_t(i)] = std::cos(a), sines[size_t(i)] = std::sin(a);
    }
    const int32_t w = c.target->Width, h = c.target->Height;
    return Guarded([&] {
        LayerBand band;
        if (!band.LoadAround(c, range + 2, range + 2))
            return false;
        BoxSampler box(band);
        RasterDraws draws(c, RecordU32(r.bytes, 8), 2);
        const uint32_t n = uint32_t(2 * range + 1), distances = uint32_t(range) * 65536u + 1u;
        return EachWorkRow(c, c.protect ? PassWrite::Colour : PassWrite::Pixel,
                           [&](int32_t y, const uint8_t*, uint32_t* out) {
                               FilterRandom& random = draws.StartRow(y);
                               for (int32_t x = c.work.left; x < c.work.right; ++x) {
                                   uint32_t picked;
                                   if (radial) {
                                       const uint32_t d = random.Below(distances);
                                       const size_t angle = random.Below(360);
                                       picked = box.AroundInside(
                                           int64_t(x) * 65536 + 32768 + int64_t(cosines[angle] * d),
                                           int64_t(y) * 65536 + 32768 + int64_t(sines[angle] * d));
                                   } else {
                                       const int32_t px = x + int32_t(random.Below(n)) - range;
                                       const int32_t py = y + int32_t(random.Below(n)) - range;
                                       picked = band.At(std::clamp(px, 0, w - 1), std::clamp(py, 0, h - 1));
                                   }
                                   out[x - c.work.left] = Combine(picked, band.Row(y)[x], mode);
                               }
                               draws.EndRow();
                           });
    });
}

} // namespace morvane
