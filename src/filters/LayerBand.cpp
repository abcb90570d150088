#include "filters/LayerBand.h"

#include <algorithm>
#include <cstring>

#include "storage/CBlockVMTC.h"

namespace morvane {

bool LayerBand::Load(const FilterContext& c, const EdgeRect& rect)
{
    layerW_ = c.backup->Width, layerH_ = c.backup->Height;
    if (!Intersect(rect, {0, 0, layerW_, layerH_}, rect_))
        return false;
    if (!image_.Resize(rect_.right - rect_.left, rect_.bottom - rect_.top))
        return false;
    return c.backup->CopyOut(image_, {0, 0}, false, 255, ToExtent(rect_));
}

bool LayerBand::LoadAround(const FilterContext& c, int32_t mx, int32_t my)
{
    const EdgeRect& w = c.work;
    return Load(c, {w.left - mx, w.top - my, w.right + mx, w.bottom + my});
}

bool LayerBand::LoadPadded(const FilterContext& c, int32_t mx, int32_t my)
{
    layerW_ = c.backup->Width, layerH_ = c.backup->Height;
    const EdgeRect& w = c.work;
    rect_ = {w.left - mx, w.top - my, w.right + mx, w.bottom + my};
    EdgeRect inside;
    if (!Intersect(rect_, {0, 0, layerW_, layerH_}, inside) ||
        !image_.Resize(rect_.right - rect_.left, rect_.bottom - rect_.top) ||
        !c.backup->CopyOut(image_, {inside.left - rect_.left, inside.top - rect_.top}, false, 255, ToExtent(inside)))
        return false;
    for (int32_t y = inside.top; y < inside.bottom; ++y) {
        uint32_t* row = Row(y);
        std::fill(row + rect_.left, row + inside.left, row[inside.left]);
        std::fill(row + inside.right, row + rect_.right, row[inside.right - 1]);
    }
    const size_t bytes = size_t(rect_.right - rect_.left) * 4;
    for (int32_t y = rect_.top; y < inside.top; ++y)
        std::memcpy(Row(y) + rect_.left, Row(inside.top) + rect_.left, bytes);
    for (int32_t y = inside.bottom; y < rect_.bottom; ++y)
        std::memcpy(Row(y) + rect_.left, Row(inside.bottom - 1) + rect_.left, bytes);
    return true;
}

uint32_t LayerBand::At(int32_t x, int32_t y) const
{
    x = std::clamp(x, rect_.left, rect_.right - 1);
    y = std::clamp(y, rect_.top, rect_.bottom - 1);
    return image_.Row(y - rect_.top)[x - rect_.left];
}

} // namespace morvane
