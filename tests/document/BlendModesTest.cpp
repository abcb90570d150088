// The blend modes one pixel at a time: a table of cases per mode, worked out
// by hand from the formulas, through the opaque composite step.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "document/BlendModes.h"
#include "document/OpaqueComposite.h"
#include "document/SLayerParam.h"

namespace morvane {
namespace {

struct GreyCase {
    int d, s, a, expected;
};

uint32_t Grey(int v, int alpha) { return uint32_t(alpha) << 24 | uint32_t(v) * 0x010101u; }

// Grey target d, grey layer pixel s of alpha a, opacity 255: the composite
// becomes `expected` in every colour byte.
const std::map<int, std::vector<GreyCase>> kGreyCases = {
    {kModeMultiply, {{128, 128, 255, 64}, {200, 100, 128, 139}, {255, 0, 255, 0}, {77, 0, 0, 77},
                     {255, 255, 255, 255}}},
    {kModeAdd, {{200, 100, 255, 255}, {10, 100, 128, 60}, {0, 255, 1, 1}}},
    {kModeSubtract, {{200, 100, 255, 100}, {10, 100, 128, 0}, {255, 255, 254, 1}}},
    {kModeNormal, {{0, 255, 128, 128}, {255, 0, 128, 127}, {10, 200, 255, 200}, {10, 200, 0, 10}}},
    {kModeScreen, {{128, 128, 255, 192}, {255, 0, 255, 255}, {100, 200, 100, 147}}},
    {kModeOverlay, {{127, 255, 255, 254}, {128, 0, 255, 1}, {64, 200, 255, 100}, {200, 64, 128, 185}}},
    {kModeHardLight, {{255, 127, 255, 254}, {0, 128, 255, 1}, {200, 64, 255, 100}, {64, 200, 128, 118}}},
    {kModeSoftLight, {{0, 255, 255, 0}, {64, 200, 255, 99}, {16, 200, 255, 36}, {200, 64, 255, 178},
                      {255, 0, 255, 255}, {128, 128, 255, 128}, {100, 127, 128, 99}}},
    {kModeDifference, {{10, 200, 255, 190}, {200, 10, 128, 194}}},
    {kModeExclusion, {{128, 128, 255, 128}, {255, 255, 255, 0}, {100, 50, 200, 109}}},
    {kModeDarken, {{10, 200, 255, 10}, {200, 10, 128, 104}}},
    {kModeLighten, {{10, 200, 255, 200}, {200, 10, 128, 200}}},
    {kModeBurn, {{254, 0, 255, 0}, {255, 0, 255, 255}, {200, 100, 255, 115}, {0, 255, 255, 0}, {100, 50, 128, 49}}},
    {kModeDodge, {{0, 255, 255, 0}, {1, 255, 255, 255}, {100, 100, 255, 164}, {200, 200, 255, 255},
                  {100, 50, 128, 112}}},
    {kModeSubtractNegative, {{200, 100, 255, 45}, {200, 255, 255, 200}, {50, 0, 128, 0}}},
    {kModeLinearLight, {{0, 128, 255, 0}, {100, 200, 255, 244}, {100, 30, 255, 0}, {100, 127, 128, 98}}},
    {kModeVividLight, {{100, 255, 255, 255}, {100, 0, 255, 0}, {100, 200, 255, 231}, {100, 50, 255, 0},
                       {200, 127, 128, 200}}},
    {kModePinLight, {{100, 200, 255, 145}, {200, 50, 255, 100}, {10, 150, 255, 45}, {100, 120, 128, 100}}},
};

TEST(BlendModes, GreyTablePerMode)
{
    for (const auto& [mode, cases] : kGreyCases)
        for (const GreyCase& c : cases) {
            const uint32_t d = Grey(c.d, 255);
            EXPECT_EQ(OpaqueCompositePixel(mode, d, Grey(c.s, c.a), 255), Grey(c.expected, 255))
                << "mode " << mode << " d " << c.d << " s " << c.s << " a " << c.a;
        }
}

// The HSL modes on coloured pixels (0xRRGGBB), alpha 255. The first two hue
// cases pin SetHSL's third step to the maximum of the scaled bytes: with the
// maximum before scaling they would give 0x7373C5 and 0xC3BEBE.
TEST(BlendModes, HslTable)
{
    struct Case {
        int mode;
        uint32_t d, s, expected;
    };
    const Case cases[] = {
        {kModeHue, 0xC86432, 0x0000FF, 0x6B6BFF},        {kModeHue, 0xC8BEB4, 0xFF0000, 0xCEBABA},
        {kModeHue, 0x808080, 0xFF0000, 0x808080},        {kModeSaturation, 0xC86432, 0x808080, 0x7C7C7C},
        {kModeSaturation, 0xC86432, 0x00FF00, 0xFA5300}, {kModeColour, 0x808080, 0xFF0000, 0xFF4A4A},
        {kModeColour, 0x14283C, 0xC86432, 0x481800},     {kModeLuminosity, 0xFF0000, 0xFFFFFF, 0xFFFFFF},
        {kModeLuminosity, 0xC86432, 0x000000, 0x000000}, {kModeLuminosity, 0x0AC81E, 0x5A5A5A, 0x00970F},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(blend::CombinePixel(c.mode, c.d | 0xFF000000u, c.s | 0xFF000000u), c.expected | 0xFF000000u)
            << "mode " << c.mode << " d " << std::hex << c.d << " s " << c.s;
        // At full strength the composite takes the combined colour.
        EXPECT_EQ(OpaqueCompositePixel(c.mode, c.d | 0xFF000000u, c.s | 0xFF000000u, 255), c.expected | 0xFF000000u);
    }
    // The result's alpha is that of SetHSL's first argument.
    EXPECT_EQ(blend::CombinePixel(kModeHue, 0x10C86432, 0x200000FF) >> 24, 0x20u);
    EXPECT_EQ(blend::CombinePixel(kModeLuminosity, 0x10C86432, 0x200000FF) >> 24, 0x10u);
}

TEST(BlendModes, SoftLightCurveBranches)
{
    // x = 0x4000 still takes the polynomial: ((16x - 12) x + 4) x at x = 1/4 is 1/2.
    EXPECT_EQ(blend::SoftLightCurve(0x4000), 0x8000);
    EXPECT_EQ(blend::SoftLightCurve(0x4001), 32769); // round(sqrt(0x4001 * 65536)) = 32768.99..
    EXPECT_EQ(blend::SoftLightCurve(0x10000), 0x10000);
    EXPECT_EQ(blend::SoftLightCurve(0), 0);
}

TEST(BlendModes, ModesOutsideTheTableAreRefused)
{
    for (int mode : {-1, 22, 255, 1 << 20}) {
        EXPECT_EQ(LayerParam(mode), nullptr);
        EXPECT_EQ(OpaqueRowKernel(mode), nullptr);
        EXPECT_EQ(OpaqueColourRowKernel(mode), nullptr);
        EXPECT_EQ(blend::ChannelTable(mode), nullptr);
        EXPECT_EQ(OpaqueCompositePixel(mode, 0xFF102030u, 0xFFFFFFFFu, 255), 0xFF102030u);
    }
    for (int mode = 0; mode < kModeCount; ++mode)
        ASSERT_EQ(LayerParam(mode)->Mode, mode);
}

// A new layer is filled with its mode's NewLayerColour at alpha 0, so it
// changes nothing. The modes flagged as offering a neutral fill leave every
// target unchanged even at full alpha when that colour is black or white (a
// multiply layer of white, say) and within 2 when it is the 0x7F grey.
TEST(BlendModes, NewLayerColourChangesNothing)
{
    for (int mode = 0; mode < kModeCount; ++mode) {
        const SLayerParam& p = *LayerParam(mode);
        const int tolerance = p.NewLayerColour == 0x7F7F7F ? 2 : 0;
        for (int d = 0; d < 256; ++d) {
            const uint32_t target = Grey(d, 255);
            ASSERT_EQ(OpaqueCompositePixel(mode, target, p.NewLayerColour, 255), target) << mode;
            if (!(p.Flags & kFlagNeutralFill))
                continue;
            const int v = int(OpaqueCompositePixel(mode, target, p.NewLayerColour | 0xFF000000u, 255) & 0xFF);
            ASSERT_LE(std::abs(v - d), tolerance) << "mode " << mode << " d " << d;
        }
    }
}

} // namespace
} // namespace morvane
