// The block store's copies out and its quarter turn: CopyOut of a committed
// store against memcpy, of an empty one against memset, and RotateInto90
// against libvips' rot on one thread.
#include "BenchSupport.h"
#include "VipsBaseline.h"
#include "storage/CBlockVMTC.h"

namespace morvane::bench {
namespace {

constexpr ExtentRect kWhole{0, 0, kSide, kSide};

// A 4096 x 4096 store with every block committed, of the same pixels as
// FillRandom gives a plain buffer.
void FillCommitted(CBlockVMTC& store, uint64_t seed)
{
    TMTC source(kSide, kSide);
    FillRandom(source, seed);
    store.CopyIn(source, {0, 0}, 255, kWhole);
}

void CopyOutCommittedOurs(benchmark::State& state)
{
    CBlockVMTC store(kSide, kSide);
    FillCommitted(store, 11);
    TMTC target(kSide, kSide);
    target.FillAll(0);
    if (store.CommittedBytes() != kBytes)
        state.SkipWithError("the store is not fully committed");
    else
        TimeEach(state, kBytes, [&] { return store.CopyOut(target, {0, 0}, false, 255, kWhole); });
}

void CopyOutEmptyOurs(benchmark::State& state)
{
    CBlockVMTC store(16384, 16384);
    TMTC target(kSide, kSide);
    target.FillAll(0);
    TimeEach(state, kBytes, [&] { return store.CopyOut(target, {0, 0}, false, 255, {6000, 7000, kSide, kSide}); });
}

// Writes the 64 MiB of a 4096 x 4096 picture: the bandwidth line of fills.
void Memset64MiB(benchmark::State& state)
{
    std::vector<uint32_t> target(kPixels, 1);
    TimeEach(state, kBytes, [&] {
        std::memset(target.data(), 0x5A, size_t(kBytes));
        benchmark::DoNotOptimize(target.data());
        return true;
    });
}

// Both sides write their turned picture into fresh memory each time.
void RotateOurs(benchmark::State& state)
{
    CBlockVMTC store(kSide, kSide);
    FillCommitted(store, 12);
    TimeEach(state, kBytes, [&] {
        TMTC target;
        return store.RotateInto90(target, true);
    });
}

void VipsRotateBaseline(benchmark::State& state)
{
    TimeVips(state, 12, size_t(kBytes),
             [](VipsImage* in, VipsImage** out) { return vips_rot(in, out, VIPS_ANGLE_D90, nullptr); });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(copy_out_committed_vs_memcpy, CopyOutCommittedOurs, Memcpy64MiB);
MORVANE_FIGURE(copy_out_empty_vs_memset, CopyOutEmptyOurs, Memset64MiB);
MORVANE_FIGURE(rotate90_vs_vips, RotateOurs, VipsRotateBaseline);
