// Compositing whole layers through the stack: an empty huge layer must cost
// next to nothing beside a committed one, and the composite that keeps
// transparency is timed against pixman's OVER.

#include "BenchSupport.h"
#include "PixmanBaseline.h"
#include "document/LayerComposite.h"
#include "document/SLayerParam.h"

namespace morvane::bench {
namespace {

constexpr int32_t kPictureW = 4000, kPictureH = 3000;
constexpr int32_t kOverSide = 2048;
constexpr uint8_t kOpacity = 200;

// A stack of one normal layer of w x h, painted with random pixels when asked.
struct OneLayer {
    CLayerMngr stack;
    bool ok = false;
    OneLayer(int32_t w, int32_t h, bool painted)
    {
        ok = stack.AddLayer(0, w, true, kOpacity, kModeNormal, h) == 0;
        if (!ok || !painted)
            return;
        TMTC pixels(w, h);
        FillRandom(pixels, 21);
        ok = pixels.IsValid() && stack.At(0)->Store->CopyIn(pixels, {0, 0}, 255, {0, 0, w, h});
    }
};

void CompositeOnce(benchmark::State& state, OneLayer& layer)
{
    TMTC target(kPictureW, kPictureH);
    if (!layer.ok || !target.IsValid()) {
        state.SkipWithError("out of memory");
        return;
    }
    FillRandom(target, 22);
    target.OrAll(0xFF000000u);
    TimeEach(state, int64_t(kPictureW) * kPictureH * 4,
             [&] { return CompositeStack(layer.stack, target, {0, 0, kPictureW, kPictureH}); });
}

void EmptyHuge(benchmark::State& state)
{
    OneLayer layer(20000, 20000, false);
    CompositeOnce(state, layer);
}

void Committed(benchmark::State& state)
{
    OneLayer layer(kPictureW, kPictureH, true);
    CompositeOnce(state, layer);
}

// The transparent composite: a target of random colour and coverage.
struct OverPictures {
    OneLayer layer{kOverSide, kOverSide, true};
    TMTC source{kOverSide, kOverSide}, pristine{kOverSide, kOverSide}, target{kOverSide, kOverSide};
    OverPictures()
    {
        FillRandom(pristine, 23);
        if (layer.ok)
            layer.stack.At(0)->Store->CopyOut(source, {0, 0}, false, 255, {0, 0, kOverSide, kOverSide});
    }
    bool Valid() const { return layer.ok && source.IsValid() && pristine.IsValid() && target.IsValid(); }
    void Reset() { target.CopyAll(pristine); }
};

void OverOurs(benchmark::State& state)
{
    OverPictures p;
    if (!p.Valid()) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, int64_t(kOverSide) * kOverSide * 4,
             [&] { return CompositeStackOver(p.layer.stack, p.target, {0, 0, kOverSide, kOverSide}); },
             [&] { p.Reset(); });
}

void OverPixman(benchmark::State& state)
{
    OverPictures p;
    const pixman_color_t opacity{0, 0, 0, uint16_t(kOpacity * 257)};
    pixman_image_t* src = p.Valid() ? WrapForPixman(p.source) : nullptr;
    pixman_image_t* dst = p.Valid() ? WrapForPixman(p.target) : nullptr;
    pixman_image_t* mask = pixman_image_create_solid_fill(&opacity);
    if (!src || !dst || !mask)
        state.SkipWithError("pixman could not create the images");
    else
        TimeEach(state, int64_t(kOverSide) * kOverSide * 4, [&] {
            pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, kOverSide, kOverSide);
            return true;
        }, [&] { p.Reset(); });
    for (pixman_image_t* image : {src, dst, mask})
        if (image)
            pixman_image_unref(image);
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(composite_empty_vs_committed, EmptyHuge, Committed);
MORVANE_FIGURE(composite_over_vs_pixman_over, OverOurs, OverPixman);
