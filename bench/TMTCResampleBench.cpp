// TMTC::ShrinkArea against libvips' box shrink, both reducing 4096 x 4096 by 8.
#include "BenchSupport.h"
#include "VipsBaseline.h"

namespace morvane::bench {
namespace {

constexpr int32_t kFactor = 8;
constexpr int32_t kSmall = kSide / kFactor;

void ShrinkAreaOurs(benchmark::State& state)
{
    TMTC source(kSide, kSide), target(kSmall, kSmall);
    FillRandom(source, 5);
    target.FillAll(0);
    TimeEach(state, kBytes, [&] { return source.ShrinkArea(target, {0, 0, kSmall, kSmall}); });
}

void VipsShrinkBaseline(benchmark::State& state)
{
    TimeVips(state, 5, size_t(kSmall) * kSmall * 4, [](VipsImage* in, VipsImage** out) {
        return vips_shrink(in, out, double(kFactor), double(kFactor), nullptr);
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(shrink_area_vs_vips, ShrinkAreaOurs, VipsShrinkBaseline);
