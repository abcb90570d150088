// The 32-bit block store: allocation on write, uniform shortcuts, and every
// copy and geometric walk against the same operation on a flat buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <unistd.h>

#include "platform/MemoryBudget.h"
#include "storage/CBlockVCH.h"
#include "storage/CBlockVMTC.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

using namespace morvane;

namespace {

constexpr int64_t kBlock = 4096;

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

TMTC Flatten(const CBlockVMTC& s)
{
    TMTC f(s.Width, s.Height);
    for (int32_t y = 0; y < s.Height; ++y)
        for (int32_t x = 0; x < s.Width; ++x)
            *f.PixelPtr(x, y) = s.GetPixel(x, y);
    return f;
}

// The first differing pixel, or "" when both pictures are the same.
std::string Difference(const TMTC& a, const TMTC& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return "sizes differ";
    for (int32_t y = 0; y < a.Height; ++y)
        for (int32_t x = 0; x < a.Width; ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d, %d): %08X vs %08X", x, y, a.GetPixel(x, y), b.GetPixel(x, y));
                return text;
            }
    return "";
}

// Blocks of every kind: the default, other uniform values (opaque and
// transparent), committed blocks of varied pixels and committed blocks that
// hold a single value.
void MakeMixed(CBlockVMTC& s, uint32_t seed)
{
    for (int32_t by = 0; by < s.BlocksY; ++by)
        for (int32_t bx = 0; bx < s.BlocksX; ++bx) {
            const ExtentRect square{bx * 32, by * 32, 32, 32};
            switch ((bx * 7 + by * 3 + seed) % 5) {
            case 0:
                s.FillRect(square, 0xFF000000u | Hash(bx, by, seed));
                break;
            case 1:
                s.FillRect(square, Hash(bx, by, seed) & 0x00FFFFFFu);
                break;
            case 2:
                for (int32_t y = square.top; y < square.top + 32; ++y)
                    for (int32_t x = square.left; x < square.left + 32; ++x)
                        s.SetPixel(x, y, Hash(x, y, seed));
                break;
            case 3:
                s.FillRect(square, 0x80402010u);
                s.BlockAtIndex(bx, by, true);
                break;
            default:
                break;
            }
        }
}

TMTC RandomPicture(int32_t w, int32_t h, uint32_t seed)
{
    TMTC m(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *m.PixelPtr(x, y) = Hash(x, y, seed);
    // A band of one value covering whole blocks once copied in.
    m.FillRect({0, 0, w, 33}, 0x11223344u);
    return m;
}

TChannel RandomChannel(int32_t w, int32_t h, uint32_t seed)
{
    TChannel c(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *c.PixelPtr(x, y) = uint8_t(y < 40 ? 200 : Hash(x, y, seed));
    return c;
}

// The quarter turn as defined, pixel by pixel, onto target at `at`.
void RotateFlat(const TMTC& s, TMTC& t, Point at, bool clockwise)
{
    for (int32_t y = 0; y < s.Width; ++y)
        for (int32_t x = 0; x < s.Height; ++x)
            if (t.Contains(at.x + x, at.y + y))
                *t.PixelPtr(at.x + x, at.y + y) =
                    clockwise ? s.GetPixel(y, s.Height - 1 - x) : s.GetPixel(s.Width - 1 - y, x);
}

struct Scene {
    CBlockVMTC& store;
    CBlockVMTC& other;
    TMTC& out;
    TChannel& channel;
};
struct FlatScene {
    TMTC& store;
    TMTC& other;
    TMTC& out;
    TChannel& channel;
};

struct WalkCase {
    const char* name;
    std::function<bool(Scene&)> onStore;
    std::function<bool(FlatScene&)> onFlat;
};

const ExtentRect kOdd{3, 5, 61, 37};   // crosses blocks, odd sides
const ExtentRect kAligned{0, 0, 64, 64};
const ExtentRect kWide{-7, 9, 200, 50}; // runs off the store

std::vector<WalkCase> WalkCases()
{
    std::vector<WalkCase> cases = {
        {"copy_out", [](Scene& s) { return s.store.CopyOut(s.out, {3, -2}, false, 255, kWide); },
         [](FlatScene& f) { return f.out.BlendFrom(f.store, {3, -2}, 255, kWide); }},
        {"copy_out_blend", [](Scene& s) { return s.store.CopyOut(s.out, {-4, 6}, false, 77, kOdd); },
         [](FlatScene& f) { return f.out.BlendFrom(f.store, {-4, 6}, 77, kOdd); }},
        {"copy_in", [](Scene& s) { return s.store.CopyIn(s.out, {20, 13}, 255, {0, 0, 50, 40}); },
         [](FlatScene& f) { return f.store.BlendFrom(f.out, {20, 13}, 255, {0, 0, 50, 40}); }},
        {"copy_in_aligned", [](Scene& s) { return s.store.CopyIn(s.out, {32, 0}, 255, {-3, 0, 90, 70}); },
         [](FlatScene& f) { return f.store.BlendFrom(f.out, {32, 0}, 255, {-3, 0, 90, 70}); }},
        {"copy_in_blend", [](Scene& s) { return s.store.CopyIn(s.out, {-9, 30}, 140, {2, 1, 60, 39}); },
         [](FlatScene& f) { return f.store.BlendFrom(f.out, {-9, 30}, 140, {2, 1, 60, 39}); }},
        {"copy_store", [](Scene& s) { return s.store.CopyStore(s.other, {5, 7}, {2, 3, 70, 40}); },
         [](FlatScene& f) { return f.store.CopyFrom(f.other, {5, 7}, {2, 3, 70, 40}); }},
        {"copy_store_aligned", [](Scene& s) { return s.store.CopyStore(s.other, {32, 0}, {0, 0, 77, 45}); },
         [](FlatScene& f) { return f.store.CopyFrom(f.other, {32, 0}, {0, 0, 77, 45}); }},
        {"copy_store_self", [](Scene& s) { return s.store.CopyStore(s.store, {10, 5}, {0, 0, 60, 50}); },
         [](FlatScene& f) {
             TMTC copy(f.store);
             return f.store.CopyFrom(copy, {10, 5}, {0, 0, 60, 50});
         }},
        {"copy_all_blocks", [](Scene& s) { return s.store.CopyAllBlocks(s.other); },
         [](FlatScene& f) { return f.store.CopyFrom(f.other, {0, 0}, {0, 0, 77, 45}); }},
        // (5, 40, 30, 3) widens to (0, 32, 64, 32).
        {"copy_aligned_blocks", [](Scene& s) { return s.store.CopyAlignedBlocks(s.other, {32, 0}, {5, 40, 30, 3}); },
         [](FlatScene& f) { return f.store.CopyFrom(f.other, {32, 0}, {0, 32, 64, 32}); }},
        {"fill_rect", [](Scene& s) { return s.store.FillRect(kWide, 0x12345678u); },
         [](FlatScene& f) { return f.store.FillRect(kWide, 0x12345678u); }},
        {"set_masked", [](Scene& s) { return s.store.SetMasked(kOdd, 0x00FF00FFu, 0xABCDEF01u); },
         [](FlatScene& f) { return f.store.SetMasked(kOdd, 0x00FF00FFu, 0xABCDEF01u); }},
        {"set_alpha", [](Scene& s) { return s.store.SetAlpha(kWide, 0x40); },
         [](FlatScene& f) { return f.store.SetAlpha(kWide, 0x40); }},
        {"fill_colour_of_mode", [](Scene& s) { return s.store.FillColourOfMode(kAligned, 0x00808080u); },
         [](FlatScene& f) { return f.store.SetMasked(kAligned, 0x00FFFFFFu, 0x00808080u); }},
        {"xor_rect", [](Scene& s) { return s.store.XorRect(kOdd, 0xFF00FF00u); },
         [](FlatScene& f) { return f.store.XorRect(kOdd, 0xFF00FF00u); }},
        {"rotate_into_90_cw", [](Scene& s) { return s.store.RotateInto90(s.out, true); },
         [](FlatScene& f) {
             f.out.Resize(f.store.Height, f.store.Width);
             RotateFlat(f.store, f.out, {0, 0}, true);
             return true;
         }},
        {"rotate_into_90_ccw", [](Scene& s) { return s.store.RotateInto90(s.out, false); },
         [](FlatScene& f) {
             f.out.Resize(f.store.Height, f.store.Width);
             RotateFlat(f.store, f.out, {0, 0}, false);
             return true;
         }},
        {"rotate_into_store_90_cw", [](Scene& s) { return s.store.RotateIntoStore90(s.other, {3, -40}, true); },
         [](FlatScene& f) { return RotateFlat(f.store, f.other, {3, -40}, true), true; }},
        {"rotate_into_store_90_ccw", [](Scene& s) { return s.store.RotateIntoStore90(s.other, {-21, 0}, false); },
         [](FlatScene& f) { return RotateFlat(f.store, f.other, {-21, 0}, false), true; }},
        {"shrink_into", [](Scene& s) { return s.store.ShrinkInto(s.out, {2, 3, 40, 30}); },
         [](FlatScene& f) { return f.store.ShrinkArea(f.out, {2, 3, 40, 30}); }},
        {"scale_into", [](Scene& s) { return s.store.ScaleInto(s.other); },
         [](FlatScene& f) { return f.other.ShrinkBox4(f.store); }},
        {"alpha_to_channel", [](Scene& s) { return s.store.AlphaToChannel(s.channel, kWide); },
         [](FlatScene& f) {
             EdgeRect r;
             ClipToBuffer(kWide, f.store.Width, f.store.Height, r);
             for (int32_t y = r.top; y < r.bottom; ++y)
                 for (int32_t x = r.left; x < r.right; ++x)
                     *f.channel.PixelPtr(x, y) = uint8_t(f.store.GetPixel(x, y) >> 24);
             return true;
         }},
        {"channel_to_alpha", [](Scene& s) { return s.store.ChannelToAlpha(s.channel, kOdd); },
         [](FlatScene& f) {
             EdgeRect r = ToEdge(kOdd);
             for (int32_t y = r.top; y < r.bottom; ++y)
                 for (int32_t x = r.left; x < r.right; ++x)
                     *f.store.PixelPtr(x, y) = (f.store.GetPixel(x, y) & 0xFFFFFF) | uint32_t(f.channel.GetValue(x, y)) << 24;
             return true;
         }},
        {"swap_alpha_with_channel", [](Scene& s) { return s.store.SwapAlphaWithChannel(s.channel); },
         [](FlatScene& f) {
             for (int32_t y = 0; y < f.store.Height; ++y)
                 for (int32_t x = 0; x < f.store.Width; ++x) {
                     uint32_t& p = *f.store.PixelPtr(x, y);
                     uint8_t& c = *f.channel.PixelPtr(x, y);
                     const uint8_t a = uint8_t(p >> 24);
                     p = (p & 0xFFFFFF) | uint32_t(c) << 24;
                     c = a;
                 }
             return true;
         }},
    };
    // The flips over regions that are whole, odd, block-aligned and one row.
    for (ExtentRect r : {ExtentRect{0, 0, 100, 70}, kOdd, kAligned, ExtentRect{1, 33, 98, 1}, kWide}) {
        cases.push_back({"flip_h", [r](Scene& s) { return s.store.FlipH(r); },
                         [r](FlatScene& f) { return f.store.FlipHorizontal(r); }});
        cases.push_back({"flip_v", [r](Scene& s) { return s.store.FlipV(r); },
                         [r](FlatScene& f) { return f.store.FlipVertical(r); }});
        cases.push_back({"rotate_180", [r](Scene& s) { return s.store.Rotate180(r); },
                         [r](FlatScene& f) { return f.store.Rotate180(r); }});
    }
    return cases;
}

} // namespace

TEST(CBlockVMTC, NewStoreIsEmptyTransparentWhite)
{
    CBlockVMTC s(100, 70);
    ASSERT_TRUE(s.IsValid());
    EXPECT_EQ(s.BlocksX, 4);
    EXPECT_EQ(s.BlocksY, 3);
    EXPECT_EQ(s.CommittedBytes(), 0);
    EXPECT_EQ(s.GetPixel(99, 69), 0x00FFFFFFu);
    EXPECT_EQ(s.UsedW(*s.BlockAtIndex(3, 0, false)), 4);
    EXPECT_EQ(s.UsedH(*s.BlockAtIndex(0, 2, false)), 6);
}

TEST(CBlockVMTC, WritesCommitOnlyWhatDiffers)
{
    CBlockVMTC s(100, 70);
    EXPECT_TRUE(s.SetPixel(40, 40, 0x00FFFFFFu)); // the uniform value: no memory
    EXPECT_EQ(s.CommittedBytes(), 0);
    EXPECT_TRUE(s.SetPixel(40, 40, 0xFF0000FFu));
    EXPECT_EQ(s.CommittedBytes(), kBlock);
    EXPECT_EQ(s.GetPixel(41, 40), 0x00FFFFFFu);
    EXPECT_EQ(s.GetPixel(40, 40), 0xFF0000FFu);

    s.FillAll(0xFF336699u);
    EXPECT_EQ(s.CommittedBytes(), 0);
    EXPECT_EQ(s.GetPixel(40, 40), 0xFF336699u);

    EXPECT_TRUE(s.SetAlpha({0, 0, 32, 32}, 0x10)); // a whole block
    EXPECT_EQ(s.CommittedBytes(), 0);
    EXPECT_EQ(s.GetPixel(31, 31), 0x10336699u);
    EXPECT_TRUE(s.SetAlpha({40, 40, 10, 10}, 0x20)); // part of one
    EXPECT_EQ(s.CommittedBytes(), kBlock);
    EXPECT_EQ(s.GetPixel(45, 45), 0x20336699u);
    EXPECT_EQ(s.GetPixel(39, 45), 0xFF336699u);
    // The edge block's used part is 4 x 6: covering it is covering the block.
    EXPECT_TRUE(s.XorRect({96, 64, 10, 10}, 0x01));
    EXPECT_EQ(s.CommittedBytes(), kBlock);
    EXPECT_EQ(s.GetPixel(99, 69), 0xFF336698u);
}

TEST(CBlockVMTC, CommitKeepsTheBlocksLookAndCompactGivesMemoryBack)
{
    CBlockVMTC s(100, 70);
    s.FillRect({32, 32, 32, 32}, 0x7F010203u);
    ASSERT_NE(s.BlockAt(40, 40, true), nullptr);
    EXPECT_EQ(s.CommittedBytes(), kBlock);
    for (int32_t y = 32; y < 64; ++y)
        for (int32_t x = 32; x < 64; ++x)
            ASSERT_EQ(s.GetPixel(x, y), 0x7F010203u);
    EXPECT_EQ(s.GetPixel(31, 40), 0x00FFFFFFu);

    // A store of uniform content, every block committed: after a flip all
    // blocks give their memory back.
    s.FillAll(0x7F010203u);
    for (int32_t by = 0; by < s.BlocksY; ++by)
        for (int32_t bx = 0; bx < s.BlocksX; ++bx)
            s.BlockAtIndex(bx, by, true);
    EXPECT_EQ(s.CommittedBytes(), 12 * kBlock);
    // The unused part of an edge block must not stop compaction.
    std::memset(s.BlockAtIndex(3, 2, false)->Data + 4096 - 4, 0x55, 4);
    EXPECT_TRUE(s.FlipH({0, 0, 100, 70}));
    EXPECT_EQ(s.CommittedBytes(), 0);
    EXPECT_EQ(s.GetPixel(99, 69), 0x7F010203u);
}

// Sizes outside 1 ... 32767 a side: not valid, nothing
// allocated, every operation refused.
template <typename Store>
void ExpectRefusedSizes()
{
    const uint64_t before = MemoryBudget::InUse();
    const int32_t sizes[][2] = {{0, 0}, {-4, -6}, {-4, 6}, {0, 5}, {5, -1}, {32768, 1}, {1, 32768}, {INT32_MIN, INT32_MIN}};
    for (const auto& [w, h] : sizes) {
        Store bad(w, h);
        EXPECT_FALSE(bad.IsValid()) << w << " x " << h;
        EXPECT_EQ(MemoryBudget::InUse(), before);
        EXPECT_FALSE(bad.FillRect({0, 0, 10, 10}, 1));
        EXPECT_EQ(bad.BlockAt(0, 0, true), nullptr);
        EXPECT_FALSE(bad.Reshape(-1, 10));
    }
}

TEST(CBlockVMTC, OutsideAndBadSizes)
{
    CBlockVMTC s(100, 70);
    EXPECT_EQ(s.BlockAt(-1, 0, false), nullptr);
    EXPECT_EQ(s.BlockAt(0, -32, true), nullptr);
    EXPECT_EQ(s.BlockAt(100, 0, false), nullptr);
    EXPECT_EQ(s.BlockAtIndex(-1, 0, false), nullptr);
    EXPECT_EQ(s.BlockAtIndex(4, 0, false), nullptr);
    EXPECT_FALSE(s.SetPixel(-1, 5, 0));
    EXPECT_EQ(s.GetPixelOrDefault(-1, 5), 0x00FFFFFFu);
    EXPECT_EQ(s.GetPixelClamped(-5, 200), s.GetPixel(0, 69));
    EXPECT_EQ(s.CommittedBytes(), 0);

    ExpectRefusedSizes<CBlockVMTC>();
    ExpectRefusedSizes<CBlockVCH>();
    EXPECT_TRUE(s.Reshape(33, 1));
    EXPECT_EQ(s.BlocksX, 2);
    EXPECT_EQ(s.GetPixel(32, 0), 0x00FFFFFFu);
}

TEST(CBlockVMTC, BoundsOfContent)
{
    CBlockVMTC s(100, 70);
    EdgeRect r;
    EXPECT_FALSE(s.BoundsOfContent(r));
    s.SetPixel(40, 3, 0x01000000u);      // committed, visible
    s.SetPixel(70, 50, 0x00123456u);     // committed, transparent
    s.FillRect({96, 64, 4, 6}, 0xFF000000u); // uniform edge block
    ASSERT_TRUE(s.BoundsOfContent(r));
    EXPECT_EQ(r, (EdgeRect{32, 0, 100, 70}));
}

// The blocks that differ from a copy: a changed pixel of a committed block,
// a uniform block given another value or committed with a new pixel, and
// nothing when a write left the pixels as they were.
TEST(CBlockVMTC, DifferingBoundsFindsTheChangedBlocks)
{
    CBlockVMTC s(100, 70);
    s.FillRect({0, 0, 40, 40}, 0xFF336699u);
    s.SetPixel(90, 60, 0x80000000u);
    const CBlockVMTC copy(s);
    EdgeRect r;
    EXPECT_FALSE(s.DifferingBounds(copy, {0, 0, 100, 70}, r));
    s.SetPixel(5, 5, 0xFF336699u); // the same value
    EXPECT_FALSE(s.DifferingBounds(copy, {0, 0, 100, 70}, r));
    s.SetPixel(33, 2, 0xFF000000u);   // committed block at (32, 0)
    s.FillRect({64, 32, 32, 32}, 1u); // a whole uniform block
    s.SetPixel(10, 69, 2u);           // a uniform block committed
    ASSERT_TRUE(s.DifferingBounds(copy, {0, 0, 100, 70}, r));
    EXPECT_EQ(r, (EdgeRect{0, 0, 96, 70}));
    ASSERT_TRUE(s.DifferingBounds(copy, {40, 0, 60, 40}, r)); // only the blocks meeting the rectangle
    EXPECT_EQ(r, (EdgeRect{32, 0, 64, 32}));
    EXPECT_FALSE(s.DifferingBounds(CBlockVMTC(100, 71), {0, 0, 100, 70}, r));
}

// Every walk must give what the same operation gives on a flat copy of the
// store's content: stores that are not whole blocks in size, with uniform,
// committed and committed-but-uniform blocks.
TEST(CBlockVMTC, WalksMatchTheFlatBuffer)
{
    for (const WalkCase& c : WalkCases()) {
        SCOPED_TRACE(c.name);
        CBlockVMTC store(100, 70), other(77, 45);
        MakeMixed(store, 1);
        MakeMixed(other, 2);
        TMTC flat = Flatten(store), otherFlat = Flatten(other);
        TMTC out = RandomPicture(50, 40, 3), outFlat = RandomPicture(50, 40, 3);
        TChannel channel = RandomChannel(100, 70, 4), channelFlat = RandomChannel(100, 70, 4);
        Scene scene{store, other, out, channel};
        FlatScene flatScene{flat, otherFlat, outFlat, channelFlat};

        EXPECT_EQ(c.onStore(scene), c.onFlat(flatScene));
        EXPECT_EQ(Difference(Flatten(store), flat), "");
        EXPECT_EQ(Difference(Flatten(other), otherFlat), "");
        EXPECT_EQ(Difference(out, outFlat), "");
        for (int32_t y = 0; y < channel.Height; ++y)
            for (int32_t x = 0; x < channel.Width; ++x)
                ASSERT_EQ(channel.GetValue(x, y), channelFlat.GetValue(x, y)) << x << ", " << y;
    }
}

// An uncommitted block reads exactly like a committed block of its Uniform,
// whatever the opacity: the result must not depend on Compact.
TEST(CBlockVMTC, CopyOutDoesNotDependOnCommitment)
{
    for (uint8_t opacity : {uint8_t(1), uint8_t(128), uint8_t(255)}) {
        CBlockVMTC lean(64, 64), committed(64, 64);
        for (CBlockVMTC* s : {&lean, &committed})
            s->FillAll(0x80FF8040u);
        committed.BlockAtIndex(0, 0, true);
        committed.BlockAtIndex(1, 1, true);
        TMTC a = RandomPicture(64, 64, 9), b = RandomPicture(64, 64, 9);
        EXPECT_TRUE(lean.CopyOut(a, {0, 0}, false, opacity, {0, 0, 64, 64}));
        EXPECT_TRUE(committed.CopyOut(b, {0, 0}, false, opacity, {0, 0, 64, 64}));
        EXPECT_EQ(Difference(a, b), "") << int(opacity);
    }
    // skipTransparent leaves uncommitted transparent blocks out.
    CBlockVMTC s(64, 32);
    s.FillRect({32, 0, 32, 32}, 0xFF0000FFu);
    TMTC out = RandomPicture(64, 32, 5), before = RandomPicture(64, 32, 5);
    EXPECT_TRUE(s.CopyOut(out, {0, 0}, true, 255, {0, 0, 64, 32}));
    EXPECT_EQ(out.GetPixel(5, 20), before.GetPixel(5, 20));
    EXPECT_EQ(out.GetPixel(40, 20), 0xFF0000FFu);
}

// Copies out of large regions take another road (rows across groups of
// blocks, streamed past the caches); it must give the same pixels, for a
// target row start on and off a cache line.
TEST(CBlockVMTC, LargeCopyOutMatchesTheFlatBuffer)
{
    CBlockVMTC store(2100, 1010);
    MakeMixed(store, 8);
    const TMTC flat = Flatten(store);
    for (Point at : {Point{0, 0}, Point{-13, 3}, Point{5, -1}}) {
        TMTC out = RandomPicture(2101, 1010, 9), outFlat = RandomPicture(2101, 1010, 9);
        EXPECT_TRUE(store.CopyOut(out, at, false, 255, {0, 0, 2100, 1010}));
        outFlat.CopyFrom(flat, at, {0, 0, 2100, 1010});
        EXPECT_EQ(Difference(out, outFlat), "") << at.x << ", " << at.y;
    }
}

// A commit that fails in the middle of a write stops it: the blocks written
// so far hold the new pixels, the rest the old ones, and none is half made.
TEST(CBlockVMTC, OutOfMemoryMidWriteLeavesConsistentBlocks)
{
    CBlockVMTC s(100, 70);
    const TMTC source = RandomPicture(100, 70, 6);
    {
        ScopedMemoryLimit limit(3 * kBlock);
        EXPECT_FALSE(s.CopyIn(source, {0, 0}, 255, {0, 0, 100, 70}));
    }
    // Row 0 of blocks is one value (whole uniform pieces); the next row commits.
    EXPECT_EQ(s.CommittedBytes(), 3 * kBlock);
    for (int32_t y = 0; y < 70; ++y)
        for (int32_t x = 0; x < 100; ++x) {
            const SBlock* b = s.BlockAt(x, y, false);
            const bool written = b->Committed() || y < 32;
            ASSERT_EQ(s.GetPixel(x, y), written ? source.GetPixel(x, y) : 0x00FFFFFFu) << x << ", " << y;
        }

    // Flips get all their memory first: a failure changes nothing.
    CBlockVMTC f(100, 70);
    MakeMixed(f, 7);
    const TMTC flat = Flatten(f);
    const int64_t committed = f.CommittedBytes();
    {
        ScopedMemoryLimit limit(kBlock);
        EXPECT_FALSE(f.Rotate180({0, 0, 100, 70}));
    }
    EXPECT_EQ(Difference(Flatten(f), flat), "");
    // Only blocks that hold one value may have given memory back.
    EXPECT_LE(f.CommittedBytes(), committed);

    // A store whose table cannot be had is not valid and holds nothing.
    const uint64_t used = MemoryBudget::InUse();
    ScopedMemoryLimit none(0);
    CBlockVMTC starved(1000, 1000);
    EXPECT_FALSE(starved.IsValid());
    EXPECT_EQ(MemoryBudget::InUse(), used);
}

// Uncommitted blocks cost only their 16-byte records: the largest store the
// limits allow adds a few megabytes to the resident size.
TEST(CBlockVMTC, EmptyHugeStoreCostsNoPixelMemory)
{
    auto resident = [] {
        long pages = 0, rss = 0;
        FILE* f = std::fopen("/proc/self/statm", "r");
        if (f && std::fscanf(f, "%ld %ld", &pages, &rss) != 2)
            rss = 0;
        if (f)
            std::fclose(f);
        return int64_t(rss) * sysconf(_SC_PAGESIZE);
    };
    const int64_t before = resident();
    CBlockVMTC s(20000, 20000);
    ASSERT_TRUE(s.IsValid());
    EXPECT_EQ(s.CommittedBytes(), 0);
    s.FillAll(0xFF000000u);
    EXPECT_EQ(s.GetPixel(19999, 19999), 0xFF000000u);
    const int64_t grown = resident() - before;
    std::printf("resident growth for an empty 20000 x 20000 store: %.1f MB (total %.1f MB)\n", grown / 1048576.0,
                resident() / 1048576.0);
    // What the rest of the test program holds (sanitizer quarantine above
    // all) is not the store's; its own growth is what must stay small.
    EXPECT_LT(grown, 16 << 20);
}
