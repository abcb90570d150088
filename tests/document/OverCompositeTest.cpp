// Compositing that keeps transparency: the closed forms, the merge functions
// and the general over operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "Oracle.h"
#include "document/OpaqueComposite.h"
#include "document/OverComposite.h"
#include "document/SLayerParam.h"

namespace morvane {
namespace {

uint32_t Grey(int v, int alpha) { return uint32_t(alpha) << 24 | uint32_t(v) * 0x010101u; }

// Grey target d of alpha ta, grey layer pixel s of alpha sal at opacity o:
// every colour byte becomes c and the alpha ra.
struct OverCase {
    int d, ta, s, sal, o, c, ra;
};

struct FormTable {
    OverForm form;
    int layerMode; // for General
    std::vector<OverCase> cases;
};

const FormTable kTables[] = {
    {OverForm::MultiplyOver, 0,
     {{0, 0, 0, 255, 128, 0, 128}, {0, 128, 255, 255, 128, 85, 192}, {255, 128, 0, 255, 128, 85, 192},
      {100, 200, 50, 255, 255, 25, 255}, {100, 128, 200, 255, 64, 115, 160}, {37, 255, 200, 255, 200, 30, 255}}},
    {OverForm::ScreenOver, 0,
     {{0, 128, 255, 255, 128, 170, 192}, {100, 200, 50, 255, 255, 113, 255}, {100, 128, 200, 255, 64, 144, 160},
      {37, 255, 200, 255, 200, 171, 255}}},
    {OverForm::DifferenceOver, 0,
     {{0, 128, 255, 255, 128, 170, 192}, {100, 200, 50, 255, 255, 28, 255}, {100, 128, 200, 255, 64, 119, 160},
      {37, 255, 200, 255, 200, 135, 255}}},
    // The first two rows: black at half strength onto nothing stays black;
    // onto half-covered white it darkens as standard alpha blending does.
    {OverForm::DarkenOver, 0,
     {{0, 0, 0, 255, 128, 0, 128}, {255, 128, 0, 255, 128, 85, 192}, {0, 128, 255, 255, 128, 85, 192},
      {100, 200, 50, 255, 255, 50, 255}, {100, 128, 200, 255, 64, 131, 160}, {37, 255, 200, 255, 200, 37, 255}}},
    {OverForm::LightenOver, 0,
     {{0, 128, 255, 255, 128, 170, 192}, {100, 200, 50, 255, 255, 78, 255}, {100, 128, 200, 255, 64, 139, 160},
      {37, 255, 200, 255, 200, 164, 255}}},
    {OverForm::NormalOver, 0,
     {{0, 0, 0, 255, 128, 0, 128}, {0, 128, 255, 255, 128, 170, 191}, {255, 128, 0, 255, 128, 85, 191},
      {100, 200, 50, 255, 255, 50, 255}, {100, 128, 200, 255, 64, 140, 159}, {37, 255, 200, 255, 200, 164, 255}}},
    {OverForm::WeightedOver, 0,
     {{0, 0, 0, 255, 128, 0, 128}, {0, 128, 255, 255, 128, 128, 255}, {100, 200, 50, 255, 255, 128, 255},
      {100, 128, 200, 255, 64, 100, 255}, {37, 255, 200, 255, 200, 193, 255}}},
    // The general form: s' = ((255 - ta) s + ta F) / 255 over t, here overlay.
    {OverForm::General, kModeOverlay,
     {{0, 128, 255, 255, 128, 84, 192}, {255, 128, 0, 255, 128, 170, 192}, {100, 200, 50, 255, 255, 41, 255},
      {100, 128, 200, 255, 64, 130, 160}, {37, 255, 200, 255, 200, 53, 255}}},
    // Multiply through its own function at sa, weighted by the target's alpha.
    {OverForm::General, kModeMultiply,
     {{0, 0, 0, 255, 128, 0, 128}, {0, 128, 255, 255, 128, 84, 192}, {100, 128, 200, 255, 64, 115, 160}}},
};

TEST(OverComposite, TablePerForm)
{
    for (const FormTable& table : kTables)
        for (const OverCase& c : table.cases)
            EXPECT_EQ(OverPixel(table.form, table.layerMode, Grey(c.d, c.ta), Grey(c.s, c.sal), uint8_t(c.o)),
                      Grey(c.c, c.ra))
                << "form " << int(table.form) << " mode " << table.layerMode << " d " << c.d << " ta " << c.ta
                << " s " << c.s << " o " << c.o;
}

uint32_t OracleForm(OverForm form, int mode, uint32_t t, uint32_t s, int o)
{
    switch (form) {
    case OverForm::NormalOver: return oracle::NormalOver(t, s, o);
    case OverForm::WeightedOver: return oracle::WeightedOver(t, s, o);
    case OverForm::MultiplyOver: return oracle::UnionOver(t, s, o, [](const auto& v, int) { return oracle::MultiplyOver(v); });
    case OverForm::ScreenOver: return oracle::UnionOver(t, s, o, [](const auto& v, int) { return oracle::ScreenOver(v); });
    case OverForm::DifferenceOver:
        return oracle::UnionOver(t, s, o, [](const auto& v, int) { return oracle::DifferenceOver(v); });
    case OverForm::DarkenOver: return oracle::UnionOver(t, s, o, [](const auto& v, int) { return oracle::DarkenOver(v); });
    case OverForm::LightenOver: return oracle::UnionOver(t, s, o, [](const auto& v, int) { return oracle::LightenOver(v); });
    case OverForm::General: return oracle::GeneralOver(mode, t, s, o);
    }
    return 0;
}

// Every closed form, and the general form of every mode, row by row against
// the transcription; the colour-row kernels against rows of one colour.
TEST(OverComposite, EveryFormMatchesTheFormula)
{
    struct Kernel {
        OverForm form;
        int mode;
    };
    std::vector<Kernel> kernels;
    for (OverForm f : {OverForm::NormalOver, OverForm::MultiplyOver, OverForm::WeightedOver, OverForm::ScreenOver,
                       OverForm::DifferenceOver, OverForm::DarkenOver, OverForm::LightenOver})
        kernels.push_back({f, 0});
    for (int mode = 0; mode < kModeCount; ++mode)
        kernels.push_back({OverForm::General, mode});

    oracle::PixelSource random(4321);
    constexpr int n = 61;
    std::vector<uint32_t> dst(n), src(n), before(n), solid(n);
    for (const Kernel& k : kernels) {
        const OverRowFn row = OverRowKernel(k.form, k.mode);
        ASSERT_NE(row, nullptr);
        for (int rep = 0; rep < 300; ++rep) {
            const int o = rep < 2 ? rep * 255 : random.Byte();
            for (int i = 0; i < n; ++i) {
                before[i] = dst[i] = random.Pixel();
                src[i] = random.Pixel();
            }
            row(dst.data(), src.data(), n, uint8_t(o));
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(dst[i], OracleForm(k.form, k.mode, before[i], src[i], o))
                    << "form " << int(k.form) << " mode " << k.mode << " o " << o << std::hex << " t " << before[i]
                    << " s " << src[i];
            solid = before;
            OverColourRowKernel(k.form, k.mode)(solid.data(), src[0], n, uint8_t(o));
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(solid[i], OracleForm(k.form, k.mode, before[i], src[0], o));
        }
    }
}

// Every normal-over kernel equals the per-pixel form for every pair of
// alphas at a spread of opacities, both writing a separate row and in place
// (the merge's fresh block and the composite's target).
TEST(OverComposite, VectorNormalOverEqualsScalar)
{
    const std::vector<OverFromRowFn> kernels = NormalOverFromVariants();
    ASSERT_FALSE(kernels.empty());
    const OverRowFn inPlace = OverRowKernel(OverForm::NormalOver, 0);
    oracle::PixelSource random(31);
    constexpr int n = 65536 + 15; // leaves tails for the wider forms
    std::vector<uint32_t> under(n), src(n), dst(n);
    for (int o : {0, 1, 77, 128, 200, 254, 255}) {
        for (int i = 0; i < n; ++i) {
            under[i] = uint32_t(i & 0xFF) << 24 | (random.Pixel() & 0xFFFFFFu);
            src[i] = uint32_t((i >> 8) & 0xFF) << 24 | (random.Pixel() & 0xFFFFFFu);
        }
        auto check = [&](const char* form, size_t k) {
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(dst[i], NormalOverPixel(under[i], src[i], uint8_t(o)))
                    << form << " " << k << " o " << o << std::hex << " t " << under[i] << " s " << src[i];
        };
        for (size_t k = 0; k < kernels.size(); ++k) {
            std::fill(dst.begin(), dst.end(), 0x12345678u);
            kernels[k](dst.data(), under.data(), src.data(), n, uint8_t(o));
            check("separate", k);
            dst = under;
            kernels[k](dst.data(), dst.data(), src.data(), n, uint8_t(o));
            check("in place", k);
        }
        dst = under;
        inPlace(dst.data(), src.data(), n, uint8_t(o));
        check("row kernel", 0);
    }
}

// On an opaque target the general form is the opaque composite, for every
// mode; on an empty one it is the layer pixel at its effective alpha.
TEST(OverComposite, GeneralMeetsTheOpaquePathAndEmptyPaper)
{
    oracle::PixelSource random(55);
    for (int mode = 0; mode < kModeCount; ++mode)
        for (int rep = 0; rep < 3000; ++rep) {
            const uint32_t t = random.Pixel() | 0xFF000000u, s = random.Pixel();
            const uint8_t o = uint8_t(random.Byte());
            ASSERT_EQ(GeneralOverPixel(mode, t, s, o), OpaqueCompositePixel(mode, t, s, o) | 0xFF000000u)
                << "mode " << mode << std::hex << " t " << t << " s " << s;
            const uint32_t empty = random.Pixel() & 0x00FFFFFFu;
            const uint32_t sa = (s >> 24) * o / 255;
            const uint32_t expected = sa == 0 ? empty : (sa << 24 | (s & 0x00FFFFFFu));
            ASSERT_EQ(GeneralOverPixel(mode, empty, s, o), expected) << "mode " << mode;
        }
}

// The general form is the model the multiply-over and normal-over closed
// forms compute; only their rounding differs: the alpha by at most one level,
// the colour by at most 3 levels once weighted by the alpha (a colour over a
// small alpha is divided by it, which magnifies the rounding).
TEST(OverComposite, GeneralAgreesWithTheClosedFormsToRounding)
{
    oracle::PixelSource random(77);
    for (auto [form, mode] : {std::pair{OverForm::MultiplyOver, 0}, std::pair{OverForm::NormalOver, 3}})
        for (int rep = 0; rep < 20000; ++rep) {
            const uint32_t t = random.Pixel(), s = random.Pixel();
            const uint8_t o = uint8_t(random.Byte());
            const uint32_t general = GeneralOverPixel(mode, t, s, o), closed = OverPixel(form, mode, t, s, o);
            const int ra = oracle::ByteOf(closed, 3);
            ASSERT_LE(std::abs(oracle::ByteOf(general, 3) - ra), 1);
            for (int i = 0; i < 3; ++i)
                ASSERT_LE(std::abs(oracle::ByteOf(general, i) - oracle::ByteOf(closed, i)) * ra, 3 * 255)
                    << "mode " << mode << std::hex << " t " << t << " s " << s << " o " << int(o);
        }
}

TEST(OverComposite, PairLookupHonoursTheMethodLimit)
{
    struct Case {
        int target, layer, method;
        OverForm form;
    };
    const Case cases[] = {
        {0, 0, 1, OverForm::MultiplyOver}, {2, 2, 1, OverForm::WeightedOver}, {3, 0, 1, OverForm::General},
        {3, 0, 2, OverForm::MultiplyOver}, {0, 3, 2, OverForm::NormalOver},   {3, 3, 2, OverForm::General},
        {3, 3, 3, OverForm::NormalOver},   {1, 1, 2, OverForm::General},      {1, 1, 3, OverForm::WeightedOver},
        {3, 5, 3, OverForm::General},      {0, 2, 3, OverForm::General},      {3, 3, 0, OverForm::General},
        {3, 3, 9, OverForm::NormalOver},   {-1, 3, 3, OverForm::General},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PairForm(c.target, c.layer, c.method), c.form)
            << c.target << " " << c.layer << " method " << c.method;
}

TEST(OverComposite, MergeDownFormByUpperMode)
{
    const std::pair<int, OverForm> closed[] = {
        {0, OverForm::MultiplyOver}, {1, OverForm::WeightedOver},   {2, OverForm::WeightedOver},
        {3, OverForm::NormalOver},   {4, OverForm::ScreenOver},     {8, OverForm::DifferenceOver},
        {10, OverForm::DarkenOver},  {11, OverForm::LightenOver},
    };
    for (int mode = -1; mode <= kModeCount; ++mode) {
        OverForm expected = OverForm::General;
        for (auto [m, f] : closed)
            if (m == mode)
                expected = f;
        EXPECT_EQ(MergeDownForm(mode), expected) << mode;
    }
    EXPECT_EQ(OverRowKernel(OverForm::General, kModeCount), nullptr);
    EXPECT_EQ(OverColourRowKernel(OverForm::General, -1), nullptr);
    EXPECT_EQ(GeneralOverPixel(99, 0x80123456u, 0xFFFFFFFFu, 255), 0x80123456u);
}

} // namespace
} // namespace morvane
