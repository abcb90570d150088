// The one-byte block store of masks, against a flat channel of the same content.
#include <gtest/gtest.h>

#include <functional>

#include "platform/MemoryBudget.h"
#include "storage/CBlockVCH.h"
#include "storage/CBlockVMTC.h"
#include "storage/TChannel.h"

using namespace morvane;

namespace {

uint8_t Noise(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    return uint8_t(h * 0x2C1B3C6Du >> 24);
}

TChannel Flatten(const CBlockVCH& s)
{
    TChannel c(s.Width, s.Height);
    for (int32_t y = 0; y < s.Height; ++y)
        for (int32_t x = 0; x < s.Width; ++x)
            *c.PixelPtr(x, y) = s.GetValue(x, y);
    return c;
}

bool Same(const TChannel& a, const TChannel& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return false;
    for (int32_t y = 0; y < a.Height; ++y)
        for (int32_t x = 0; x < a.Width; ++x)
            if (a.GetValue(x, y) != b.GetValue(x, y)) {
                ADD_FAILURE() << "differs at " << x << ", " << y;
                return false;
            }
    return true;
}

// 150 x 100: 3 x 2 blocks, the last column and row partly used; uniform,
// zero, committed noisy and committed one-value blocks.
void MakeMixed(CBlockVCH& s, uint32_t seed)
{
    for (int32_t by = 0; by < s.BlocksY; ++by)
        for (int32_t bx = 0; bx < s.BlocksX; ++bx) {
            const ExtentRect square{bx * 64, by * 64, 64, 64};
            switch ((bx + by * 2 + seed) % 4) {
            case 0:
                s.FillRect(square, uint8_t(40 + bx));
                break;
            case 1:
                for (int32_t y = square.top; y < square.top + 64; ++y)
                    for (int32_t x = square.left; x < square.left + 64; ++x)
                        s.SetValue(x, y, Noise(x, y, seed));
                break;
            case 2:
                s.FillRect(square, 9);
                s.BlockAtIndex(bx, by, true);
                break;
            default:
                break;
            }
        }
}

// Alpha x -> x / 2 over a 32-bit store with a uniform and a committed block.
CBlockVMTC AlphaSource()
{
    CBlockVMTC s(150, 100);
    s.FillRect({0, 0, 150, 100}, 0x7F102030u);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 30; x < 90; ++x)
            s.SetPixel(x, y, uint32_t(Noise(x, y, 5)) << 24 | 0x00ABCDEFu);
    return s;
}

struct MaskCase {
    const char* name;
    std::function<bool(CBlockVCH& store, CBlockVCH& other, TChannel& out)> onStore;
    std::function<bool(TChannel& flat, TChannel& otherFlat, TChannel& out)> onFlat;
};

const ExtentRect kOdd{5, 7, 101, 63};

std::vector<MaskCase> MaskCases()
{
    auto fill = [](TChannel& c, const ExtentRect& r, uint8_t v) { return c.FillRect(r, v); };
    return {
        {"copy_out", [](CBlockVCH& s, CBlockVCH&, TChannel& o) { return s.CopyOut(o, {-3, 4}, kOdd); },
         [](TChannel& f, TChannel&, TChannel& o) { return f.CopyRect(o, {-3, 4}, kOdd); }},
        {"copy_in", [](CBlockVCH& s, CBlockVCH&, TChannel& o) { return s.CopyIn(o, {64, 0}, {0, 0, 80, 90}); },
         [](TChannel& f, TChannel&, TChannel& o) { return o.CopyRect(f, {64, 0}, {0, 0, 80, 90}); }},
        {"copy_store", [](CBlockVCH& s, CBlockVCH& t, TChannel&) { return s.CopyStore(t, {9, -2}, {0, 0, 130, 70}); },
         [](TChannel& f, TChannel& t, TChannel&) { return t.CopyRect(f, {9, -2}, {0, 0, 130, 70}); }},
        {"copy_all_blocks", [](CBlockVCH& s, CBlockVCH& t, TChannel&) { return s.CopyAllBlocks(t); },
         [](TChannel& f, TChannel& t, TChannel&) { return t.CopyRect(f, {0, 0}, {0, 0, 130, 70}); }},
        {"fill_rect", [](CBlockVCH& s, CBlockVCH&, TChannel&) { return s.FillRect(kOdd, 200); },
         [fill](TChannel& f, TChannel&, TChannel&) { return fill(f, kOdd, 200); }},
        {"fill_outside", [](CBlockVCH& s, CBlockVCH&, TChannel&) { return s.FillOutside(kOdd, 3); },
         [fill](TChannel& f, TChannel&, TChannel&) {
             const EdgeRect r = ToEdge(kOdd);
             fill(f, {0, 0, 150, r.top}, 3);
             fill(f, {0, r.bottom, 150, 100 - r.bottom}, 3);
             fill(f, {0, r.top, r.left, r.bottom - r.top}, 3);
             return fill(f, {r.right, r.top, 150 - r.right, r.bottom - r.top}, 3);
         }},
        {"fill_outside_missing", [](CBlockVCH& s, CBlockVCH&, TChannel&) { return s.FillOutside({500, 0, 9, 9}, 4); },
         [](TChannel& f, TChannel&, TChannel&) { return f.FillAll(4), true; }},
        {"from_alpha", [](CBlockVCH& s, CBlockVCH&, TChannel&) { return s.FromAlpha(AlphaSource(), kOdd); },
         [](TChannel& f, TChannel&, TChannel&) {
             const CBlockVMTC a = AlphaSource();
             for (int32_t y = kOdd.top; y < kOdd.top + kOdd.height; ++y)
                 for (int32_t x = kOdd.left; x < kOdd.left + kOdd.width; ++x)
                     *f.PixelPtr(x, y) = uint8_t(a.GetPixel(x, y) >> 24);
             return true;
         }},
    };
}

} // namespace

TEST(CBlockVCH, MatchesTheFlatChannel)
{
    for (const MaskCase& c : MaskCases()) {
        SCOPED_TRACE(c.name);
        CBlockVCH store(150, 100), other(130, 70);
        MakeMixed(store, 1);
        MakeMixed(other, 2);
        TChannel flat = Flatten(store), otherFlat = Flatten(other);
        TChannel out(90, 95), outFlat(90, 95);
        for (int32_t y = 0; y < 95; ++y)
            for (int32_t x = 0; x < 90; ++x)
                *out.PixelPtr(x, y) = *outFlat.PixelPtr(x, y) = y < 64 ? 77 : Noise(x, y, 3);
        EXPECT_EQ(c.onStore(store, other, out), c.onFlat(flat, otherFlat, outFlat));
        EXPECT_TRUE(Same(Flatten(store), flat));
        EXPECT_TRUE(Same(Flatten(other), otherFlat));
        EXPECT_TRUE(Same(out, outFlat));
    }
}

TEST(CBlockVCH, UniformShortcutsAndBounds)
{
    CBlockVCH s(150, 100);
    EXPECT_EQ(s.BlocksX, 3);
    EXPECT_EQ(s.GetValue(149, 99), 0);
    EdgeRect box;
    EXPECT_FALSE(s.BoundingBox(box));
    s.FillRect({64, 0, 64, 64}, 255);
    s.FillRect({128, 64, 30, 40}, 1); // the whole used part of the corner block
    EXPECT_EQ(s.CommittedBytes(), 0);
    s.SetValue(3, 70, 8);
    s.SetValue(10, 90, 8);
    EXPECT_EQ(s.CommittedBytes(), 4096);
    ASSERT_TRUE(s.BoundingBox(box));
    EXPECT_EQ(box, (EdgeRect{3, 0, 150, 100}));
    ASSERT_TRUE(s.BoundsOfContent(box));
    EXPECT_EQ(box, (EdgeRect{0, 0, 150, 100}));

    s.FillAll(0);
    EXPECT_EQ(s.CommittedBytes(), 0);
    s.SetValue(70, 65, 5);
    ASSERT_TRUE(s.BoundingBox(box));
    EXPECT_EQ(box, (EdgeRect{70, 65, 71, 66}));
    s.SetValue(70, 65, 0);
    EXPECT_EQ(s.Compact(), 1);
    EXPECT_FALSE(s.BoundingBox(box));
}

// Alpha to mask and back, through blocks of 32 and 64, keeps colour and
// keeps uniform blocks without memory.
TEST(CBlockVCH, AlphaRoundTrip)
{
    const CBlockVMTC source = AlphaSource();
    CBlockVCH mask(150, 100);
    ASSERT_TRUE(mask.FromAlpha(source, {0, 0, 150, 100}));
    EXPECT_EQ(mask.GetValue(100, 90), 0x7F);
    EXPECT_EQ(mask.CommittedBytes(), 2 * 4096); // the noisy band meets two mask blocks

    CBlockVMTC target(150, 100);
    target.FillAll(0xFF445566u);
    ASSERT_TRUE(mask.ToAlpha(target, {0, 0, 150, 100}));
    EXPECT_EQ(target.CommittedBytes(), 6 * 4096); // only where the noise is (blocks of 32)
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 150; ++x)
            ASSERT_EQ(target.GetPixel(x, y), (source.GetPixel(x, y) & 0xFF000000u) | 0x445566u) << x << ", " << y;
}
