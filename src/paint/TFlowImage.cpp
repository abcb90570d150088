#include "paint/TFlowImage.h"

#include <algorithm>

#include "paint/PaintHooks.h"
#include "paint/TStroke.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"
#include "storage/SizeLimits.h"

namespace morvane {

uint8_t PencilOpacity(const TStroke& stroke, bool oldestEngine)
{
    if (oldestEngine)
        return 255;
    return uint8_t(std::clamp(truncSat(stroke.Opacity() * 255.0f), 0, 255));
}

bool TFlowImage::Holds(int32_t width, int32_t height) const
{
    return image_.IsValid() && coverage_.IsValid() && image_.Width >= width && image_.Height >= height &&
           coverage_.Width >= width && coverage_.Height >= height;
}

bool TFlowImage::ResizeBoth(int32_t width, int32_t height)
{
    // The old buffers go before the new ones come, so a failure leaves
    // nothing behind that could pass for a copy. No store is larger than a
    // flat image may be.
    if (IsImageSizeAllowed(width, height) && image_.Resize(width, height) && coverage_.Resize(width, height))
        return true;
    Drop();
    return false;
}

void TFlowImage::Drop()
{
    image_.Release();
    coverage_.Release();
    loaded_ = false;
    layer_ = -1;
}

bool TFlowImage::LoadLayer(const SFlowLayer& layer, bool force, TStroke* stroke, bool* copied)
{
    if (copied)
        *copied = false;
    const CBlockVMTC* store = layer.store;
    if (!store || !store->IsValid()) {
        loaded_ = false;
        return false;
    }
    const bool grow = !Holds(store->Width, store->Height);
    if (grow && !ResizeBoth(std::max(store->Width, image_.Width), std::max(store->Height, image_.Height)))
        return false;
    if (grow || force || layer_ != layer.index || !loaded_) {
        loaded_ = false;
        if (!store->CopyOut(image_, {0, 0}, false, 255, {0, 0, store->Width, store->Height}))
            return false;
        coverage_.FillAll(0);
        loaded_ = true;
        layer_ = layer.index;
        if (copied)
            *copied = true;
    }
    bounds_ = {layer.origin.x, layer.origin.y, picture_.x, picture_.y};
    if (stroke)
        stroke->layerIndex = layer.index;
    return true;
}

bool TFlowImage::FitToDocument(int32_t width, int32_t height, bool keepLarger)
{
    if (!IsPictureSizeAllowed(width, height))
        return false;
    picture_ = {width, height};
    const int32_t w = keepLarger ? std::max(width, image_.Width) : width;
    const int32_t h = keepLarger ? std::max(height, image_.Height) : height;
    const bool same = image_.IsValid() && coverage_.IsValid() && image_.Width == w && image_.Height == h &&
                      coverage_.Width == w && coverage_.Height == h;
    if (same)
        return true;
    if (!ResizeBoth(w, h))
        return false;
    image_.FillAll(kWhite);
    coverage_.FillAll(0);
    loaded_ = false;
    bounds_ = {0, 0, width, height};
    return true;
}

bool TFlowImage::RebuildPencil(const ExtentRect& rect, const CBlockVMTC& store, const SPencilRebuild& how)
{
    EdgeRect r;
    if (!loaded_ || !how.chain || !Intersect(ToEdge(rect), image_.Bounds(), r) ||
        !Intersect(r, {0, 0, store.Width, store.Height}, r) ||
        !store.CopyOut(image_, {r.left, r.top}, false, 255, ToExtent(r)))
        return false;
    constexpr int32_t kSpan = RowChain::kRowSpan;
    uint8_t alpha[kSpan];
    uint32_t colours[kSpan];
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; x += kSpan) {
            const int32_t n = std::min(kSpan, r.right - x);
            const uint8_t* c = coverage_.PixelPtr(x, y);
            uint32_t any = 0;
            for (int32_t i = 0; i < n; ++i) {
                alpha[i] = uint8_t(MulDiv255(c[i], how.opacity));
                any |= alpha[i];
            }
            if (any == 0)
                continue;
            if (!how.gradation) {
                how.chain->ChainRow(image_, x, y, n, alpha, how.colour);
                continue;
            }
            how.gradation->Row(x, y, n, colours);
            for (int32_t i = 0; i < n; ++i)
                alpha[i] = uint8_t(MulDiv255(alpha[i], colours[i] >> 24));
            how.chain->WriteRow(image_, x, y, n, alpha, colours);
        }
    return true;
}

bool TFlowImage::CommitRegion(const ExtentRect& rect, int32_t layerIndex, CBlockVMTC& store) const
{
    if (!loaded_ || layerIndex != layer_)
        return false;
    return store.CopyIn(image_, {rect.left, rect.top}, 255, rect);
}

void TFlowImage::ClearCoverage(const ExtentRect& rect)
{
    if (coverage_.IsValid())
        coverage_.FillRect(rect, 0);
}

} // namespace morvane
