#include "storage/BlockViews.h"

#include "storage/CBlockImage.h"

namespace morvane {

namespace {
void PointAt(CDibCore& view, const SBlock& block, int32_t side, int64_t* rowOffsets)
{
    view.Width = view.Height = side;
    view.Bits = block.Data;
    view.RowOffsets = rowOffsets;
}
} // namespace

TVMTC::TVMTC(const SBlock& block, int32_t side, int64_t* rowOffsets) : Block(block)
{
    PointAt(*this, block, side, rowOffsets);
}

TVChannel::TVChannel(const SBlock& block, int32_t side, int64_t* rowOffsets) : Block(block)
{
    PointAt(*this, block, side, rowOffsets);
}

} // namespace morvane
