// The composite of the paper and the visible layers, the grid over it, and
// the flattening a transparent paper needs before it can be shown.
#include "document/TPaper.h"

#include <algorithm>

#include "document/LayerComposite.h"
#include "storage/BlendTables.h"
#include "storage/PixelWalk.h"

namespace morvane {

namespace {
constexpr uint32_t kCheckerLight = 0xFFE0E0E0u;
constexpr uint32_t kCheckerDark = 0xFFC8C8C8u;
constexpr int32_t kCheckerCell = 8;
constexpr int32_t kBandRows = 32;
// Flattened pixels come out opaque, so the screen shows them as they are.
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

void FlattenOverWhite(uint32_t& pixel)
{
    const uint32_t a = pixel >> 24;
    if (a == 255)
        return;
    uint32_t background = kOpaqueWhite;
    BlendColour(background, pixel, a);
    pixel = background;
}
} // namespace

void TPaper::RenderRect(const ExtentRect& rect, bool withGrid, const SWetLayer* wet)
{
    EdgeRect clipped;
    if (!composite_.IsValid() || !ClipToBuffer(rect, composite_.Width, composite_.Height, clipped))
        return;
    pictureChange_ = Union(pictureChange_, clipped);
    // Band by band, so the composite's rows stay in the cache while every
    // layer is blended into them; bands follow the stores' block rows.
    for (int32_t top = clipped.top; top < clipped.bottom;) {
        const int32_t bottom = std::min(clipped.bottom, (top / kBandRows + 1) * kBandRows);
        RenderBand({clipped.left, top, clipped.right - clipped.left, bottom - top}, withGrid, wet);
        top = bottom;
    }
}

void TPaper::RenderBand(const ExtentRect& r, bool withGrid, const SWetLayer* wet)
{
    const SWetLayer none;
    const SWetLayer& shown = wet ? *wet : none;
    if (OpaquePaper) {
        // The paper's colour bytes only: the composite's alpha is never read
        // on an opaque paper.
        composite_.SetMasked(r, 0x00FFFFFFu, PaperColour);
        CompositeStack(*layers_, composite_, r,
                       engineLevel_ == 0 ? EngineGeneration::Oldest : EngineGeneration::Current, shown);
    } else {
        composite_.FillRect(r, kWhitePaper);
        CompositeStackOver(*layers_, composite_, r, shown);
    }
    if (withGrid && GridOn)
        DrawGrid(r);
}

void TPaper::RenderAll(bool withGrid)
{
    RenderRect({0, 0, Width, Height}, withGrid);
    InvalidateWindow(false);
}

ExtentRect TPaper::TakePictureChange()
{
    const EdgeRect change = pictureChange_;
    pictureChange_ = {};
    return change.IsEmpty() ? ExtentRect{} : ToExtent(change);
}

void TPaper::DrawGrid(const ExtentRect& rect)
{
    const int32_t gx = std::max(GridX, kMinGrid), gy = std::max(GridY, kMinGrid);
    const uint32_t colour = GridColour;
    const uint32_t alpha = GridColour >> 24;
    const bool flatten = !OpaquePaper;
    // Each line pixel is blended once, where the lines cross too.
    auto mark = [&](uint32_t& pixel) {
        if (flatten)
            FlattenOverWhite(pixel);
        BlendColour(pixel, colour, alpha);
    };
    ForEachRowSpan(composite_, rect, [&](uint32_t* row, int32_t n, int32_t x0, int32_t y) {
        if (y % gy == 0) {
            for (int32_t i = 0; i < n; ++i)
                mark(row[i]);
            return;
        }
        for (int32_t i = (gx - x0 % gx) % gx; i < n; i += gx)
            mark(row[i]);
    });
}

bool TPaper::FlattenForDisplay(const ExtentRect& rect, TMTC& out) const
{
    EdgeRect clipped;
    if (!composite_.IsValid() || !out.IsValid() || !ClipToBuffer(rect, composite_.Width, composite_.Height, clipped))
        return false;
    const ExtentRect r = ToExtent(clipped);
    if (out.Width < r.width || out.Height < r.height || !out.CopyFrom(composite_, {0, 0}, r))
        return false;
    if (OpaquePaper)
        return true;
    const ExtentRect target{0, 0, r.width, r.height};
    if (!CheckerTransparency)
        return out.OverColour(target, kOpaqueWhite);
    // The cells stay where they are in the picture whichever part is shown.
    return out.OverChecker(target, kCheckerCell, kCheckerCell, kCheckerLight, kCheckerDark, {-r.left, -r.top});
}

} // namespace morvane
