// The pen renderer's dabs against libmypaint's: hard round airbrush dabs of
// radius 5 and 50, the same with a mask, a tone and a gradation in the
// chain, and burn dabs. libmypaint paints the same radii, hardness 1,
// opaque 1, into a 4096 x 4096 fixed tiled surface, timed through end_atomic.

#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "MyPaintBaseline.h"
#include "paint/CPenRender.h"
#include "paint/PaintHooks.h"
#include "paint/TStroke.h"
#include "storage/TChannel.h"

namespace morvane::bench {
namespace {

// Scattered over the picture, the same every run.
std::vector<DabPlace> Places(int count, float radius)
{
    std::vector<DabPlace> places;
    uint32_t s = 4321;
    const float span = float(kSide) - 2 * radius;
    for (int i = 0; i < count; ++i) {
        s = s * 134775813u + 1;
        const float x = radius + float(s >> 8) / float(1 << 24) * span;
        s = s * 134775813u + 1;
        const float y = radius + float(s >> 8) / float(1 << 24) * span;
        places.push_back({x, y});
    }
    return places;
}

// Cheap row fakes for the chain figure: a dotted tone, a soft mask, a
// horizontal colour ramp.
class StripeModifier final : public AlphaModifier {
public:
    explicit StripeModifier(uint8_t base) : base_(base) {}
    EdgeRect Extent() const override { return {0, 0, kSide, kSide}; }
    void Row(int32_t x, int32_t y, int32_t count, uint8_t* out) const override
    {
        for (int32_t i = 0; i < count; ++i)
            out[i] = uint8_t(base_ + ((x + i + y) & 63));
    }

private:
    uint8_t base_;
};

class RampGradation final : public ColourSource {
public:
    void Row(int32_t x, int32_t, int32_t count, uint32_t* out) const override
    {
        for (int32_t i = 0; i < count; ++i)
            out[i] = 0xFF000000u | uint32_t((x + i) & 255) << 8 | 0x40;
    }
};

struct Scene {
    TStroke stroke;
    CPenRender pen{stroke};
    TMTC image{kSide, kSide};
    TMTC fresh;
    TChannel coverage;
    StripeModifier mask{190}, tone{150};
    RampGradation gradation;
    PenStrokeSetup setup;

    Scene(RenderClass renderClass, bool halfTransparent, bool chain)
    {
        BrushMethodRecord method;
        method.renderClass = uint8_t(renderClass);
        method.effect1 = renderClass == RenderClass::BurnDodge ? 50 : 0;
        pen.SetMethod(method);
        AirMapRecord airMap;
        airMap.flat = 1000; // hard: full density up to the antialiased rim
        pen.SetAirMap(airMap);
        if (!image.IsValid())
            return;
        FillRandom(image, 11);
        image.OrAll(0xFF000000u);
        if (halfTransparent)
            image.SetAlpha({0, 0, kSide / 2, kSide}, 0);
        if (chain) {
            stroke.SetUseTone(true);
            stroke.SetUseGradation(true);
            setup.mask = &mask;
            setup.tone = &tone;
            setup.gradation = &gradation;
        }
        if (halfTransparent && fresh.Resize(kSide, kSide))
            fresh.CopyAll(image);
    }

    bool Run(const std::vector<DabPlace>& places, float radius)
    {
        if (!image.IsValid() || !pen.Prepare(image, setup, places[0].x, places[0].y))
            return false;
        for (const DabPlace& p : places)
            pen.Stamp(image, coverage, {p.x, p.y, 1.0f, radius, 0xFF3060C0});
        benchmark::DoNotOptimize(image.Row(0));
        return true;
    }
};

void Ours(benchmark::State& state, RenderClass renderClass, int count, float radius, bool halfTransparent,
          bool chain)
{
    Scene scene(renderClass, halfTransparent, chain);
    const std::vector<DabPlace> places = Places(count, radius);
    const auto run = [&] { return scene.Run(places, radius); };
    if (halfTransparent)
        TimeEach(state, count, run, [&] { scene.image.CopyAll(scene.fresh); });
    else
        TimeEach(state, count, run);
}

void MyPaint(benchmark::State& state, int count, float radius)
{
    TimeMyPaintDabs(state, kSide, Places(count, radius), radius);
}

void DrawR5(benchmark::State& state)
{
    Ours(state, RenderClass::Draw, 10000, 5, false, false);
}
void DrawR50(benchmark::State& state)
{
    Ours(state, RenderClass::Draw, 2000, 50, true, false);
}
void ChainR50(benchmark::State& state)
{
    Ours(state, RenderClass::Draw, 2000, 50, true, true);
}
void BurnR50(benchmark::State& state)
{
    Ours(state, RenderClass::BurnDodge, 2000, 50, false, false);
}
void MyPaintR5(benchmark::State& state)
{
    MyPaint(state, 10000, 5);
}
void MyPaintR50(benchmark::State& state)
{
    MyPaint(state, 2000, 50);
}

} // namespace

MORVANE_FIGURE(dab_draw_r5, DrawR5, MyPaintR5);
MORVANE_FIGURE(dab_draw_r50, DrawR50, MyPaintR50);
MORVANE_FIGURE(dab_chain_r50, ChainR50, MyPaintR50);
MORVANE_FIGURE(dab_burn_r50, BurnR50, MyPaintR50);

} // namespace morvane::bench
