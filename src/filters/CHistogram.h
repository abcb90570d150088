#pragma once
// The levels of a layer within the processing bounds: red, green, blue by
// their byte and luminance, each pixel weighted by coverage x alpha / 65025
// so that what the selection or transparency hides counts for less.
#include <array>
#include <cstdint>

#include "filters/FilterContext.h"

namespace morvane {

class CHistogram {
public:
    enum Channel : uint8_t { Red, Green, Blue, Luma };
    struct Bins {
        std::array<double, 256> weight{};
        double largest = 0, total = 0;
        int32_t filled = 0;
        // 255 and 0 when nothing was counted.
        int32_t lowest = 255, highest = 0;
    };

    // Over bounds of the store as it stands, through the context's coverage.
    void Gather(const CBlockVMTC& store, const EdgeRect& bounds, const CoverageRows* coverage);
    const Bins& Of(Channel c) const { return bins_[c]; }
    // The height (0..100) of a column drawn for the level.
    int32_t ColumnHeight(Channel c, int32_t level) const;

private:
    std::array<Bins, 4> bins_{};
};

} // namespace morvane
