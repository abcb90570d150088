// Region operations of the one-byte and 32-bit buffers.
#include <gtest/gtest.h>

#include <string>

#include "storage/BlendTables.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

using namespace morvane;

namespace {
// Rows of a small image as hex pixels, for readable expectations.
std::string Dump(const TMTC& m)
{
    std::string s;
    char buf[16];
    for (int y = 0; y < m.Height; ++y) {
        for (int x = 0; x < m.Width; ++x) {
            std::snprintf(buf, sizeof buf, "%08X ", m.GetPixel(x, y));
            s += buf;
        }
        s += "| ";
    }
    return s;
}

std::string Dump(const TChannel& c)
{
    std::string s;
    for (int y = 0; y < c.Height; ++y) {
        for (int x = 0; x < c.Width; ++x)
            s += std::to_string(c.GetValue(x, y)) + " ";
        s += "| ";
    }
    return s;
}

// A 3 x 2 image with distinct pixels (x, y) -> 0xA0000000 + 0x10 * y + x.
TTC Numbered(int w = 3, int h = 2)
{
    TTC m(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *m.PixelPtr(x, y) = 0xA0000000u + 0x10u * y + x;
    return m;
}
} // namespace

TEST(TMTCOps, SinglePixelsClipAndClamp)
{
    TMTC m(4, 3);
    m.FillAll(0xFF000000);
    for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}})
        m.BlendPixel(x, y, 255, 0x00FFFFFF);
    EXPECT_EQ(Dump(m).find("FFFFFFFF"), std::string::npos);
    m.BlendPixel(3, 2, 128, 0x00FFFFFF);
    EXPECT_EQ(m.GetPixelClamped(-5, 3 + 3), m.GetPixel(0, 2));
    EXPECT_EQ(m.GetPixelClamped(99, 99), 0xFF808080u);
    SumsRGB sums;
    m.SumRGB(3, 2, sums);
    m.SumRGB(0, 0, sums);
    EXPECT_EQ(sums.red, 128);
    EXPECT_EQ(sums.blue, 128);
}

TEST(TMTCOps, FillsAndBitOperations)
{
    TTC m = Numbered();
    EXPECT_TRUE(m.SetAlpha({1, 0, 5, 5}, 0x33));
    EXPECT_TRUE(m.XorRect({0, 1, 1, 1}, 0x000000FF));
    EXPECT_TRUE(m.OrRect({2, 1, 1, 1}, 0x00000F00));
    EXPECT_FALSE(m.FillRect({3, 0, 2, 2}, 0)); // wholly outside
    EXPECT_EQ(Dump(m), "A0000000 33000001 33000002 | A00000EF 33000011 33000F12 | ");
    m.FillAllColour(0x00332211);
    EXPECT_EQ(m.GetPixel(2, 1), 0x00112233u);
}

TEST(TMTCOps, CopiesClipAndShift)
{
    TTC src = Numbered();
    TMTC dst(4, 2);
    dst.FillAll(0);
    // Starting at x = -3 the copy loses 3 columns and lands 3 to the right.
    EXPECT_TRUE(dst.CopyFrom(src, {0, 0}, {-3, 0, 5, 2}));
    EXPECT_EQ(Dump(dst), "00000000 00000000 00000000 A0000000 | 00000000 00000000 00000000 A0000010 | ");
    EXPECT_FALSE(dst.CopyFrom(src, {4, 0}, {0, 0, 3, 2}));

    TChannel ch(2, 1);
    ch.FillAll(0);
    *ch.PixelPtr(1, 0) = 7;
    EXPECT_TRUE(dst.FromChannel(ch, {0, 1}, {0, 0, 2, 1}));
    EXPECT_EQ(dst.GetPixel(0, 1), 0u); // zero is transparent black, not grey
    EXPECT_EQ(dst.GetPixel(1, 1), 0xFF070707u);
}

TEST(TMTCOps, BlendWalks)
{
    TMTC src(2, 1), dst(2, 1);
    src.FillAll(0x00FFFFFF);
    *src.PixelPtr(1, 0) = 0x00804020;
    const uint32_t base = 0x40102030;
    struct Case {
        const char* what;
        bool (TMTC::*walk)(const TMTC&, Point, uint8_t, const ExtentRect&);
        uint8_t opacity;
        uint32_t (*ref)(uint32_t, uint32_t, uint32_t);
    };
    const Case cases[] = {
        {"blend", &TMTC::BlendFrom, 128, [](uint32_t d, uint32_t s, uint32_t a) { BlendColour(d, s, a); return d; }},
        {"blend copy", &TMTC::BlendFrom, 255, [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {"multiply", &TMTC::MultiplyFrom, 200, MultiplyPixel},
        {"add", &TMTC::AddFrom, 200, AddPixel},
        {"subtract", &TMTC::SubtractFrom, 200, SubtractPixel},
    };
    for (const Case& c : cases) {
        dst.FillAll(base);
        EXPECT_TRUE((dst.*c.walk)(src, {0, 0}, c.opacity, {0, 0, 2, 1})) << c.what;
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(dst.GetPixel(x, 0), c.ref(base, src.GetPixel(x, 0), c.opacity)) << c.what << " x=" << x;
    }
    dst.FillAll(base);
    EXPECT_FALSE(dst.BlendFrom(src, {0, 0}, 0, {0, 0, 2, 1}));
    EXPECT_EQ(dst.GetPixel(0, 0), base);
    EXPECT_EQ(AddPixel(base, 0x00FFFFFF, 200) >> 24, 0x40u); // alpha kept by every walk
}

TEST(TMTCOps, BlendRectUsesTheColourBlend)
{
    TMTC m(37, 3); // odd width: vector body and scalar tail
    m.FillAll(0x80000000);
    EXPECT_TRUE(m.BlendRect({0, 0, 37, 3}, 128, 0x00FFFFFF));
    for (int x = 0; x < 37; ++x)
        ASSERT_EQ(m.GetPixel(x, 2), 0x80808080u);
    EXPECT_TRUE(m.BlendRect({0, 0, 1, 1}, 255, 0x00123456));
    EXPECT_EQ(m.GetPixel(0, 0), 0x80123456u);
}

TEST(TMTCOps, CompositeWalks)
{
    TMTC src(1, 1), dst(1, 1);
    src.FillAll(0x80FF0000);
    dst.FillAll(0xFF0000FF);
    // The target alpha is scaled first, then the step sees it.
    uint32_t seenTarget = 0;
    static uint32_t* seen;
    seen = &seenTarget;
    auto probe = [](uint32_t* t, uint32_t, uint32_t) { *seen = *t; };
    EXPECT_TRUE(dst.CompositeFrom(src, {0, 0}, {0, 0, 1, 1}, probe, 10, 128));
    EXPECT_EQ(seenTarget, 0x800000FFu);
    EXPECT_FALSE(dst.CompositeFrom(src, {0, 0}, {0, 0, 1, 1}, probe, 0, 255));
    EXPECT_TRUE(dst.CompositeColour(0x12345678, {0, 0, 1, 1}, probe, 1, 255));

    // "Over" with a normal-like mode: destination weighted by its alpha, then
    // the source by its effective alpha.
    OverMode normal;
    normal.baseColour = 0;
    normal.dest = [](int32_t w[3], uint32_t p, uint32_t a) {
        for (int k = 0; k < 3; ++k)
            w[k] = int32_t(MulDiv255((p >> (8 * k)) & 0xFF, a));
    };
    normal.source = [](int32_t w[3], uint32_t p, uint32_t a) {
        for (int k = 0; k < 3; ++k)
            w[k] = int32_t(Lerp255((p >> (8 * k)) & 0xFF, uint32_t(w[k]), a));
    };
    uint32_t t = 0x00000000;
    OverPixel(&t, 0xFF00FF00, 255, normal);
    EXPECT_EQ(t, 0xFF00FF00u);
    t = 0x00123456;
    OverPixel(&t, 0x00FFFFFF, 255, normal);
    EXPECT_EQ(t, 0x00123456u); // both transparent: only alpha written (already 0)
    normal.flags = OverMode::kSkipTransparent;
    t = 0x00123456;
    OverPixel(&t, 0x80FFFFFF, 0, normal);
    EXPECT_EQ(t, 0x00123456u); // skipped
    t = 0x80000000;
    OverPixel(&t, 0x80FFFFFF, 255, normal);
    EXPECT_EQ(t >> 24, 0xC0u); // union of coverages: 128 + 128 - 64
    EXPECT_EQ(t & 0xFF, 128u * 255 / 0xC0); // work colour scaled back by the union alpha
    dst.FillAll(0x00000000);
    EXPECT_TRUE(dst.CompositeOver(src, {0, 0}, {0, 0, 1, 1}, normal, 255, 255));
    EXPECT_EQ(dst.GetPixel(0, 0), 0x80FF0000u);
}

TEST(TMTCOps, FlipsAndRotation)
{
    TTC m = Numbered(3, 3);
    EXPECT_TRUE(m.FlipVertical({0, 0, 3, 3}));
    EXPECT_EQ(Dump(m), "A0000020 A0000021 A0000022 | A0000010 A0000011 A0000012 | A0000000 A0000001 A0000002 | ");
    TTC h = Numbered(3, 3);
    EXPECT_TRUE(h.FlipHorizontal({1, 0, 2, 1}));
    EXPECT_EQ(h.GetPixel(1, 0), 0xA0000002u);
    TTC r = Numbered(3, 3);
    EXPECT_TRUE(r.Rotate180({-1, -1, 10, 10}));
    EXPECT_EQ(Dump(r), "A0000022 A0000021 A0000020 | A0000012 A0000011 A0000010 | A0000002 A0000001 A0000000 | ");
    EXPECT_FALSE(r.Rotate180({3, 3, 1, 1}));
}

TEST(TMTCOps, FlattenOverBackgrounds)
{
    TMTC m(4, 1);
    m.FillAll(0x00FFFFFF);
    *m.PixelPtr(3, 0) = 0xFF123456; // opaque: untouched
    *m.PixelPtr(2, 0) = 0x80FFFFFF;
    EXPECT_TRUE(m.OverChecker({0, 0, 4, 1}, 1, 1, 0xAA000001, 0xBB000002, {0, 0}));
    EXPECT_EQ(m.GetPixel(0, 0), 0xBB000002u); // even cell: colour B, its alpha
    EXPECT_EQ(m.GetPixel(1, 0), 0xAA000001u);
    EXPECT_EQ(m.GetPixel(2, 0), 0xBB808080u); // (255*128 + 2*127) / 255 = 128
    EXPECT_EQ(m.GetPixel(3, 0), 0xFF123456u);
    // A negative cell sum still alternates by its parity.
    m.FillAll(0);
    EXPECT_TRUE(m.OverChecker({0, 0, 4, 1}, 1, 1, 0xA, 0xB, {3, 0}));
    EXPECT_EQ(Dump(m), "0000000A 0000000B 0000000A 0000000B | ");
    EXPECT_FALSE(m.OverChecker({0, 0, 4, 1}, 0, 1, 0xA, 0xB, {0, 0}));
    EXPECT_FALSE(m.OverChecker({0, 0, 4, 1}, 1, -3, 0xA, 0xB, {0, 0}));
    m.FillAll(0x00FFFFFF);
    EXPECT_TRUE(m.OverColour({0, 0, 1, 1}, 0xFF000000));
    EXPECT_EQ(m.GetPixel(0, 0), 0xFF000000u);
}

TEST(TChannelOps, BlendsFillsAndCopies)
{
    TChannel c(3, 2);
    c.FillAll(0);
    c.BlendValue(0, 0, 255, 128);
    c.BlendValue(-1, 0, 255, 255);
    c.BlendValue(3, 1, 255, 255);
    c.BlendValueFast(1, 0, 200, 255);
    c.BlendValueFast(2, 0, 200, 0);
    EXPECT_EQ(Dump(c), "128 200 0 | 0 0 0 | ");
    c.BlendValueFast(1, 0, 0, 128);
    EXPECT_EQ(c.GetValue(1, 0), uint8_t(200 + int8_t(DeltaTable[128][uint8_t(0 - 100)])));
    EXPECT_TRUE(c.FillRect({1, 1, 9, 9}, 5));
    EXPECT_TRUE(c.XorRect({0, 1, 2, 1}, 1));
    EXPECT_EQ(c.GetValueClamped(-4, 9), 1);
    EXPECT_EQ(Dump(c).substr(Dump(c).find('|')), "| 1 4 5 | ");

    TChannel d(2, 2);
    d.FillAll(9);
    EXPECT_TRUE(c.CopyRect(d, {-1, 1}, {0, 0, 3, 1}));
    EXPECT_EQ(Dump(d), "9 9 | " + std::to_string(d.GetValue(0, 1)) + " 0 | ");
    EXPECT_EQ(d.GetValue(0, 1), c.GetValue(1, 0));
}

TEST(TChannelOps, ByteFunctionsAndBoundingBox)
{
    TChannel c(4, 1), s(4, 1);
    const uint8_t own[4] = {10, 0, 200, 255}, other[4] = {20, 7, 0, 128};
    struct Case {
        const char* what;
        ByteFn fn;
        std::string want;
    };
    const Case cases[] = {
        {"store", bytefn::Store, "20 7 0 128 | "},
        {"maximum", bytefn::Maximum, "20 7 200 255 | "},
        {"multiply", bytefn::Multiply, "0 0 0 128 | "},
        {"fill if empty", bytefn::FillIfEmpty, "10 0 255 255 | "},
    };
    for (int x = 0; x < 4; ++x)
        *s.PixelPtr(x, 0) = other[x];
    for (const Case& c0 : cases) {
        for (int x = 0; x < 4; ++x)
            *c.PixelPtr(x, 0) = own[x];
        EXPECT_TRUE(c.Combine(s, {0, 0}, {0, 0, 4, 1}, c0.fn)) << c0.what;
        EXPECT_EQ(Dump(c), c0.want) << c0.what;
    }

    TChannel b(5, 4);
    b.FillAll(0);
    EdgeRect box;
    EXPECT_FALSE(b.BoundingBox(box));
    *b.PixelPtr(1, 2) = 1;
    *b.PixelPtr(3, 1) = 1;
    ASSERT_TRUE(b.BoundingBox(box));
    EXPECT_EQ(box, (EdgeRect{1, 1, 4, 3}));
    EXPECT_TRUE(b.ApplyRect({0, 0, 5, 4}, 3, bytefn::Maximum));
    ASSERT_TRUE(b.BoundingBox(box));
    EXPECT_EQ(box, (EdgeRect{0, 0, 5, 4}));
}
