// The integer blend arithmetic: the tables, the per-pixel blends and the
// SIMD row kernels, which must equal the scalar reference bit for bit.
#include <gtest/gtest.h>

#include <vector>

#include "storage/BlendTables.h"
#include "storage/PixelKernels.h"

using namespace morvane;

TEST(BlendTables, MatchTheirDefinitions)
{
    for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j) {
            ASSERT_EQ(MulTable[i][j], i * j / 255);
            ASSERT_EQ(TintTable[i][j], 255 - i * (255 - j) / 255);
            const int k = j < 128 ? j : j - 256;
            ASSERT_EQ(int8_t(DeltaTable[i][j]), int8_t(i * k * 2 / 255)) << i << "," << j;
        }
    // Values beyond a signed byte survive modulo 256.
    EXPECT_EQ(DeltaTable[255][127], 254);
    EXPECT_EQ(DeltaTable[255][128], 0); // -256 wraps to 0
    EXPECT_EQ(DeltaTable[255][129], 2); // -254
}

TEST(BlendTables, DivisionBy255IsExact)
{
    for (uint32_t x = 0; x <= 65025; ++x)
        ASSERT_EQ((x * kDiv255Mul) >> 23, x / 255) << x;
    for (uint32_t s = 0; s < 256; s += 5)
        for (uint32_t d = 0; d < 256; d += 3)
            for (uint32_t a = 0; a < 256; ++a)
                ASSERT_EQ(Lerp255(s, d, a), (s * a + d * (255 - a)) / 255);
}

TEST(BlendPixel, ColourMultiplyAddSubtract)
{
    struct Case {
        const char* what;
        uint32_t got, want;
    };
    uint32_t white = 0x00FFFFFF, black = 0x7F000000;
    uint32_t halfWhite = black, opaque = black, untouched = black;
    BlendColour(halfWhite, white, 128);
    BlendColour(opaque, 0xAB123456, 255);
    BlendColour(untouched, white, 0);
    uint32_t fast = 0x00000010;
    BlendColourFast(fast, 0x00000090, 128);
    const Case cases[] = {
        {"white into black at 128 keeps alpha", halfWhite, 0x7F808080},
        {"alpha 255 replaces colour only", opaque, 0x7F123456},
        {"alpha 0 changes nothing", untouched, 0x7F000000},
        {"table blend moves half way", fast, 0x00000010u + uint32_t(int8_t(DeltaTable[128][64]))},
        {"multiply by white at full strength is identity", MultiplyPixel(0x11806040, 0x00FFFFFF, 255), 0x11806040},
        {"multiply by black at 0 is identity (tinted to white)", MultiplyPixel(0x11806040, 0, 0), 0x11806040},
        {"multiply by black at 255", MultiplyPixel(0x11806040, 0, 255), 0x11000000},
        {"add saturates", AddPixel(0x22F01000, 0x00808080, 255), 0x22FF9080},
        {"subtract floors at 0", SubtractPixel(0x22F01000, 0x00808080, 255), 0x22700000},
        {"add at half strength", AddPixel(0x00000000, 0x00FF0000, 128), 0x00800000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_EQ(PixelFromSystemColour(0x00332211), 0x00112233u);
}

namespace {
// Every (s, d, a) triple in every colour byte, plus row lengths that leave
// tails for the vector loops.
void ExpectSameAsScalar(const kernels::KernelSet& k)
{
    const kernels::KernelSet& ref = kernels::Scalar();
    std::vector<uint32_t> base(256 + 7), a1, a2, src(base.size());
    for (size_t i = 0; i < base.size(); ++i) {
        uint32_t d = uint32_t(i & 0xFF);
        base[i] = d | ((255 - d) << 8) | ((d ^ 0x5A) << 16) | ((d * 7 & 0xFF) << 24);
    }
    for (uint32_t a = 1; a < 255; ++a)
        for (uint32_t s = 0; s < 256; ++s) {
            const uint32_t colour = s | ((255 - s) << 8) | ((s ^ 0xA5) << 16) | 0x5A000000;
            const int32_t n = int32_t(256 + (s % 8));
            a1 = base;
            a2 = base;
            ref.blendColourRow(a1.data(), n, colour, a);
            k.blendColourRow(a2.data(), n, colour, a);
            ASSERT_EQ(a1, a2) << k.name << " colour row, a=" << a << " s=" << s;

            for (size_t i = 0; i < src.size(); ++i)
                src[i] = base[(i + s) % base.size()] ^ 0x00FFFFFFu;
            a1.assign(base.size(), colour);
            a2.assign(base.size(), colour);
            ref.blendRow(a1.data(), src.data(), n, a);
            k.blendRow(a2.data(), src.data(), n, a);
            ASSERT_EQ(a1, a2) << k.name << " row, a=" << a << " s=" << s;
        }
}
} // namespace

TEST(PixelKernels, SimdEqualsScalarOverAllInputs)
{
    int checked = 0;
    for (const kernels::KernelSet* k : {kernels::Sse2(), kernels::Avx2()})
        if (k) {
            ExpectSameAsScalar(*k);
            ++checked;
        }
    if (checked == 0)
        GTEST_SKIP() << "no SIMD kernels on this processor";
}

TEST(PixelKernels, ScalarRowMatchesBlendColour)
{
    uint32_t row[3] = {0xFF000000, 0x80FFFFFF, 0x00102030};
    kernels::Scalar().blendColourRow(row, 3, 0x00FFFFFF, 128);
    EXPECT_EQ(row[0], 0xFF808080u);
    EXPECT_EQ(row[1], 0x80FFFFFFu);
    EXPECT_EQ(row[2], 0x00878F97u);
}
