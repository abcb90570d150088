#pragma once
// The walk of the neighbourhood routines: the WorkRect row by row, the
// selection's coverage of the row, the new value of each covered pixel
// from the routine, and the row written through WriteColour or WritePixel.
// Routines read the layer from a LayerBand, never from the target, so the
// order of the rows does not matter.
#include <cstdint>
#include <vector>

#include "filters/FilterContext.h"
#include "filters/PixelPass.h"

namespace morvane {

// n pixels of row y from x through the coverage (null: all 255).
bool WriteTargetRow(CBlockVMTC& target, int32_t x, int32_t y, int32_t n, const uint32_t* values,
                    const uint8_t* cover, PassWrite write);

// row(y, cover, out) fills out[i] for the pixels of row y whose cover[i] is
// not zero (cover is never null here); rows with no coverage are skipped.
template <class RowFn>
bool EachWorkRow(const FilterContext& c, PassWrite write, RowFn row)
{
    const int32_t n = c.work.right - c.work.left;
    std::vector<uint8_t> cover(size_t(n), 255);
    std::vector<uint32_t> out(size_t(n), 0);
    for (int32_t y = c.work.top; y < c.work.bottom; ++y) {
        if (c.coverage) {
            c.coverage->Row(c.work.left, y, n, cover.data());
            bool any = false;
            for (uint8_t v : cover)
                any = any || v != 0;
            if (!any)
                continue;
        }
        row(y, cover.data(), out.data());
        if (!WriteTargetRow(*c.target, c.work.left, y, n, out.data(), c.coverage ? cover.data() : nullptr, write))
            return false;
    }
    return true;
}

} // namespace morvane
