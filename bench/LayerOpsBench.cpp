// Layer panel operations on committed 4096 x 4096 layers: merge down against
// pixman's OVER of the same pixels, and duplicate against copying the 64 MiB
// the layer holds.
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "PixmanBaseline.h"
#include "document/CLayerMngr.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"

namespace morvane::bench {
namespace {

constexpr ExtentRect kWhole{0, 0, kSide, kSide};

// Layer i of the stack painted all over with random pixels (every block
// committed).
bool PaintLayer(CLayerData& layer, uint64_t seed)
{
    TMTC pixels(kSide, kSide);
    FillRandom(pixels, seed);
    return pixels.IsValid() && layer.Store->CopyIn(pixels, {0, 0}, 255, kWhole) &&
           layer.Store->CommittedBytes() == kBytes;
}

// Two committed normal layers of a 4096 x 4096 picture; the upper one is
// merged into the lower one, as the document's merge down does (the upper
// layer stays for the next round; the former lower layer comes back).
void MergeDownOurs(benchmark::State& state)
{
    CLayerMngr stack(2);
    stack.PictureW = stack.PictureH = kSide;
    bool ok = stack.AddLayer(0, kSide, true, 255, kModeNormal, kSide) == 0 &&
              stack.AddLayer(1, kSide, true, 255, kModeNormal, kSide) == 1;
    ok = ok && PaintLayer(*stack.At(0), 3) && PaintLayer(*stack.At(1), 2);
    if (!ok) {
        state.SkipWithError("out of memory");
        return;
    }
    std::unique_ptr<CLayerData> former;
    TimeEach(state, kBytes, [&] { return stack.MergeDown(0, 1, true, 0, &former); },
             [&] {
                 if (former)
                     stack.ReplaceLayer(0, std::move(former));
             });
}

// The same pixels: source over a target that is reset before every round.
void PixmanOverBaseline(benchmark::State& state)
{
    std::vector<uint32_t> source(kPixels), pristine(kPixels), target(kPixels);
    FillRandom(source.data(), kPixels, 2);
    FillRandom(pristine.data(), kPixels, 3);
    pixman_image_t* src = WrapForPixman(source, kSide, kSide);
    pixman_image_t* dst = WrapForPixman(target, kSide, kSide);
    if (!src || !dst)
        state.SkipWithError("pixman could not create the images");
    else
        TimeEach(state, kBytes, [&] {
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kSide, kSide);
            return true;
        }, [&] { std::memcpy(target.data(), pristine.data(), size_t(kBytes)); });
    for (pixman_image_t* image : {src, dst})
        if (image)
            pixman_image_unref(image);
}

// The document's duplicate (not recorded) of a committed 4096 x 4096 layer
// of a small picture, so that the time is the layer's copy rather than the
// picture's recomposition; the copy is deleted again between rounds.
void DuplicateOurs(benchmark::State& state)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    const bool ok = paper.NewPicture("bench", false, false, 72, kSide, kSide, 64, 64, false) &&
                    PaintLayer(*paper.LayerAt(0), 5);
    if (!ok) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, kBytes, [&] { return paper.DuplicateLayer(0, false); },
             [&] {
                 if (paper.LayerCount() > 1)
                     paper.DeleteLayer(1, false);
                 host.Clear();
             });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(merge_down_vs_pixman_over, MergeDownOurs, PixmanOverBaseline);
MORVANE_FIGURE(duplicate_layer_vs_memcpy, DuplicateOurs, Memcpy64MiB);
