#pragma once
// What every benchmark program shares: the figure pairs bench/run divides,
// pseudo-random pictures and the memcpy baseline.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "storage/TMTC.h"

namespace morvane::bench {

constexpr int32_t kSide = 4096;
constexpr size_t kPixels = size_t(kSide) * kSide;
constexpr int64_t kBytes = int64_t(kPixels) * 4;

// splitmix64: fast and the same on every machine, so runs see the same pixels.
inline void FillRandom(uint32_t* p, size_t n, uint64_t seed)
{
    uint64_t s = seed;
    for (size_t i = 0; i < n; ++i) {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        p[i] = uint32_t(z ^ (z >> 31));
    }
}

inline void FillRandom(TMTC& image, uint64_t seed)
{
    if (!image.IsValid())
        return;  // the operation under test reports the failure
    for (int32_t y = 0; y < image.Height; ++y)
        FillRandom(image.Row(y), size_t(image.Width), seed + uint64_t(y) * 0x100000001ull);
}

// Times work() once an iteration; reset(), when given, runs before each,
// untimed, for work that changes its own input. work() returns false on failure.
template <typename Work, typename Reset = std::nullptr_t>
void TimeEach(benchmark::State& state, int64_t bytes, Work work, Reset reset = nullptr)
{
    for (auto _ : state) {
        if constexpr (!std::is_null_pointer_v<Reset>) {
            state.PauseTiming();
            reset();
            state.ResumeTiming();
        }
        if (!work()) {
            state.SkipWithError("the operation reported failure");
            break;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

// Copies the 64 MiB a 4096 x 4096 picture takes: the memory bandwidth line.
inline void Memcpy64MiB(benchmark::State& state)
{
    std::vector<uint32_t> source(kPixels), target(kPixels);
    FillRandom(source.data(), kPixels, 7);
    std::memset(target.data(), 0, size_t(kBytes));
    TimeEach(state, kBytes, [&] {
        std::memcpy(target.data(), source.data(), size_t(kBytes));
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

// Registers a figure as two benchmarks, "<figure>/ours" and
// "<figure>/baseline"; bench/run prints the ratio of their medians. The time
// is the CPU time of the whole process: it counts a peer library's worker
// thread, and unlike wall time it does not count other programs on a busy
// machine.
// One side ("ours" or "baseline") alone, for a figure whose two sides must
// be separate programs.
inline bool RegisterSide(const std::string& figure, const char* side, void (*fn)(benchmark::State&))
{
    benchmark::RegisterBenchmark((figure + "/" + side).c_str(), fn)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
    return true;
}

inline bool RegisterFigure(const std::string& figure, void (*ours)(benchmark::State&),
                           void (*baseline)(benchmark::State&))
{
    return RegisterSide(figure, "ours", ours) && RegisterSide(figure, "baseline", baseline);
}

} // namespace morvane::bench

#define MORVANE_FIGURE(figure, ours, baseline) \
    [[maybe_unused]] static const bool figure##_registered = ::morvane::bench::RegisterFigure(#figure, ours, baseline)
