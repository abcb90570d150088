// Image size to half of a 4000 x 3000 document of five committed layers,
// against libvips' box shrink by 2 of the same five layers.
#include <vector>

#include "BenchSupport.h"
#include "VipsBaseline.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"

namespace morvane::bench {
namespace {

constexpr int32_t kPictureW = 4000, kPictureH = 3000;
constexpr int32_t kLayers = 5;
constexpr int64_t kLayerBytes = int64_t(kPictureW) * kPictureH * 4;

void ImageSizeOurs(benchmark::State& state)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    TMTC pixels(kPictureW, kPictureH);
    bool ok = pixels.IsValid() &&
              paper.NewPicture("bench", false, false, 72, kPictureW, kPictureH, kPictureW, kPictureH, false);
    for (int32_t i = 0; ok && i < kLayers; ++i) {
        ok = i == 0 || paper.Layers().AddLayer(i, kPictureW, true, 255, kModeNormal, kPictureH) == i;
        FillRandom(pixels, 100 + uint64_t(i));
        ok = ok && paper.LayerAt(i)->Store->CopyIn(pixels, {0, 0}, 255, {0, 0, kPictureW, kPictureH});
    }
    if (!ok) {
        state.SkipWithError("out of memory");
        return;
    }
    pixels.Release();
    // Undo brings the full-size stack back untimed; the next change then
    // drops the half-size one from the redo list, as a user's would.
    int32_t index = 0;
    ExtentRect rect;
    TimeEach(
        state, kLayerBytes * kLayers,
        [&] { return paper.Width == kPictureW && paper.SetImageSize(kPictureW / 2, kPictureH / 2, false); },
        [&] {
            if (paper.Width != kPictureW)
                paper.Undo(index, rect);
            host.Clear();
        });
}

void VipsShrinkLayers(benchmark::State& state)
{
    std::vector<std::vector<uint32_t>> layers(kLayers, std::vector<uint32_t>(size_t(kPictureW) * kPictureH));
    std::vector<VipsImage*> images;
    for (int32_t i = 0; i < kLayers && VipsOneThread(); ++i) {
        FillRandom(layers[size_t(i)].data(), layers[size_t(i)].size(), 100 + uint64_t(i));
        if (VipsImage* in = vips_image_new_from_memory(layers[size_t(i)].data(), size_t(kLayerBytes),
                                                       kPictureW, kPictureH, 4, VIPS_FORMAT_UCHAR))
            images.push_back(in);
    }
    if (images.size() != size_t(kLayers)) {
        state.SkipWithError("vips could not start or wrap the layers");
    } else {
        const size_t outBytes = size_t(kLayerBytes / 4);
        TimeEach(state, kLayerBytes * kLayers, [&] {
            for (VipsImage* in : images) {
                VipsImage* out = nullptr;
                if (vips_shrink(in, &out, 2.0, 2.0, nullptr) != 0)
                    return false;
                size_t size = 0;
                void* result = vips_image_write_to_memory(out, &size);
                g_object_unref(out);
                g_free(result);
                if (!result || size != outBytes)
                    return false;
            }
            return true;
        });
    }
    for (VipsImage* in : images)
        g_object_unref(in);
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(image_size_half_vs_vips, ImageSizeOurs, VipsShrinkLayers);
