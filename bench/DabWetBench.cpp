// The pen renderer's blur and fingertip dabs of radius 50 against
// libmypaint's plain dabs of the same radius (hardness 1, opaque 1) on a
// 4096 x 4096 fixed tiled surface, timed through end_atomic.

#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "MyPaintBaseline.h"
#include "paint/CPenRender.h"
#include "paint/TStroke.h"
#include "storage/CBlockVMTC.h"
#include "storage/TChannel.h"

namespace morvane::bench {
namespace {

constexpr int kDabs = 400;
constexpr float kRadius = 50;

// Blur: scattered over the picture, the same every run.
std::vector<DabPlace> Scattered()
{
    std::vector<DabPlace> places;
    uint32_t s = 4321;
    const float span = float(kSide) - 2 * kRadius;
    for (int i = 0; i < kDabs; ++i) {
        s = s * 134775813u + 1;
        const float x = kRadius + float(s >> 8) / float(1 << 24) * span;
        s = s * 134775813u + 1;
        const float y = kRadius + float(s >> 8) / float(1 << 24) * span;
        places.push_back({x, y});
    }
    return places;
}

// Fingertip: a stroke along a line, dabs 5.3 px apart (spacing 0.1).
std::vector<DabPlace> AlongALine()
{
    std::vector<DabPlace> places;
    for (int i = 0; i < kDabs; ++i)
        places.push_back({100.0f + 5.3f * float(i), 1000.0f + 0.37f * float(i)});
    return places;
}

struct Scene {
    TStroke stroke;
    CPenRender pen{stroke};
    TMTC image{kSide, kSide};
    std::unique_ptr<CBlockVMTC> layer = std::make_unique<CBlockVMTC>(kSide, kSide);
    TChannel coverage;
    PenStrokeSetup setup;

    explicit Scene(RenderClass renderClass)
    {
        BrushMethodRecord method;
        method.renderClass = uint8_t(renderClass);
        method.effect1 = 100; // the blur's L = N
        pen.SetMethod(method);
        if (!image.IsValid() || !layer->IsValid())
            return;
        FillRandom(image, 11);
        image.SetAlpha({0, 0, kSide, kSide / 3}, 0); // some of it transparent
        layer->CopyIn(image, {0, 0}, 255, {0, 0, kSide, kSide});
        setup.blurSource = layer.get();
    }

    bool Run(const std::vector<DabPlace>& places)
    {
        if (!image.IsValid() || !pen.Prepare(image, setup, places[0].x, places[0].y))
            return false;
        for (const DabPlace& p : places)
            pen.Stamp(image, coverage, {p.x, p.y, 1.0f, kRadius, 0xFF3060C0});
        pen.EndStroke();
        benchmark::DoNotOptimize(image.Row(0));
        return true;
    }
};

void Ours(benchmark::State& state, RenderClass renderClass, const std::vector<DabPlace>& places)
{
    Scene scene(renderClass);
    TimeEach(state, kDabs, [&] { return scene.Run(places); });
}

void MyPaint(benchmark::State& state, const std::vector<DabPlace>& places)
{
    TimeMyPaintDabs(state, kSide, places, kRadius);
}

void BlurR50(benchmark::State& state)
{
    Ours(state, RenderClass::Blur, Scattered());
}
void FingertipR50(benchmark::State& state)
{
    Ours(state, RenderClass::Fingertip, AlongALine());
}
void MyPaintScattered(benchmark::State& state)
{
    MyPaint(state, Scattered());
}
void MyPaintLine(benchmark::State& state)
{
    MyPaint(state, AlongALine());
}

} // namespace

MORVANE_FIGURE(dab_blur_r50, BlurR50, MyPaintScattered);
MORVANE_FIGURE(dab_fingertip_r50, FingertipR50, MyPaintLine);

} // namespace morvane::bench
