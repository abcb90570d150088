// Wet paint: taking the copy of a large layer at stroke start against
// copying the 64 MiB it holds, and the pencil's rebuild of a rectangle
// against pixman compositing a solid colour through the same coverage.
#include <vector>

#include "BenchSupport.h"
#include "PixmanBaseline.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"

namespace morvane::bench {
namespace {

// A 4096 x 4096 layer painted on its left half (random pixels, every block
// there committed) and empty on its right half (uniform blocks), as a drawing
// leaves a layer. (Blocks alternating one by one are the store's slowest
// case: neighbours then never form runs.)
bool HalfCommittedLayer(CBlockVMTC& store)
{
    TMTC pixels(kSide / 2, kSide);
    FillRandom(pixels, 11);
    return pixels.IsValid() && store.CopyIn(pixels, {0, 0}, 255, {0, 0, kSide / 2, kSide}) &&
           store.CommittedBytes() == kBytes / 2;
}

// A forced load of the layer: every round copies the whole store.
void FlowLoadOurs(benchmark::State& state)
{
    CBlockVMTC store(kSide, kSide);
    TFlowImage flow;
    if (!HalfCommittedLayer(store) || !flow.LoadLayer({0, &store, {0, 0}}, false)) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, kBytes, [&] { return flow.LoadLayer({0, &store, {0, 0}}, true); });
}

constexpr int32_t kRect = 256;
constexpr int64_t kRectBytes = int64_t(kRect) * kRect * 4;
constexpr uint32_t kColour = 0xFF204060;

// The layer under the stroke: random pixels (any alpha), every block committed.
void RandomPixels(std::vector<uint32_t>& pixels) { FillRandom(pixels.data(), pixels.size(), 21); }

// Coverage of every value, in no order.
void RandomCoverage(uint8_t* bytes, size_t n)
{
    std::vector<uint32_t> words((n + 3) / 4);
    FillRandom(words.data(), words.size(), 22);
    std::memcpy(bytes, words.data(), n);
}

// The rebuild after a move: the layer's pixels back, then the coverage over them.
void FlowRebuildOurs(benchmark::State& state)
{
    std::vector<uint32_t> pixels(size_t(kRect) * kRect);
    RandomPixels(pixels);
    TMTC layerPixels(kRect, kRect);
    CBlockVMTC store(kRect, kRect);
    TFlowImage flow;
    bool ok = layerPixels.IsValid();
    for (int32_t y = 0; ok && y < kRect; ++y)
        std::memcpy(layerPixels.Row(y), pixels.data() + size_t(y) * kRect, size_t(kRect) * 4);
    ok = ok && store.CopyIn(layerPixels, {0, 0}, 255, {0, 0, kRect, kRect}) &&
         flow.LoadLayer({0, &store, {0, 0}}, false);
    if (!ok) {
        state.SkipWithError("out of memory");
        return;
    }
    for (int32_t y = 0; y < kRect; ++y)
        RandomCoverage(flow.Coverage().PixelPtr(0, y), size_t(kRect));
    // A pencil stroke's renderer: its chain is the normal write, no mask or tone.
    TStroke stroke;
    CPenRender pen(stroke);
    BrushMethodRecord pencil;
    pencil.pencil = true;
    pen.SetMethod(pencil);
    if (!pen.Prepare(flow.Image(), {}, 0, 0)) {
        state.SkipWithError("the renderer cannot paint");
        return;
    }
    const SPencilRebuild how{&pen, nullptr, kColour, 255};
    TimeEach(state, kRectBytes, [&] { return flow.RebuildPencil({0, 0, kRect, kRect}, store, how); });
}

// pixman OVER of the solid colour through the same a8 coverage onto the same
// pixels. Its time depends on the coverage only (0 and 255 take short cuts),
// so the target is not reset between rounds.
void PixmanMaskedOverBaseline(benchmark::State& state)
{
    std::vector<uint32_t> target(size_t(kRect) * kRect);
    RandomPixels(target);
    std::vector<uint8_t> mask(target.size());
    for (int32_t y = 0; y < kRect; ++y)
        RandomCoverage(mask.data() + size_t(y) * kRect, size_t(kRect));
    const pixman_color_t colour{0x2020, 0x4040, 0x6060, 0xFFFF};
    pixman_image_t* src = pixman_image_create_solid_fill(&colour);
    pixman_image_t* msk = pixman_image_create_bits(PIXMAN_a8, kRect, kRect,
                                                   reinterpret_cast<uint32_t*>(mask.data()), kRect);
    pixman_image_t* dst = WrapForPixman(target, kRect, kRect);
    if (!src || !msk || !dst)
        state.SkipWithError("pixman could not create the images");
    else
        TimeEach(state, kRectBytes, [&] {
            pixman_image_composite32(PIXMAN_OP_OVER, src, msk, dst, 0, 0, 0, 0, 0, 0, kRect, kRect);
            return true;
        });
    for (pixman_image_t* image : {src, msk, dst})
        if (image)
            pixman_image_unref(image);
}

} // namespace
} // namespace morvane::bench

MORVANE_FIGURE(flow_load_4096, morvane::bench::FlowLoadOurs, morvane::bench::Memcpy64MiB);
MORVANE_FIGURE(flow_rebuild_256, morvane::bench::FlowRebuildOurs, morvane::bench::PixmanMaskedOverBaseline);
