#include "document/CMaskModifier.h"

#include <algorithm>
#include <climits>

namespace morvane {

namespace {
int32_t Saturated(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
} // namespace

void CMaskModifier::Aim(const CMaskData& mask, Point origin)
{
    mask_ = &mask;
    origin_ = origin;
}

EdgeRect CMaskModifier::Extent() const
{
    if (!mask_)
        return {};
    const EdgeRect r = mask_->Rect();
    return {Saturated(int64_t(r.left) + origin_.x), Saturated(int64_t(r.top) + origin_.y),
            Saturated(int64_t(r.right) + origin_.x), Saturated(int64_t(r.bottom) + origin_.y)};
}

void CMaskModifier::Row(int32_t x, int32_t y, int32_t count, uint8_t* out) const
{
    mask_->ReadRow(Saturated(int64_t(y) - origin_.y), Saturated(int64_t(x) - origin_.x), count, out);
}

} // namespace morvane
