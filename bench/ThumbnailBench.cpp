// The refreshes after a 128 x 128 change of a committed 4096 x 4096 picture:
// the layer's 64-px thumbnail and the navigator's 256-px picture, against
// libvips shrinking the whole picture to the same size.
#include <memory>

#include "BenchSupport.h"
#include "VipsBaseline.h"
#include "document/CLayerData.h"
#include "document/CPictureThumbnail.h"
#include "document/DocumentHost.h"
#include "document/TPaper.h"
#include "storage/CBlockVMTC.h"

namespace morvane::bench {
namespace {

constexpr int32_t kThumb = 64, kNavigator = 256;
constexpr ExtentRect kChange{1984, 1984, 128, 128};

// One layer of random pixels, composed, its thumbnail made whole.
struct CommittedPicture {
    SilentDocumentHost host;
    TPaper paper{host, SPaperSettings{1}};
    bool ok = Make();

    bool Make()
    {
        if (!paper.NewPicture("bench", false, false, 72, kSide, kSide, kSide, kSide, false))
            return false;
        TMTC pixels(kSide, kSide);
        FillRandom(pixels, 9);
        CLayerData& layer = *paper.LayerAt(0);
        if (!pixels.IsValid() || !layer.Store->CopyIn(pixels, {0, 0}, 255, {0, 0, kSide, kSide}) ||
            !layer.SizeThumbnail(kThumb, kThumb))
            return false;
        paper.RenderAll(false);
        return layer.RefreshThumbnail();
    }
    // The change a stroke makes, untimed: new pixels and their composite.
    void Change(uint32_t& colour)
    {
        paper.LayerAt(0)->Store->FillRect(kChange, colour += 0x01020304u);
        paper.RenderRect(kChange, false);
    }
};

void LayerThumbnailOurs(benchmark::State& state)
{
    CommittedPicture doc;
    if (!doc.ok) {
        state.SkipWithError("out of memory");
        return;
    }
    uint32_t colour = 0xFF000000u;
    TimeEach(state, kBytes, [&] { return doc.paper.LayerAt(0)->RefreshThumbnail(kChange); },
             [&] { doc.Change(colour); });
}

void NavigatorOurs(benchmark::State& state)
{
    CommittedPicture doc;
    CPictureThumbnail navigator;
    if (!doc.ok || !navigator.Refresh(doc.paper, kNavigator, kNavigator)) {
        state.SkipWithError("out of memory");
        return;
    }
    uint32_t colour = 0xFF000000u;
    TimeEach(state, kBytes, [&] { return navigator.Refresh(doc.paper, kNavigator, kNavigator); },
             [&] { doc.Change(colour); });
}

void VipsShrinkTo(benchmark::State& state, int32_t side)
{
    TimeVips(state, 9, size_t(side) * side * 4, [side](VipsImage* in, VipsImage** out) {
        return vips_shrink(in, out, double(kSide) / side, double(kSide) / side, nullptr);
    });
}

void LayerThumbnailBaseline(benchmark::State& state) { VipsShrinkTo(state, kThumb); }
void NavigatorBaseline(benchmark::State& state) { VipsShrinkTo(state, kNavigator); }

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(layer_thumbnail_stroke_4096, LayerThumbnailOurs, LayerThumbnailBaseline);
MORVANE_FIGURE(navigator_stroke_4096, NavigatorOurs, NavigatorBaseline);
