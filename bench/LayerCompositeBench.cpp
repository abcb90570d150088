// Compositing a committed 2048 x 2048 layer onto the opaque composite, row
// kernel by row kernel over TMTC rows, against pixman's matching operators.
// Pixman works on premultiplied colour and we do not; the pixels are random
// either way, so each side does its full per-pixel work.

#include <array>

#include "BenchSupport.h"
#include "PixmanBaseline.h"
#include "document/OpaqueComposite.h"
#include "document/SLayerParam.h"

namespace morvane::bench {
namespace {

constexpr int32_t kLayerSide = 2048;
constexpr size_t kLayerPixels = size_t(kLayerSide) * kLayerSide;
constexpr int64_t kLayerBytes = int64_t(kLayerPixels) * 4;
constexpr uint8_t kOpacity = 200;

struct ModePair {
    int mode;
    pixman_op_t op;
};

// The ten separable modes of the figure, and the four HSL modes.
constexpr std::array<ModePair, 10> kSeparable = {{
    {kModeMultiply, PIXMAN_OP_MULTIPLY},
    {kModeScreen, PIXMAN_OP_SCREEN},
    {kModeOverlay, PIXMAN_OP_OVERLAY},
    {kModeDarken, PIXMAN_OP_DARKEN},
    {kModeLighten, PIXMAN_OP_LIGHTEN},
    {kModeDifference, PIXMAN_OP_DIFFERENCE},
    {kModeDodge, PIXMAN_OP_COLOR_DODGE},
    {kModeBurn, PIXMAN_OP_COLOR_BURN},
    {kModeHardLight, PIXMAN_OP_HARD_LIGHT},
    {kModeSoftLight, PIXMAN_OP_SOFT_LIGHT},
}};
constexpr std::array<ModePair, 4> kHsl = {{
    {kModeHue, PIXMAN_OP_HSL_HUE},
    {kModeSaturation, PIXMAN_OP_HSL_SATURATION},
    {kModeColour, PIXMAN_OP_HSL_COLOR},
    {kModeLuminosity, PIXMAN_OP_HSL_LUMINOSITY},
}};
constexpr std::array<ModePair, 1> kNormal = {{{kModeNormal, PIXMAN_OP_OVER}}};

// The layer's pixels, random with random alpha, and an opaque composite.
struct Pictures {
    TMTC layer{kLayerSide, kLayerSide}, pristine{kLayerSide, kLayerSide}, target{kLayerSide, kLayerSide};
    Pictures()
    {
        FillRandom(layer, 11);
        FillRandom(pristine, 12);
        pristine.OrAll(0xFF000000u);
    }
    bool Valid() const { return layer.IsValid() && pristine.IsValid() && target.IsValid(); }
    void Reset() { target.CopyAll(pristine); }
};

// Each iteration composites the layer once in every mode of the set, so a
// figure over several modes is the ratio of the summed times.
template <size_t N>
void Ours(benchmark::State& state, const std::array<ModePair, N>& modes)
{
    Pictures p;
    if (!p.Valid()) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, kLayerBytes * int64_t(N), [&] {
        for (const ModePair& m : modes) {
            const OpaqueRowFn row = OpaqueRowKernel(m.mode);
            for (int32_t y = 0; y < kLayerSide; ++y)
                row(p.target.Row(y), p.layer.Row(y), kLayerSide, kOpacity);
        }
        return true;
    }, [&] { p.Reset(); });
}

// The layer through pixman with a solid mask of the same opacity.
template <size_t N>
void Pixman(benchmark::State& state, const std::array<ModePair, N>& modes)
{
    Pictures p;
    const pixman_color_t opacity{0, 0, 0, uint16_t(kOpacity * 257)};
    pixman_image_t* src = p.Valid() ? WrapForPixman(p.layer) : nullptr;
    pixman_image_t* dst = p.Valid() ? WrapForPixman(p.target) : nullptr;
    pixman_image_t* mask = pixman_image_create_solid_fill(&opacity);
    if (!src || !dst || !mask)
        state.SkipWithError("pixman could not create the images");
    else
        TimeEach(state, kLayerBytes * int64_t(N), [&] {
            for (const ModePair& m : modes)
                pixman_image_composite32(m.op, src, mask, dst, 0, 0, 0, 0, 0, 0, kLayerSide, kLayerSide);
            return true;
        }, [&] { p.Reset(); });
    for (pixman_image_t* image : {src, dst, mask})
        if (image)
            pixman_image_unref(image);
}

void SeparableOurs(benchmark::State& state) { Ours(state, kSeparable); }
void SeparablePixman(benchmark::State& state) { Pixman(state, kSeparable); }
void HslOurs(benchmark::State& state) { Ours(state, kHsl); }
void HslPixman(benchmark::State& state) { Pixman(state, kHsl); }
void NormalOurs(benchmark::State& state) { Ours(state, kNormal); }
void NormalPixman(benchmark::State& state) { Pixman(state, kNormal); }

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(composite_separable_vs_pixman, SeparableOurs, SeparablePixman);
MORVANE_FIGURE(composite_hsl_vs_pixman, HslOurs, HslPixman);
MORVANE_FIGURE(composite_normal_vs_pixman_over, NormalOurs, NormalPixman);
