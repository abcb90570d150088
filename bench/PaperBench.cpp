// The document's composite: a whole picture of ten committed layers against
// pixman's OVER of the same layers, and the small rectangle a stroke
// refreshes against copying as many bytes as its layers hold there.

#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "PixmanBaseline.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"

namespace morvane::bench {
namespace {

constexpr int32_t kPictureW = 4000, kPictureH = 3000;
constexpr int32_t kAllLayers = 10;
constexpr int32_t kRectSide = 128;
constexpr int32_t kRectLayers = 20;
constexpr int32_t kRectPicture = 1024;
constexpr int64_t kRectBytes = int64_t(kRectSide) * kRectSide * 4;

// A document of w x h whose n normal layers (the first one included) are
// painted all over with random pixels, so every block is committed.
struct PaintedPaper {
    RecordingDocumentHost host;
    TPaper paper{host};
    bool ok = false;
    PaintedPaper(int32_t w, int32_t h, int32_t n)
    {
        ok = paper.NewPicture("bench", false, false, 72, w, h, w, h, false);
        TMTC pixels(w, h);
        ok = ok && pixels.IsValid();
        for (int32_t i = 0; ok && i < n; ++i) {
            ok = i == 0 || paper.Layers().AddLayer(i, w, true, 255, kModeNormal, h) == i;
            FillRandom(pixels, 100 + uint64_t(i));
            ok = ok && paper.LayerAt(i)->Store->CopyIn(pixels, {0, 0}, 255, {0, 0, w, h});
        }
    }
};

void RenderAllOurs(benchmark::State& state)
{
    PaintedPaper p(kPictureW, kPictureH, kAllLayers);
    if (!p.ok) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, int64_t(kPictureW) * kPictureH * 4 * kAllLayers, [&] {
        p.paper.RenderAll(false);
        p.host.Clear();
        return true;
    });
}

// The same ten layers as flat images, OVER onto an opaque picture.
void RenderAllPixman(benchmark::State& state)
{
    std::vector<std::unique_ptr<TMTC>> layers;
    std::vector<pixman_image_t*> images;
    TMTC target(kPictureW, kPictureH);
    bool ok = target.IsValid();
    for (int32_t i = 0; ok && i < kAllLayers; ++i) {
        layers.push_back(std::make_unique<TMTC>(kPictureW, kPictureH));
        FillRandom(*layers.back(), 100 + uint64_t(i));
        pixman_image_t* image = layers.back()->IsValid() ? WrapForPixman(*layers.back()) : nullptr;
        ok = image != nullptr;
        if (image)
            images.push_back(image);
    }
    pixman_image_t* dst = ok ? WrapForPixman(target) : nullptr;
    if (!dst) {
        state.SkipWithError("pixman could not create the images");
    } else {
        TimeEach(state, int64_t(kPictureW) * kPictureH * 4 * kAllLayers, [&] {
            target.FillAll(0xFFFFFFFFu);
            for (pixman_image_t* image : images)
                pixman_image_composite32(PIXMAN_OP_OVER, image, nullptr, dst, 0, 0, 0, 0, 0, 0, kPictureW,
                                         kPictureH);
            return true;
        });
        pixman_image_unref(dst);
    }
    for (pixman_image_t* image : images)
        pixman_image_unref(image);
}

void RenderRectOurs(benchmark::State& state)
{
    PaintedPaper p(kRectPicture, kRectPicture, kRectLayers);
    if (!p.ok) {
        state.SkipWithError("out of memory");
        return;
    }
    // Off the block grid, as a stroke's rectangle usually is.
    TimeEach(state, kRectBytes * kRectLayers, [&] {
        p.paper.RenderRect({401, 297, kRectSide, kRectSide}, false);
        return true;
    });
}

void RenderRectMemcpy(benchmark::State& state)
{
    std::vector<std::vector<uint32_t>> sources(kRectLayers, std::vector<uint32_t>(size_t(kRectSide) * kRectSide));
    std::vector<uint32_t> target(size_t(kRectSide) * kRectSide);
    for (size_t i = 0; i < sources.size(); ++i)
        FillRandom(sources[i].data(), sources[i].size(), 200 + i);
    TimeEach(state, kRectBytes * kRectLayers, [&] {
        for (const auto& source : sources)
            std::memcpy(target.data(), source.data(), size_t(kRectBytes));
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(render_all_10_layers_vs_pixman, RenderAllOurs, RenderAllPixman);
MORVANE_FIGURE(render_rect_128_20_layers, RenderRectOurs, RenderRectMemcpy);
