#include "paint/CompatBlur2.h"

#include <algorithm>

#include "paint/CompatStamps.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
constexpr int32_t kSpan = CPenRender::kChainSpan;
// The blur reads (tile + 2L)^2 terms; tiles keep that small for any rectangle.
constexpr int32_t kTile = 128;
// Coverage of a full-pressure dab (32) blends the blur in whole.
constexpr uint32_t kCoverageGain = 8;
} // namespace

int32_t Blur2Reach(float radius, float effect1)
{
    return std::max(1, truncSat(radius * effect1 / 100.0f));
}

bool RebuildBlur2(TFlowImage& flow, const EdgeRect& rect, const CBlockVMTC& store, int32_t L,
                  const CPenRender& render, BlurScratch& scratch)
{
    TMTC& image = flow.Image();
    const TChannel& coverage = flow.Coverage();
    EdgeRect r;
    if (!flow.IsLoaded() || !Intersect(rect, image.Bounds(), r) ||
        !Intersect(r, {0, 0, store.Width, store.Height}, r) ||
        !store.CopyOut(image, {r.left, r.top}, false, 255, ToExtent(r)))
        return false;
    const bool protect = render.NormalPlot() == Plot::Keep;
    const Plot plot = protect ? Plot::Keep : Plot::Mix;
    uint8_t alpha[kSpan];
    uint32_t colours[kSpan];
    for (int32_t top = r.top; top < r.bottom; top += kTile)
        for (int32_t left = r.left; left < r.right; left += kTile) {
            const EdgeRect tile{left, top, std::min(left + kTile, r.right), std::min(top + kTile, r.bottom)};
            const bool ok = ForEachBoxBlurRow(store, tile, L, protect, scratch, [&](int32_t y, const uint32_t* sums) {
                const int32_t n = tile.right - tile.left; // kTile <= kSpan
                const uint8_t* c = coverage.PixelPtr(tile.left, y);
                uint32_t any = 0;
                for (int32_t i = 0; i < n; ++i) {
                    alpha[i] = uint8_t(std::min<uint32_t>(255, c[i] * kCoverageGain));
                    if (alpha[i] != 0 && !penstamp::BoxColour(sums + 4 * i, L, protect, colours[i]))
                        alpha[i] = 0;
                    any |= alpha[i];
                }
                if (any != 0)
                    render.WriteRow(image, tile.left, y, n, alpha, colours, plot);
            });
            if (!ok)
                return false;
        }
    return true;
}

} // namespace morvane
