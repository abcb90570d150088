// Compositing stacks of layers: uniform blocks against their committed
// pixels, dither, the oldest generation, and merges that must look exactly
// like the layers they replace.
#include <vector>

#include "LayerFixture.h"
#include "document/LayerComposite.h"
#include "document/OverComposite.h"
#include "document/SLayerParam.h"
#include "storage/BlendTables.h"

namespace morvane {
namespace {
using namespace testing_layers;

// A 100 x 70 store (4 x 3 blocks) of uniform blocks of several alphas,
// among them transparent ones of a colour far from any neutral one, and
// committed blocks of random pixels.
void MixedBlocks(CBlockVMTC& store, uint32_t seed)
{
    const uint32_t uniforms[] = {0x00123456u, 0x80C04010u, 0xFF2080F0u, 0x00FFFFFFu, 0x407F7F7Fu};
    TMTC patch(32, 32);
    for (int32_t by = 0; by < store.BlocksY; ++by)
        for (int32_t bx = 0; bx < store.BlocksX; ++bx) {
            const int32_t k = by * store.BlocksX + bx;
            if (k % 3 == 1) {
                FillRandom(patch, seed + uint32_t(k), false);
                store.CopyIn(patch, {bx * 32, by * 32}, 255, {0, 0, 32, 32});
            } else {
                store.FillRect({bx * 32, by * 32, 32, 32}, uniforms[k % 5]);
            }
        }
}

// The same pixels with every block committed.
CBlockVMTC Committed(const CBlockVMTC& store)
{
    CBlockVMTC copy(store);
    for (int32_t i = 0; i < copy.BlocksX * copy.BlocksY; ++i)
        copy.CommitBlock(copy.Blocks[i]);
    return copy;
}

TMTC Picture(int32_t w, int32_t h, uint32_t seed)
{
    TMTC image(w, h);
    FillRandom(image, seed, false);
    return image;
}

TMTC ReadOut(const CBlockVMTC& store)
{
    TMTC image(store.Width, store.Height);
    store.CopyOut(image, {0, 0}, false, 255, {0, 0, store.Width, store.Height});
    return image;
}

TEST(LayerComposite, UniformBlocksCompositeLikeTheirCommittedPixels)
{
    CBlockVMTC uniform(100, 70);
    MixedBlocks(uniform, 10);
    const CBlockVMTC committed = Committed(uniform);
    ASSERT_GT(committed.CommittedBytes(), uniform.CommittedBytes());
    const ExtentRect whole{0, 0, 100, 70};
    for (int mode = 0; mode < kModeCount; ++mode)
        for (uint8_t opacity : {uint8_t(255), uint8_t(100)}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " opacity " << int(opacity));
            // Into a plain buffer, at an offset that cuts the blocks.
            TMTC a = Picture(90, 60, 3), b = Picture(90, 60, 3);
            ASSERT_TRUE(uniform.CompositeInto(a, {-7, 5}, whole, OpaqueRows(mode), opacity));
            ASSERT_TRUE(committed.CompositeInto(b, {-7, 5}, whole, OpaqueRows(mode), opacity));
            EXPECT_TRUE(SameImage(a, b));
            // Store to store, onto uniform and committed target blocks, with
            // the target's alpha scaled on the way.
            for (int method : {0, 3}) {
                CBlockVMTC ta(80, 80), tb(80, 80);
                MixedBlocks(ta, 20);
                MixedBlocks(tb, 20);
                const SCompositeRows rows = MergeRows(kModeNormal, mode, method);
                ASSERT_TRUE(uniform.CompositeOnto(ta, {9, -13}, whole, rows, opacity, 180));
                ASSERT_TRUE(committed.CompositeOnto(tb, {9, -13}, whole, rows, opacity, 180));
                EXPECT_TRUE(SameImage(ReadOut(ta), ReadOut(tb)));
            }
        }
}

TEST(LayerComposite, CompositeOnScalesTheTargetAlphaAlsoWhereTheSourceIsEmpty)
{
    CBlockVMTC source(64, 64), target(64, 64);
    target.FillAll(0xFF336699u);
    ASSERT_TRUE(source.CompositeOnto(target, {0, 0}, {0, 0, 64, 64}, OpaqueRows(kModeNormal), 255, 128));
    EXPECT_EQ(target.GetPixel(40, 40), 0x80336699u);
    EXPECT_EQ(target.CommittedBytes(), 0); // whole uniform blocks stay uniform
}

TEST(LayerComposite, OverTwinMatchesTheBufferForm)
{
    OverMode normal;
    normal.flags = OverMode::kSkipTransparent;
    normal.dest = [](int32_t w[3], uint32_t p, uint32_t a) {
        for (int k = 0; k < 3; ++k)
            w[k] = int32_t(MulDiv255((p >> (8 * k)) & 0xFF, a));
    };
    normal.source = [](int32_t w[3], uint32_t p, uint32_t a) {
        for (int k = 0; k < 3; ++k)
            w[k] = int32_t(Lerp255((p >> (8 * k)) & 0xFF, uint32_t(w[k]), a));
    };
    CBlockVMTC source(100, 70), target(100, 70);
    MixedBlocks(source, 30);
    MixedBlocks(target, 40);
    TMTC expected = ReadOut(target);
    const TMTC sourcePixels = ReadOut(source);
    ASSERT_TRUE(expected.CompositeOver(sourcePixels, {3, 2}, {0, 0, 100, 70}, normal, 200, 220));
    ASSERT_TRUE(source.CompositeOverOnto(target, {3, 2}, {0, 0, 100, 70}, normal, 200, 220));
    // The buffer form scales the alpha only where the source lands.
    TMTC got = ReadOut(target);
    for (int32_t y = 2; y < 70; ++y)
        for (int32_t x = 3; x < 100; ++x)
            ASSERT_EQ(got.GetPixel(x, y), expected.GetPixel(x, y)) << x << "," << y;
}

TEST(LayerComposite, EmptyHugeLayerChangesNothingAndCommitsNothing)
{
    CLayerMngr stack;
    const int32_t index = stack.AddLayer(0, 20000, true, 255, kModeNormal, 20000);
    ASSERT_EQ(index, 0);
    stack.AddLayer(1, 300, true, 255, kModeMultiply, 200); // a new multiply layer: white, alpha 0
    const TMTC paper = Picture(400, 300, 5);
    TMTC composite(paper);
    ASSERT_TRUE(CompositeStack(stack, composite, {0, 0, 400, 300}));
    EXPECT_TRUE(SameImage(composite, paper));
    CLayerData target;
    ASSERT_TRUE(target.Setup(4000, 3000, kModeNormal));
    EXPECT_TRUE(MergeLayerInto(*stack.At(0), 255, target, 0));
    EXPECT_EQ(target.Store->CommittedBytes(), 0);
}

TEST(LayerComposite, DitherGivesTheSamePatternForPartialAndFullRedraws)
{
    CLayerMngr stack;
    stack.AddLayer(0, 120, true, 255, kModeNormal, 90);
    CLayerData& layer = *stack.At(0);
    PaintRandom(layer, {0, 0, 120, 90}, 7, false);
    layer.OriginX = 13;
    layer.OriginY = 4;
    layer.Dither = true;
    layer.DitherDensity = 180;
    const TMTC paper = Picture(100, 80, 9);
    TMTC full(paper), parts(paper);
    CompositeStack(stack, full, {0, 0, 100, 80});
    for (const ExtentRect r : {ExtentRect{0, 0, 37, 80}, ExtentRect{37, 0, 63, 33}, ExtentRect{37, 33, 63, 47}})
        CompositeStack(stack, parts, r);
    EXPECT_TRUE(SameImage(full, parts));
    EXPECT_FALSE(SameImage(full, paper));

    // Density 255 with an opaque layer leaves nothing out; density 0 everything.
    PaintRandom(layer, {0, 0, 120, 90}, 8, true);
    TMTC plain(paper);
    layer.Dither = false;
    CompositeStack(stack, plain, {0, 0, 100, 80});
    for (const auto& [density, expected] : {std::pair<uint8_t, const TMTC*>{255, &plain}, std::pair<uint8_t, const TMTC*>{0, &paper}}) {
        TMTC dithered(paper);
        layer.Dither = true;
        layer.DitherDensity = density;
        CompositeStack(stack, dithered, {0, 0, 100, 80});
        EXPECT_TRUE(SameImage(dithered, *expected)) << int(density);
    }
}

TEST(LayerComposite, TransparentPaperUsesThePairTableWithEffectiveOpacity)
{
    CLayerMngr stack;
    stack.AddLayer(0, 70, true, 200, kModeMultiply, 50);
    stack.AddLayer(1, 70, true, 150, kModeOverlay, 50);
    stack.At(1)->SetLevel(1);
    PaintRandom(*stack.At(0), {0, 0, 70, 50}, 31, false);
    PaintRandom(*stack.At(1), {0, 0, 70, 25}, 32, false);
    stack.At(1)->OriginX = 6;
    TMTC ours(60, 40);
    ours.FillAll(0x00FFFFFFu);
    TMTC expected(ours);
    ASSERT_TRUE(CompositeStackOver(stack, ours, {0, 0, 60, 40}));
    const uint8_t linked = uint8_t(MulDiv255(150, 200));
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 60; ++x) {
            uint32_t& t = *expected.PixelPtr(x, y);
            t = OverPixel(OverForm::MultiplyOver, 0, t, stack.At(0)->Store->GetPixel(x, y), 200);
            t = OverPixel(OverForm::General, kModeOverlay, t, stack.At(1)->Store->GetPixel(x + 6, y), linked);
        }
    EXPECT_TRUE(SameImage(ours, expected));
}

TEST(LayerComposite, OldestGenerationKinds)
{
    const ExtentRect r{0, 0, 60, 40};
    for (int kind : {0, 1, 2, 5}) {
        CLayerMngr stack;
        stack.AddLayer(0, 60, true, 150, kind, 40);
        PaintRandom(*stack.At(0), r, 11, false);
        const TMTC layer = ReadOut(*stack.At(0)->Store);
        TMTC ours = Picture(60, 40, 12), expected(ours);
        CompositeStack(stack, ours, r, EngineGeneration::Oldest);
        if (kind == 0)
            expected.MultiplyFrom(layer, {0, 0}, 150, r);
        else if (kind == 1)
            expected.AddFrom(layer, {0, 0}, 150, r);
        else if (kind == 2)
            expected.SubtractFrom(layer, {0, 0}, 150, r);
        else // the normal effective-alpha blend
            for (int32_t y = 0; y < 40; ++y)
                for (int32_t x = 0; x < 60; ++x)
                    BlendColour(*expected.PixelPtr(x, y), layer.GetPixel(x, y),
                                MulDiv255(150, layer.GetPixel(x, y) >> 24));
        EXPECT_TRUE(SameImage(ours, expected)) << kind;
    }
}

// A picture of 90 x 70 whose layers' stores are larger than it and placed
// differently; the bottom layer is opaque, so the composite does not depend
// on the paper.
constexpr int32_t kW = 90, kH = 70;

void AddPainted(CLayerMngr& s, int mode, uint8_t opacity, Point origin, int32_t w, int32_t h, uint32_t seed,
                bool opaque)
{
    const int32_t i = s.AddLayer(s.Count(), w, true, opacity, mode, h);
    CLayerData& l = *s.At(i);
    l.OriginX = origin.x;
    l.OriginY = origin.y;
    // Paint part of the store only: the rest stays uniform.
    PaintRandom(l, {0, 0, w, opaque ? h : h / 2 + 7}, seed, opaque);
}

CLayerMngr Picture()
{
    CLayerMngr s;
    s.PictureW = kW;
    s.PictureH = kH;
    AddPainted(s, kModeNormal, 255, {20, 10}, 130, 100, 1, true);
    return s;
}

TMTC Composite(const CLayerMngr& s)
{
    TMTC image = Picture(kW, kH, 77);
    CompositeStack(s, image, {0, 0, kW, kH});
    return image;
}

TEST(LayerMerge, MergeDownLooksLikeTheTwoLayers)
{
    for (int mode : {3, 5, 7, 9, 12, 14, 17, 19, 20, 21}) {
        SCOPED_TRACE(mode);
        CLayerMngr s = Picture();
        AddPainted(s, mode, 200, {-15, 30}, 120, 60, 2, false);
        AddPainted(s, kModeScreen, 255, {0, 0}, kW, kH, 3, false);
        s.At(2)->Visible = false;
        s.At(1)->SetLevel(1);
        s.At(1)->Dither = mode == 5;
        s.At(1)->DitherDensity = 160;
        const TMTC before = Composite(s);
        const int32_t lowerId = s.IdAt(0);
        ASSERT_TRUE(s.MergeDown(0, 1, false, 0));
        s.DeleteLayer(1);
        EXPECT_EQ(s.IdAt(0), lowerId);
        EXPECT_EQ(s.At(0)->ContentBounds(), (EdgeRect{-20, -30, 135, 90}));
        EXPECT_TRUE(SameImage(Composite(s), before));
    }
}

TEST(LayerMerge, MergeVisibleLooksLikeTheStack)
{
    CLayerMngr s = Picture();
    AddPainted(s, kModeMultiply, 200, {5, 5}, 100, 80, 2, false);
    AddPainted(s, kModeOverlay, 255, {0, 0}, kW, kH, 3, false); // hidden
    AddPainted(s, kModeScreen, 180, {-30, 0}, 150, 70, 4, false);
    AddPainted(s, kModeNormal, 220, {0, -20}, kW, 100, 5, false);
    AddPainted(s, kModeHue, 255, {10, 10}, 40, 40, 6, false);
    s.At(2)->Visible = false;
    s.At(2)->Opacity = 90;
    s.At(3)->SetLevel(1); // linked to the hidden layer, whose opacity still counts
    s.At(4)->SetLevel(2); // linked to the screen layer and the hidden one
    s.At(4)->Dither = true;
    s.At(4)->DitherDensity = 200;
    ASSERT_LT(EffectiveOpacity(s, 4), 220);
    const TMTC before = Composite(s);
    const int32_t hiddenId = s.IdAt(2);
    CLayerMngr removed;
    ASSERT_TRUE(MergeVisible(s, -1, false, removed));
    ASSERT_EQ(s.Count(), 2);
    EXPECT_EQ(s.IdAt(1), hiddenId);
    EXPECT_EQ(removed.Count(), 5);
    EXPECT_EQ(s.At(0)->Mode, kModeNormal);
    EXPECT_EQ(s.At(0)->ContentBounds(), (EdgeRect{-20, -10, 180, 120}));
    EXPECT_TRUE(SameImage(Composite(s), before));
}

TEST(LayerMerge, MergeVisibleIsRefusedWhereItMustBe)
{
    CLayerMngr s = Picture();
    AddPainted(s, kModeNormal, 255, {0, 0}, kW, kH, 2, false);
    CLayerMngr removed;
    s.At(0)->Visible = false;
    EXPECT_FALSE(MergeVisible(s, -1, false, removed)); // the bottom is hidden
    s.At(0)->Visible = true;
    s.At(0)->SetMode(kModeAdd);
    EXPECT_FALSE(MergeVisible(s, -1, false, removed));
    EXPECT_TRUE(MergeVisible(s, 3, false, removed)); // a method accepts add
    EXPECT_EQ(s.Count(), 1);
    CLayerMngr t = Picture();
    AddPainted(t, kModeNormal, 255, {0, 0}, kW, kH, 2, false);
    t.At(0)->SetMode(kModeScreen);
    EXPECT_FALSE(MergeVisible(t, -1, true, removed));
    EXPECT_EQ(t.Count(), 2);
}

} // namespace
} // namespace morvane
