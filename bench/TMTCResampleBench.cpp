// TMTC::ShrinkArea against libvips' box shrink, both reducing 4096 x 4096 by 8.
#include <vips/vips.h>

#include "BenchSupport.h"

namespace morvane::bench {
namespace {

constexpr int32_t kFactor = 8;
constexpr int32_t kSmall = kSide / kFactor;

// One worker thread, the way ours runs, and no operation cache, so every
// iteration computes the pixels again.
bool VipsReady()
{
    static const bool ready = [] {
        if (vips_init("morvane-bench") != 0)
            return false;
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        return true;
    }();
    return ready;
}

void ShrinkAreaOurs(benchmark::State& state)
{
    TMTC source(kSide, kSide), target(kSmall, kSmall);
    FillRandom(source, 5);
    target.FillAll(0);
    TimeEach(state, kBytes, [&] { return source.ShrinkArea(target, {0, 0, kSmall, kSmall}); });
}

// The shrink is lazy in vips: writing the result to memory computes it.
bool VipsShrinkOnce(VipsImage* in)
{
    VipsImage* out = nullptr;
    if (vips_shrink(in, &out, double(kFactor), double(kFactor), nullptr) != 0)
        return false;
    size_t size = 0;
    void* pixels = vips_image_write_to_memory(out, &size);
    g_object_unref(out);
    g_free(pixels);
    return pixels != nullptr && size == size_t(kSmall) * kSmall * 4;
}

void VipsShrinkBaseline(benchmark::State& state)
{
    std::vector<uint32_t> pixels(kPixels);
    FillRandom(pixels.data(), kPixels, 5);
    VipsImage* in = VipsReady() ? vips_image_new_from_memory(pixels.data(), size_t(kBytes), kSide, kSide, 4,
                                                             VIPS_FORMAT_UCHAR)
                                : nullptr;
    if (!in) {
        state.SkipWithError("vips could not start or wrap the picture");
        return;
    }
    TimeEach(state, kBytes, [&] { return VipsShrinkOnce(in); });
    g_object_unref(in);
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(shrink_area_vs_vips, ShrinkAreaOurs, VipsShrinkBaseline);
