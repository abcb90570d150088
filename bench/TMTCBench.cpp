// The whole-picture blends and copies of TMTC against memcpy and pixman.
#include "BenchSupport.h"
#include "PixmanBaseline.h"

namespace morvane::bench {
namespace {

constexpr ExtentRect kWhole{0, 0, kSide, kSide};
constexpr uint8_t kHalf = 128;

void BlendRectOurs(benchmark::State& state)
{
    TMTC pristine(kSide, kSide), target(kSide, kSide);
    FillRandom(pristine, 1);
    TimeEach(state, kBytes, [&] { return target.BlendRect(kWhole, kHalf, 0x80336699u); },
             [&] { target.CopyAll(pristine); });
}

void BlendFromOurs(benchmark::State& state)
{
    TMTC source(kSide, kSide), pristine(kSide, kSide), target(kSide, kSide);
    FillRandom(source, 2);
    FillRandom(pristine, 3);
    TimeEach(state, kBytes, [&] { return target.BlendFrom(source, {0, 0}, kHalf, kWhole); },
             [&] { target.CopyAll(pristine); });
}

void PixmanOverBaseline(benchmark::State& state)
{
    std::vector<uint32_t> source(kPixels), pristine(kPixels), target(kPixels);
    FillRandom(source.data(), kPixels, 2);
    FillRandom(pristine.data(), kPixels, 3);
    pixman_image_t* src = WrapForPixman(source, kSide, kSide);
    pixman_image_t* dst = WrapForPixman(target, kSide, kSide);
    const pixman_color_t half{0, 0, 0, 0x8080};
    pixman_image_t* mask = pixman_image_create_solid_fill(&half);
    if (!src || !dst || !mask)
        state.SkipWithError("pixman could not create the images");
    else
        TimeEach(state, kBytes, [&] {
            pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, kSide, kSide);
            return true;
        }, [&] { std::memcpy(target.data(), pristine.data(), size_t(kBytes)); });
    for (pixman_image_t* image : {src, dst, mask})
        if (image)
            pixman_image_unref(image);
}

void CopyFromOurs(benchmark::State& state)
{
    TMTC source(kSide, kSide), target(kSide, kSide);
    FillRandom(source, 4);
    target.FillAll(0);
    TimeEach(state, kBytes, [&] { return target.CopyFrom(source, {0, 0}, kWhole); });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(blend_rect_vs_memcpy, BlendRectOurs, Memcpy64MiB);
MORVANE_FIGURE(blend_from_vs_pixman_over, BlendFromOurs, PixmanOverBaseline);
MORVANE_FIGURE(copy_from_vs_memcpy, CopyFromOurs, Memcpy64MiB);
