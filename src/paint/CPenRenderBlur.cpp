// Blur: each dab pixel moves towards the box average of the layer as it was
// before the stroke, so a stroke never blurs its own result.
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>

#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/PenStampMath.h"
#include "paint/TStroke.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"
#include "storage/TMTC.h"

namespace morvane {

namespace penstamp {

uint32_t BoxTerm(uint32_t pixel, bool protect)
{
    if (protect)
        return pixel;
    const uint32_t a = pixel >> 24;
    return (a << 24) | (MulDiv255(a, (pixel >> 16) & 0xFF) << 16) | (MulDiv255(a, (pixel >> 8) & 0xFF) << 8) |
           MulDiv255(a, pixel & 0xFF);
}

bool BoxColour(const uint32_t* sums, int32_t L, bool protect, uint32_t& colour)
{
    const uint32_t area = uint32_t(2 * L + 1) * uint32_t(2 * L + 1);
    if (protect) {
        colour = 0xFF000000u | (sums[2] / area) << 16 | (sums[1] / area) << 8 | sums[0] / area;
        return true;
    }
    const uint32_t alpha = sums[3];
    if (alpha == 0)
        return false;
    // sum x 255 passes 2^32 from L = 91 on.
    auto byte = [alpha](uint32_t sum) { return uint32_t(uint64_t{sum} * 255 / alpha); };
    colour = (alpha / area) << 24 | byte(sums[2]) << 16 | byte(sums[1]) << 8 | byte(sums[0]);
    return true;
}

} // namespace penstamp

namespace {

// ChainRow takes at most this many pixels at a time.
constexpr int32_t kSpan = 256;
// Effect 1 is at most 100, so L never exceeds the nominal radius; radii are
// at most 500 (a bitmap nib's scale).
constexpr int32_t kMaxReach = 500;

int32_t BlurReach(float blurRadius)
{
    // Nearest, ties to even.
    const double r = std::nearbyint(std::clamp(double(blurRadius), 0.0, double(kMaxReach)));
    return std::max(1, int32_t(r));
}

// The terms of row y of the store from x0 on, n of them, with coordinates
// clamped into the store; whole block rows at a time.
void ReadTermRow(const CBlockVMTC& store, int32_t x0, int32_t y, int32_t n, bool protect, uint32_t* out)
{
    y = std::clamp(y, 0, store.Height - 1);
    const int32_t in0 = std::clamp(-x0, 0, n);
    const int32_t in1 = std::clamp(store.Width - x0, in0, n);
    if (in0 == in1) {
        std::fill_n(out, n, store.GetPixelClamped(x0, y));
    } else {
        for (int32_t i = in0; i < in1;) {
            const int32_t x = x0 + i;
            const SBlock& b = *store.BlockAtIndex(x >> store.BlockShift, y >> store.BlockShift);
            const int32_t count = std::min(in1 - i, store.BlockWidth - (x & store.BlockMask));
            if (b.Committed())
                std::copy_n(store.RowIn<uint32_t>(b, x & store.BlockMask, y & store.BlockMask), count, out + i);
            else
                std::fill_n(out + i, count, b.Uniform);
            i += count;
        }
        std::fill(out, out + in0, out[in0]);
        std::fill(out + in1, out + n, out[in1 - 1]);
    }
    for (int32_t i = 0; i < n; ++i)
        out[i] = penstamp::BoxTerm(out[i], protect);
}

void WarnBlurMemory()
{
    Notifier().Warn(std::string("メモリ不足により") + "ぼかし" + "の実行に失敗しました！");
}

// The scratch holds the box's terms (the dab box widened by L all round),
// then four column sums per terms column, then four box sums per box column.
size_t BlurScratchSize(int64_t boxW, int64_t boxH, int32_t L)
{
    const int64_t tw = boxW + 2 * L, th = boxH + 2 * L;
    return size_t(tw * th + 4 * tw + 4 * boxW);
}

bool GrowScratch(std::vector<uint32_t>& scratch, size_t size)
{
    if (scratch.size() >= size)
        return true;
    try {
        scratch.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

} // namespace

bool CPenRender::PrepareBlur()
{
    if (!blurSource || !blurSource->IsValid() || blurSource->Width <= 0 || blurSource->Height <= 0)
        return false;
    // Room for the largest dab of the stroke now, so a stroke that cannot
    // have it stops before it changes anything.
    const float nominal = hasBitmapNib ? float(bitmapNib->Scale()) : std::max(CurrentRadius(), stroke->Radius());
    const Point half = DabExtent(nominal);
    const int32_t L = BlurReach(float(method.effect1) * nominal / 100.0f);
    if (!GrowScratch(scratch, BlurScratchSize(2 * int64_t(half.x) + 2, 2 * int64_t(half.y) + 2, L))) {
        WarnBlurMemory();
        return false;
    }
    return true;
}

bool CPenRender::StampBlur(TMTC& image)
{
    // The nominal radius: the bitmap nib's scale, else the dab's radius.
    const float nominal = hasBitmapNib ? float(bitmapNib->Scale()) : float(dabRadiusX) / float(kFixedOne);
    blurRadius = float(method.effect1) * nominal / 100.0f;
    const int32_t L = BlurReach(blurRadius);
    const int32_t w = dabRight - dabLeft, h = dabBottom - dabTop;
    const int32_t tw = w + 2 * L, th = h + 2 * L;
    if (!GrowScratch(scratch, BlurScratchSize(w, h, L))) {
        WarnBlurMemory();
        strokeReady_ = false;
        return false;
    }
    const bool protect = chain_.plot == Plot::Keep;
    const Plot plot = protect ? Plot::Keep : Plot::Mix;
    uint32_t* terms = scratch.data();
    uint32_t* columns = terms + size_t(tw) * th;
    uint32_t* boxes = columns + 4 * size_t(tw);
    for (int32_t j = 0; j < th; ++j)
        ReadTermRow(*blurSource, dabLeft - L, dabTop - L + j, tw, protect, terms + size_t(j) * tw);

    penstamp::ForEachBoxRow(terms, tw, th, L, columns, boxes, [&](int32_t row, const uint32_t* sums) {
        const int32_t y = dabTop + row;
        uint8_t alpha[kSpan];
        uint32_t colours[kSpan];
        for (int32_t x = dabLeft; x < dabRight; x += kSpan) {
            const int32_t count = std::min(kSpan, dabRight - x);
            NibRow(x, y, count, alpha);
            bool any = false;
            for (int32_t i = 0; i < count; ++i) {
                if (alpha[i] != 0 && !penstamp::BoxColour(sums + 4 * (x - dabLeft + i), L, protect, colours[i]))
                    alpha[i] = 0;
                any = any || alpha[i] != 0;
            }
            if (any)
                ChainRow(image, x, y, count, alpha, colours, 0, plot);
        }
    });
    return true;
}

} // namespace morvane
