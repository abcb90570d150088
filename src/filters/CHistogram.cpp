#include "filters/CHistogram.h"

#include <algorithm>
#include <vector>

#include "filters/ToneTable.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

void CHistogram::Gather(const CBlockVMTC& store, const EdgeRect& bounds, const CoverageRows* coverage)
{
    bins_ = {};
    EdgeRect r;
    if (!store.IsValid() || !Intersect(bounds, {0, 0, store.Width, store.Height}, r))
        return;
    const int32_t w = r.right - r.left;
    std::vector<uint32_t> row(size_t(w), 0);
    std::vector<uint8_t> cover(size_t(w), 255);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        for (int32_t x = 0; x < w; ++x)
            row[size_t(x)] = store.GetPixel(r.left + x, y);
        if (coverage)
            coverage->Row(r.left, y, w, cover.data());
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = row[size_t(x)], weight = cover[size_t(x)] * (v >> 24);
            if (weight == 0)
                continue;
            const double add = weight / 65025.0;
            bins_[Red].weight[(v >> 16) & 0xFF] += add;
            bins_[Green].weight[(v >> 8) & 0xFF] += add;
            bins_[Blue].weight[v & 0xFF] += add;
            bins_[Luma].weight[Luminance(v)] += add;
        }
    }
    for (Bins& b : bins_)
        for (int32_t i = 0; i < 256; ++i) {
            const double v = b.weight[size_t(i)];
            if (v <= 0)
                continue;
            b.total += v;
            b.largest = std::max(b.largest, v);
            ++b.filled;
            b.lowest = std::min(b.lowest, i);
            b.highest = std::max(b.highest, i);
        }
}

int32_t CHistogram::ColumnHeight(Channel c, int32_t level) const
{
    const Bins& b = bins_[c];
    if (b.filled == 0 || level < 0 || level > 255)
        return 0;
    const double scale = std::min(4.0 * b.total / b.filled, b.largest);
    return std::min(100, int32_t(100.0 * b.weight[size_t(level)] / scale));
}

} // namespace morvane
