// The opaque composite's row kernels against the literal formulas.
#include <gtest/gtest.h>

#include <vector>

#include "Oracle.h"
#include "document/OpaqueComposite.h"
#include "document/SLayerParam.h"

namespace morvane {
namespace {

constexpr int kRow = 67; // odd, so vector loops leave a tail

// Every mode's fast row kernel against the transcription, over random rows
// at random opacities (0 and 255 included).
TEST(OpaqueComposite, EveryModeMatchesTheFormula)
{
    oracle::PixelSource random(1234);
    std::vector<uint32_t> dst(kRow), src(kRow), before(kRow);
    for (int mode = 0; mode < kModeCount; ++mode) {
        const OpaqueRowFn row = OpaqueRowKernel(mode);
        ASSERT_NE(row, nullptr);
        for (int rep = 0; rep < 400; ++rep) {
            const int opacity = rep < 2 ? rep * 255 : random.Byte();
            for (int i = 0; i < kRow; ++i) {
                before[i] = dst[i] = random.Pixel();
                src[i] = random.Pixel();
            }
            row(dst.data(), src.data(), kRow, uint8_t(opacity));
            for (int i = 0; i < kRow; ++i)
                ASSERT_EQ(dst[i], oracle::Opaque(mode, before[i], src[i], opacity))
                    << "mode " << mode << " opacity " << opacity << std::hex << " d " << before[i] << " s " << src[i];
        }
    }
}

// Every vector normal kernel equals the scalar one for every pair of opacity
// and source alpha, and at every effective alpha for every colour byte pair.
TEST(OpaqueComposite, VectorNormalEqualsScalar)
{
    const OpaqueRowFn plain = OpaqueRowKernelScalar(kModeNormal);
    std::vector<OpaqueRowFn> kernels = OpaqueNormalRowVariants();
    kernels.push_back(OpaqueRowKernel(kModeNormal));
    oracle::PixelSource random(99);
    constexpr int n = 263;
    std::vector<uint32_t> a(n), b(n), src(n);
    for (OpaqueRowFn fast : kernels) {
        for (int opacity = 0; opacity < 256; ++opacity) {
            for (int i = 0; i < n; ++i) {
                a[i] = b[i] = random.Pixel();
                src[i] = uint32_t(i & 0xFF) << 24 | (random.Pixel() & 0xFFFFFFu);
            }
            fast(a.data(), src.data(), n, uint8_t(opacity));
            plain(b.data(), src.data(), n, uint8_t(opacity));
            ASSERT_EQ(a, b) << "opacity " << opacity;
        }
        for (int alpha = 0; alpha < 256; ++alpha) {
            std::vector<uint32_t> x(65536), y(65536), s(65536);
            for (int i = 0; i < 65536; ++i) {
                x[i] = y[i] = 0x5A000000u | uint32_t(i & 0xFF) * 0x010101u;
                s[i] = uint32_t(alpha) << 24 | uint32_t(i >> 8) * 0x010101u;
            }
            fast(x.data(), s.data(), 65536, 255);
            plain(y.data(), s.data(), 65536, 255);
            ASSERT_EQ(x, y) << "alpha " << alpha;
        }
    }
}

// Short rows and rows that end inside a vector: the kernels touch no pixel
// past the row and blend the overlapping last vector once.
TEST(OpaqueComposite, VectorNormalEqualsScalarAtEveryLength)
{
    const OpaqueRowFn plain = OpaqueRowKernelScalar(kModeNormal);
    std::vector<OpaqueRowFn> kernels = OpaqueNormalRowVariants();
    kernels.push_back(OpaqueRowKernel(kModeNormal));
    oracle::PixelSource random(5);
    constexpr int kMax = 72, kGuard = 9;
    std::vector<uint32_t> a(kMax + kGuard), b(kMax + kGuard), src(kMax + kGuard);
    for (OpaqueRowFn fast : kernels)
        for (int n = 0; n <= kMax; ++n)
            for (const uint8_t opacity : {uint8_t(255), uint8_t(random.Byte())}) {
                for (size_t i = 0; i < a.size(); ++i) {
                    a[i] = b[i] = random.Pixel();
                    src[i] = random.Pixel();
                }
                fast(a.data() + 1, src.data() + 1, n, opacity);
                plain(b.data() + 1, src.data() + 1, n, opacity);
                ASSERT_EQ(a, b) << "n " << n << " opacity " << int(opacity);
            }
}

// A piece kernel is the scalar row kernel on each of its rows: every width
// up to past two vectors, rows of either stride (a bottom-up target too),
// and the pixels between the rows left alone.
TEST(OpaqueComposite, PieceKernelsEqualScalarRows)
{
    const OpaqueRowFn plain = OpaqueRowKernelScalar(kModeNormal);
    std::vector<OpaquePieceFn> kernels = OpaqueNormalPieceVariants();
    if (OpaquePieceFn fast = OpaquePieceKernel(kModeNormal))
        kernels.push_back(fast);
    EXPECT_EQ(OpaquePieceKernel(kModeMultiply), nullptr);
    oracle::PixelSource random(11);
    constexpr int kH = 5, kSrcStride = 32, kDstStride = 41;
    std::vector<uint32_t> a(kH * kDstStride), b(kH * kDstStride), src(kH * kSrcStride);
    for (OpaquePieceFn fast : kernels)
        for (int n = 0; n <= kSrcStride; ++n)
            for (const bool bottomUp : {false, true})
                for (const uint8_t opacity : {uint8_t(255), uint8_t(random.Byte())}) {
                    for (uint32_t& v : a)
                        v = random.Pixel();
                    b = a;
                    for (uint32_t& v : src)
                        v = random.Pixel();
                    const ptrdiff_t stride = bottomUp ? -kDstStride : kDstStride;
                    uint32_t* first = a.data() + (bottomUp ? (kH - 1) * kDstStride : 0);
                    fast(first, stride, src.data(), kSrcStride, n, kH, opacity);
                    for (int y = 0; y < kH; ++y)
                        plain(b.data() + (bottomUp ? kH - 1 - y : y) * kDstStride, src.data() + y * kSrcStride, n,
                              opacity);
                    ASSERT_EQ(a, b) << "n " << n << " bottom-up " << bottomUp << " opacity " << int(opacity);
                }
}

// A uniform block composites like a row of its colour.
TEST(OpaqueComposite, ColourRowEqualsRowOfThatColour)
{
    oracle::PixelSource random(7);
    std::vector<uint32_t> a(kRow), b(kRow), src(kRow);
    for (int mode = 0; mode < kModeCount; ++mode)
        for (int rep = 0; rep < 40; ++rep) {
            const uint32_t colour = random.Pixel();
            const uint8_t opacity = uint8_t(random.Byte());
            for (int i = 0; i < kRow; ++i) {
                a[i] = b[i] = random.Pixel();
                src[i] = colour;
            }
            OpaqueColourRowKernel(mode)(a.data(), colour, kRow, opacity);
            OpaqueRowKernel(mode)(b.data(), src.data(), kRow, opacity);
            ASSERT_EQ(a, b) << "mode " << mode;
        }
}

TEST(OpaqueComposite, NormalAtFullOpacityBlendsAtTheSourceAlpha)
{
    // Opacity 255 over an opaque target with alpha(s) = 128: blend at 128.
    EXPECT_EQ(OpaqueCompositePixel(kModeNormal, 0xFF000000u, 0x80FFFFFFu, 255), 0xFF808080u);
    // The composite's alpha byte is never changed.
    EXPECT_EQ(OpaqueCompositePixel(kModeScreen, 0x12000000u, 0xFFFFFFFFu, 255), 0x12FFFFFFu);
}

} // namespace
} // namespace morvane
