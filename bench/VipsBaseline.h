#pragma once
// libvips as a baseline: one worker thread, the way ours runs, and no
// operation cache, so every iteration computes the pixels again.
#include <vips/vips.h>

#include "BenchSupport.h"

namespace morvane::bench {

inline bool VipsOneThread()
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

// Times op(in, &out) on a kSide x kSide picture of FillRandom(seed) pixels.
// vips is lazy: writing the result to memory is what computes it, and the
// result must have outBytes bytes.
template <typename Op>
void TimeVips(benchmark::State& state, uint64_t seed, size_t outBytes, Op op)
{
    std::vector<uint32_t> pixels(kPixels);
    FillRandom(pixels.data(), kPixels, seed);
    VipsImage* in = VipsOneThread() ? vips_image_new_from_memory(pixels.data(), size_t(kBytes), kSide, kSide, 4,
                                                                 VIPS_FORMAT_UCHAR)
                                    : nullptr;
    if (!in) {
        state.SkipWithError("vips could not start or wrap the picture");
        return;
    }
    TimeEach(state, kBytes, [&] {
        VipsImage* out = nullptr;
        if (op(in, &out) != 0)
            return false;
        size_t size = 0;
        void* result = vips_image_write_to_memory(out, &size);
        g_object_unref(out);
        g_free(result);
        return result != nullptr && size == outBytes;
    });
    g_object_unref(in);
}

} // namespace morvane::bench
