// Mosaic and emboss: a pixel from a cell of the layer, or from two box
// samples a height apart.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "filters/BoxSample.h"
#include "filters/FilterGuard.h"
#include "filters/LayerBand.h"
#include "filters/NeighbourFilters.h"
#include "filters/RecordBytes.h"
#include "filters/WorkRows.h"

namespace morvane {
namespace {

// A cell's colour: per row the alpha-weighted mean colour, averaged over
// the rows that have alpha (a half-transparent cell keeps its full colour),
// and the mean alpha over the whole cell.
uint32_t CellColour(const LayerBand& band, const EdgeRect& cell)
{
    float total[3] = {};
    uint64_t alpha = 0;
    int32_t rows = 0;
    for (int32_t y = cell.top; y < cell.bottom; ++y) {
        const uint32_t* row = band.Row(y);
        uint64_t sa = 0, s[3] = {};
        for (int32_t x = cell.left; x < cell.right; ++x) {
            const uint32_t v = row[x], a = v >> 24;
            sa += a, s[0] += a * (v & 0xFF), s[1] += a * ((v >> 8) & 0xFF), s[2] += a * ((v >> 16) & 0xFF);
        }
        if (sa == 0)
            continue;
        for (int ch = 0; ch < 3; ++ch)
            total[ch] += float(s[ch]) / float(sa);
        alpha += sa, ++rows;
    }
    if (alpha == 0)
        return 0;
    const uint64_t area = uint64_t(cell.right - cell.left) * uint64_t(cell.bottom - cell.top);
    uint32_t out = uint32_t(std::min<uint64_t>(alpha / area, 255)) << 24;
    for (int ch = 0; ch < 3; ++ch)
        out |= uint32_t(std::clamp(int32_t(total[ch] / float(rows)), 0, 255)) << (8 * ch);
    return out;
}

int32_t FloorTo(int32_t v, int32_t b) { return v / b * b; } // v >= 0

} // namespace

FilterResult MosaicFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 8))
        return FilterResult::Refused;
    const int32_t b = std::clamp(RecordI32(r.bytes, 0), 2, 255);
    const bool protect = RecordI32(r.bytes, 4) != 0 || c.protect;
    const EdgeRect& bounds = c.bounds;
    const int32_t w = c.target->Width, h = c.target->Height;
    // The far edge of the cell starting at v: the next multiple, the bounds'
    // edge if nearer, at least b, never past the layer.
    auto far = [b](int32_t v, int32_t boundsEnd, int32_t size) {
        return std::min(std::max(std::min(v + b, boundsEnd), b), size);
    };
    return Guarded([&] {
        // Every cell the WorkRect meets, whole.
        const int32_t top = FloorTo(c.work.top, b), left = FloorTo(c.work.left, b);
        LayerBand band;
        if (!band.Load(c, {left, top, far(FloorTo(c.work.right - 1, b), bounds.right, w),
                           far(FloorTo(c.work.bottom - 1, b), bounds.bottom, h)}))
            return false;
        std::vector<uint32_t> colours;
        int32_t cellTop = -1;
        return EachWorkRow(c, protect ? PassWrite::Colour : PassWrite::Pixel,
                           [&](int32_t y, const uint8_t*, uint32_t* out) {
                               const int32_t ct = FloorTo(y, b);
                               if (ct != cellTop) {
                                   cellTop = ct;
                                   colours.clear();
                                   for (int32_t cl = left; cl < c.work.right; cl += b)
                                       colours.push_back(CellColour(
                                           band, {cl, ct, far(cl, bounds.right, w), far(ct, bounds.bottom, h)}));
                               }
                               for (int32_t x = c.work.left; x < c.work.right; ++x)
                                   out[x - c.work.left] = colours[size_t((x - left) / b)];
                           });
    });
}

FilterResult EmbossFilter(const FilterContext& c, const FilterRecord& r)
{
    if (!Usable(c, r, 16))
        return FilterResult::Refused;
    const int32_t angle = RecordI32(r.bytes, 0), amount = std::clamp(RecordI32(r.bytes, 8), 1, 500);
    const float height = RecordF32(r.bytes, 4);
    if (!std::isfinite(height))
        return FilterResult::Refused;
    int64_t offX[2], offY[2];
    for (int i = 0; i < 2; ++i) {
        const float rad = float((angle + 180 * i) % 360) * std::numbers::pi_v<float> / 180.0f;
        offX[i] = std::llround(double(std::cos(rad) * height / 2 * 65536.0f)) + 32768;
        offY[i] = std::llround(double(std::sin(rad) * height / 2 * 65536.0f)) + 32768;
    }
    const int32_t reach = int32_t(std::ceil(std::abs(height) / 2)) + 2;
    return Guarded([&] {
        LayerBand band;
        if (!band.LoadAround(c, reach, reach))
            return false;
        BoxSampler box(band);
        return EachWorkRow(c, PassWrite::Colour, [&](int32_t y, const uint8_t* cover, uint32_t* out) {
            for (int32_t x = c.work.left; x < c.work.right; ++x) {
                if (!cover[x - c.work.left])
                    continue;
                const int64_t px = int64_t(x) * 65536, py = int64_t(y) * 65536;
                const uint32_t s1 = box.Around(px + offX[0], py + offY[0]), s2 = box.Around(px + offX[1], py + offY[1]);
                uint32_t o = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    const double d = double(int32_t((s1 >> shift) & 0xFF) - int32_t((s2 >> shift) & 0xFF));
                    o |= uint32_t(std::clamp(std::trunc(d * amount / 100 + 127.5), 0.0, 255.0)) << shift;
                }
                out[x - c.work.left] = o;
            }
        });
    });
}

} // namespace morvane
