#include "filters/WorkRows.h"

#include "filters/FilterWrites.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

bool WriteTargetRow(CBlockVMTC& target, int32_t x, int32_t y, int32_t n, const uint32_t* values,
                    const uint8_t* cover, PassWrite write)
{
    return target.ForEachBlockInRect({x, y, n, 1}, [&](SPiece& p) {
        if (!p.block->Committed() && !target.CommitBlock(*p.block))
            return false;
        uint32_t* row = target.RowIn<uint32_t>(*p.block, p.lx, p.ly);
        const int32_t at = p.x - x;
        if (write == PassWrite::Colour)
            WriteColourRow(row, values + at, cover ? cover + at : nullptr, p.w);
        else
            WritePixelRow(row, values + at, cover ? cover + at : nullptr, p.w);
        return true;
    });
}

} // namespace morvane
