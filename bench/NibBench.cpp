// The nib generator: building round, elliptical and bitmap nibs against
// clearing the grids they fill, and the pencil's exact dabs against
// libmypaint's dabs of the same radii.

#include <mypaint-fixed-tiled-surface.h>
#include <mypaint-surface.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "paint/CGradeMapObj.h"
#include "paint/CPenShape.h"
#include "paint/CPenShapeObj.h"

namespace morvane::bench {
namespace {

constexpr int32_t kOne = 0x10000;

// A generator set as the pen renderer sets it.
struct Generator {
    CGradeMapObj map;
    CPenShape shape{&map};
    Generator()
    {
        AirMapRecord airMap;
        airMap.curve = 3;
        map.SetAirMap(airMap);
        shape.SetComputeCoverage(true);
        shape.SetUseAirMap(true);
        shape.SetUseDistance(true);
    }
};

int64_t GridBytes(const NibGrid& grid)
{
    return grid.Samples() * 3 * int64_t(sizeof(int32_t));
}

// Builds the nib afresh each iteration: untimed, eight larger nibs push it
// out of the cache, and the build reuses the memory of the oldest of them,
// as it does in a stroke whose size keeps changing.
template <typename Make, typename Other> void TimeBuild(benchmark::State& state, Make make, Other other)
{
    Generator g;
    if (!make(g.shape)) {
        state.SkipWithError("the nib was refused");
        return;
    }
    TimeEach(
        state, GridBytes(*g.shape.Grid()), [&] { return make(g.shape); },
        [&] {
            for (int32_t i = 1; i <= 8; ++i)
                other(g.shape, i);
        });
}

// memset of as many bytes as the grids of the nib make() builds.
template <typename Make> void TimeClear(benchmark::State& state, Make make)
{
    Generator g;
    if (!make(g.shape)) {
        state.SkipWithError("the nib was refused");
        return;
    }
    std::vector<uint8_t> grids(size_t(GridBytes(*g.shape.Grid())));
    TimeEach(state, int64_t(grids.size()), [&] {
        std::memset(grids.data(), 0, grids.size());
        benchmark::DoNotOptimize(grids.data());
        return true;
    });
}

bool Round200(CPenShape& shape)
{
    return shape.MakeRound(200 * kOne);
}
bool Ellipse50(CPenShape& shape)
{
    return shape.MakeEllipse(50 * kOne, 30, 30);
}

void LargerRound(CPenShape& shape, int32_t i) { shape.MakeRound((200 + i) * kOne); }
void LargerEllipse(CPenShape& shape, int32_t i) { shape.MakeEllipse((52 + i) * kOne, 30, 30 + i); }

void RoundOurs(benchmark::State& state) { TimeBuild(state, Round200, LargerRound); }
void RoundBaseline(benchmark::State& state)
{
    TimeClear(state, Round200);
}
void EllipseOurs(benchmark::State& state) { TimeBuild(state, Ellipse50, LargerEllipse); }
void EllipseBaseline(benchmark::State& state)
{
    TimeClear(state, Ellipse50);
}

// ---- bitmap nib rescaled from 50 to 150 %

std::unique_ptr<CPenShapeObj> BitmapNib()
{
    auto channel = std::make_unique<TChannel>(256, 256);
    auto item = std::make_unique<CPenShapeObj>();
    if (!channel->IsValid())
        return item;
    for (int32_t y = 0; y < 256; ++y)
        for (int32_t x = 0; x < 256; ++x) {
            const int32_t dx = x - 128, dy = y - 128;
            *channel->PixelPtr(x, y) = uint8_t(dx * dx + dy * dy < 120 * 120 ? (x * 13 + y * 7) & 127 : 255);
        }
    item->SetBitmap(std::move(channel));
    return item;
}

// Every scale from 50 to 150 %; the bytes of the grids built.
bool Rescale(CPenShape& shape, const CPenShapeObj& item, int64_t* bytes = nullptr)
{
    for (int32_t scale = 50; scale <= 150; ++scale) {
        if (!shape.MakeBitmap(item, scale * kOne, 100, 0, true))
            return false;
        if (bytes)
            *bytes += GridBytes(*shape.Grid());
    }
    return true;
}

void BitmapOurs(benchmark::State& state)
{
    Generator g;
    auto item = BitmapNib();
    int64_t bytes = 0;
    if (!Rescale(g.shape, *item, &bytes)) {
        state.SkipWithError("the nib was refused");
        return;
    }
    TimeEach(state, bytes, [&] { return Rescale(g.shape, *item); });
}

void BitmapBaseline(benchmark::State& state)
{
    Generator g;
    auto item = BitmapNib();
    std::vector<int64_t> sizes;
    for (int32_t scale = 50; scale <= 150; ++scale) {
        if (!g.shape.MakeBitmap(*item, scale * kOne, 100, 0, true)) {
            state.SkipWithError("the nib was refused");
            return;
        }
        sizes.push_back(GridBytes(*g.shape.Grid()));
    }
    std::vector<uint8_t> grids(size_t(*std::max_element(sizes.begin(), sizes.end())));
    int64_t total = 0;
    for (int64_t s : sizes)
        total += s;
    TimeEach(state, total, [&] {
        for (int64_t s : sizes) {
            std::memset(grids.data(), 0, size_t(s));
            benchmark::DoNotOptimize(grids.data());
        }
        return true;
    });
}

// ---- exact pencil dabs

constexpr int kDabs = 3000;
constexpr double kRadii[] = {0.7, 1.5, 2.9};

struct Dab {
    int32_t x, y; // 16.16 on a 256 x 256 surface
    double radius;
};

std::vector<Dab> Dabs()
{
    std::vector<Dab> dabs;
    uint32_t s = 12345;
    for (int i = 0; i < kDabs; ++i) {
        s = s * 134775813u + 1;
        const int32_t x = int32_t(8 * kOne + (s >> 8) % uint32_t(240 * kOne));
        s = s * 134775813u + 1;
        const int32_t y = int32_t(8 * kOne + (s >> 8) % uint32_t(240 * kOne));
        dabs.push_back({x, y, kRadii[i % 3]});
    }
    return dabs;
}

void ExactOurs(benchmark::State& state)
{
    Generator g;
    const std::vector<Dab> dabs = Dabs();
    TimeEach(state, kDabs, [&] {
        for (size_t i = 0; i < dabs.size(); ++i) {
            const Dab& d = dabs[i];
            if (!g.shape.RenderExactRound(d.x & 0xFFFF, d.y & 0xFFFF, (i & 1) != 0, int32_t(d.radius * kOne)))
                return false;
            benchmark::DoNotOptimize(g.shape.Grid()->density);
        }
        return true;
    });
}

// Each dab finished on its own: drawn and its atomic section ended.
void ExactMyPaint(benchmark::State& state)
{
    MyPaintFixedTiledSurface* fixed = mypaint_fixed_tiled_surface_new(256, 256);
    if (!fixed) {
        state.SkipWithError("libmypaint could not make the surface");
        return;
    }
    MyPaintSurface* surface = mypaint_fixed_tiled_surface_interface(fixed);
    const std::vector<Dab> dabs = Dabs();
    TimeEach(state, kDabs, [&] {
        for (const Dab& d : dabs) {
            mypaint_surface_begin_atomic(surface);
            mypaint_surface_draw_dab(surface, float(d.x) / kOne, float(d.y) / kOne, float(d.radius), 0.0f,
                                     0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
            MyPaintRectangle roi;
            mypaint_surface_end_atomic(surface, &roi);
        }
        return true;
    });
    mypaint_surface_unref(surface);
}

} // namespace

MORVANE_FIGURE(nib_round_r200, RoundOurs, RoundBaseline);
MORVANE_FIGURE(nib_ellipse_r50, EllipseOurs, EllipseBaseline);
MORVANE_FIGURE(nib_bitmap_rescale, BitmapOurs, BitmapBaseline);
MORVANE_FIGURE(nib_exact_dab, ExactOurs, ExactMyPaint);

} // namespace morvane::bench
