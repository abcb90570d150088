// Keeping a rectangle of a layer for undo: a committed rectangle must cost
// little more than copying its bytes once.

#include "BenchSupport.h"
#include "document/CLayerMngr.h"
#include "document/CUndoMngr.h"
#include "document/SLayerParam.h"

namespace morvane::bench {
namespace {

constexpr int32_t kRectSide = 1024;
constexpr int64_t kRectBytes = int64_t(kRectSide) * kRectSide * 4;

// A 2048 x 2048 layer of random pixels; the rectangle lies off the block
// grid, as a stroke's would.
void PushPixels(benchmark::State& state)
{
    CLayerMngr stack;
    NullEventRecorder recorder;
    CUndoMngrEx undo(8, 8, recorder);
    TMTC pixels(2048, 2048);
    FillRandom(pixels, 31);
    if (stack.AddLayer(0, 2048, true, 255, kModeNormal, 2048) != 0 || !pixels.IsValid() ||
        !stack.At(0)->Store->CopyIn(pixels, {0, 0}, 255, {0, 0, 2048, 2048})) {
        state.SkipWithError("out of memory");
        return;
    }
    CLayerData& layer = *stack.At(0);
    TimeEach(
        state, kRectBytes, [&] { return undo.PushPixels(layer, 0, {500, 300, kRectSide, kRectSide}, UndoKind::Stroke); },
        [&] { undo.ClearHistory(); });
}

void Memcpy4MiB(benchmark::State& state)
{
    std::vector<uint32_t> source(size_t(kRectBytes / 4)), target(size_t(kRectBytes / 4));
    FillRandom(source.data(), source.size(), 7);
    std::memset(target.data(), 0, size_t(kRectBytes));
    TimeEach(state, kRectBytes, [&] {
        std::memcpy(target.data(), source.data(), size_t(kRectBytes));
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

MORVANE_FIGURE(push_pixels_vs_memcpy, PushPixels, Memcpy4MiB);

} // namespace
} // namespace morvane::bench
