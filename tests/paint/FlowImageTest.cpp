#include "paint/TFlowImage.h"

#include <gtest/gtest.h>

#include "paint/CPenRender.h"
#include "paint/PaintHooks.h"
#include "paint/TStroke.h"
#include "platform/MemoryBudget.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"
#include "support/Checksum.h"

using namespace morvane;

namespace {

// A store of w x h filled with fill, with one committed pixel of mark at (1, 1).
CBlockVMTC MakeStore(int32_t w, int32_t h, uint32_t fill, uint32_t mark)
{
    CBlockVMTC store(w, h);
    store.FillAll(fill);
    store.SetPixel(1, 1, mark);
    return store;
}

// FNV-1a over every pixel.
uint64_t Checksum(const CBlockVMTC& store)
{
    return support::Checksum(store);
}

bool ImageShows(const TFlowImage& flow, const CBlockVMTC& store)
{
    for (int32_t y = 0; y < store.Height; ++y)
        for (int32_t x = 0; x < store.Width; ++x)
            if (flow.Image().GetPixel(x, y) != store.GetPixel(x, y))
                return false;
    return true;
}

// The normal final write over any destination alpha; counts which entry the
// rebuild took.
class OverChain final : public RowChain {
public:
    void ChainRow(TMTC& image, int32_t x, int32_t y, int32_t count, uint8_t* alpha, uint32_t colour) const override
    {
        ++chained;
        for (int32_t i = 0; i < count; ++i)
            Over(*image.PixelPtr(x + i, y), colour, alpha[i]);
    }
    void WriteRow(TMTC& image, int32_t x, int32_t y, int32_t count, const uint8_t* alpha,
                  const uint32_t* colours) const override
    {
        ++written;
        for (int32_t i = 0; i < count; ++i)
            Over(*image.PixelPtr(x + i, y), colours[i], alpha[i]);
    }
    mutable int chained = 0, written = 0;

private:
    static void Over(uint32_t& px, uint32_t colour, uint32_t a)
    {
        if (a == 0)
            return;
        const uint32_t c = px >> 24;
        const uint32_t covered = c + MulTable[a][255 - c];
        px = (px & 0x00FFFFFFu) | (covered << 24);
        BlendColour(px, colour, a * 255 / covered);
    }
};

// A colour that depends on the pixel, alpha 128.
class StripeGradation final : public ColourSource {
public:
    void Row(int32_t x, int32_t, int32_t count, uint32_t* out) const override
    {
        for (int32_t i = 0; i < count; ++i)
            out[i] = 0x80000000u | uint32_t(x + i);
    }
};

// Two overlapping square "dabs" of full coverage, as the pencil's keep-maximum
// leaves them.
void StampTwoDabs(TChannel& coverage)
{
    coverage.ApplyRect({10, 10, 20, 20}, 255, bytefn::Maximum);
    coverage.ApplyRect({20, 20, 20, 20}, 255, bytefn::Maximum);
}

} // namespace

TEST(TFlowImage, CopiesOnlyWhenForcedForAnotherLayerOrWhenNotLoaded)
{
    CBlockVMTC a = MakeStore(40, 30, 0x00FFFFFF, 0xFF102030);
    CBlockVMTC b = MakeStore(40, 30, 0x80405060, 0xFF000000);
    TFlowImage flow;
    ASSERT_TRUE(flow.FitToDocument(32, 24, true));
    TStroke stroke;
    stroke.layerIndex = 7;

    struct Step {
        int32_t index;
        bool force, unload, copied;
    };
    const Step steps[] = {
        {0, false, false, true},  // first load
        {0, false, false, false}, // same layer, loaded
        {0, true, false, true},   // forced
        {1, false, false, true},  // layer switch
        {0, false, false, true},  // and back
        {0, false, true, true},   // the window dropped its copy
    };
    for (const Step& s : steps) {
        const CBlockVMTC& store = s.index == 0 ? a : b;
        // Wet paint that was never committed: only a copy wipes it.
        flow.Image().FillRect({0, 0, 5, 5}, 0xFF00FF00);
        flow.Coverage().FillRect({0, 0, 5, 5}, 9);
        if (s.unload)
            flow.Unload();
        bool copied = !s.copied;
        ASSERT_TRUE(flow.LoadLayer({s.index, &store, {3, 4}}, s.force, &stroke, &copied));
        EXPECT_EQ(copied, s.copied) << s.index << s.force << s.unload;
        EXPECT_EQ(ImageShows(flow, store), s.copied);
        EXPECT_EQ(flow.Coverage().GetValue(2, 2), s.copied ? 0 : 9);
        EXPECT_TRUE(flow.IsLoaded());
        EXPECT_EQ(flow.Layer(), s.index);
        EXPECT_EQ(stroke.layerIndex, s.index);
        EXPECT_EQ(flow.Bounds(), (EdgeRect{3, 4, 32, 24}));
    }
}

TEST(TFlowImage, GrowsForLargerPicturesAndLayersAndKeepsItsSizeWhenAsked)
{
    TFlowImage flow;
    struct Case {
        int32_t w, h;
        bool keepLarger;
        int32_t outW, outH;
    };
    const Case cases[] = {
        {100, 80, true, 100, 80}, {200, 50, true, 200, 80}, {50, 50, true, 200, 80}, {50, 40, false, 50, 40},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(flow.FitToDocument(c.w, c.h, c.keepLarger));
        EXPECT_EQ(flow.Image().Width, c.outW);
        EXPECT_EQ(flow.Image().Height, c.outH);
        EXPECT_EQ(flow.Coverage().Width, c.outW);
        EXPECT_EQ(flow.Coverage().Height, c.outH);
    }
    EXPECT_EQ(flow.Image().GetPixel(49, 39), TFlowImage::kWhite);
    EXPECT_EQ(flow.Bounds(), (EdgeRect{0, 0, 50, 40}));

    // A new size drops the copy; the same size keeps it.
    CBlockVMTC store = MakeStore(30, 70, 0x00FFFFFF, 0xFF123456);
    ASSERT_TRUE(flow.LoadLayer({0, &store, {0, 0}}, false)); // taller than the image: grows
    EXPECT_EQ(flow.Image().Width, 50);
    EXPECT_EQ(flow.Image().Height, 70);
    EXPECT_TRUE(ImageShows(flow, store));
    ASSERT_TRUE(flow.FitToDocument(50, 40, true));
    EXPECT_TRUE(flow.IsLoaded());
    ASSERT_TRUE(flow.FitToDocument(60, 40, true));
    EXPECT_FALSE(flow.IsLoaded());
    EXPECT_FALSE(flow.FitToDocument(0, 40, true));
    EXPECT_FALSE(flow.FitToDocument(10001, 40, true));
    EXPECT_EQ(flow.Image().Width, 60);
}

TEST(TFlowImage, FailedLoadLeavesNothingLoadedAndCommitsNothing)
{
    CBlockVMTC small = MakeStore(40, 40, 0xFF0000FF, 0xFF00FF00);
    CBlockVMTC large = MakeStore(64, 64, 0x00FFFFFF, 0xFF333333);
    TFlowImage flow;
    TStroke stroke;
    ASSERT_TRUE(flow.LoadLayer({0, &small, {0, 0}}, false, &stroke));
    const uint64_t before = Checksum(large);
    {
        ScopedMemoryLimit none(0);
        bool copied = true;
        EXPECT_FALSE(flow.LoadLayer({1, &large, {0, 0}}, false, &stroke, &copied));
        EXPECT_FALSE(copied);
    }
    EXPECT_FALSE(flow.IsLoaded());
    EXPECT_EQ(stroke.layerIndex, 0);
    // Whatever the old buffers held (the other layer's pixels) stays out of the layer.
    EXPECT_FALSE(flow.CommitRegion({0, 0, 64, 64}, 1, large));
    EXPECT_FALSE(flow.CommitRegion({0, 0, 64, 64}, 0, small));
    EXPECT_EQ(Checksum(large), before);
    flow.ClearCoverage({0, 0, 64, 64}); // harmless without buffers

    // Memory back: the next load copies afresh.
    ASSERT_TRUE(flow.LoadLayer({1, &large, {0, 0}}, false, &stroke));
    EXPECT_TRUE(ImageShows(flow, large));

    {
        ScopedMemoryLimit none(0);
        EXPECT_FALSE(flow.FitToDocument(100, 100, false));
    }
    EXPECT_FALSE(flow.IsLoaded());
    EXPECT_FALSE(flow.CommitRegion({0, 0, 64, 64}, 1, large));
    EXPECT_EQ(Checksum(large), before);
    EXPECT_FALSE(flow.LoadLayer({1, nullptr, {0, 0}}, false));
}

TEST(TFlowImage, CommitCopiesExactlyTheRegionAtFullOpacity)
{
    CBlockVMTC store = MakeStore(70, 50, 0x00FFFFFF, 0xFF445566);
    TFlowImage flow;
    ASSERT_TRUE(flow.FitToDocument(80, 60, true)); // larger than the store
    ASSERT_TRUE(flow.LoadLayer({2, &store, {0, 0}}, false));
    flow.Image().FillAll(0x64A0B0C0); // alpha 100: a blend would not give it back
    EXPECT_FALSE(flow.CommitRegion({5, 6, 7, 8}, 1, store)); // another layer's index

    const ExtentRect region{60, 45, 20, 10}; // reaches past the store
    ASSERT_TRUE(flow.CommitRegion(region, 2, store));
    for (int32_t y = 0; y < store.Height; ++y)
        for (int32_t x = 0; x < store.Width; ++x) {
            const bool inside = x >= 60 && y >= 45;
            const uint32_t old = x == 1 && y == 1 ? 0xFF445566 : 0x00FFFFFF;
            ASSERT_EQ(store.GetPixel(x, y), inside ? 0x64A0B0C0 : old) << x << "," << y;
        }
    EXPECT_FALSE(flow.CommitRegion({70, 0, 10, 10}, 2, store)); // misses the store
}

TEST(TFlowImage, PencilStrokesNeverBuildUpBeyondTheirOpacity)
{
    CBlockVMTC store(64, 64); // transparent white
    TFlowImage flow;
    ASSERT_TRUE(flow.LoadLayer({0, &store, {0, 0}}, false));
    TStroke stroke;
    stroke.SetOpacity(0.5f);
    // The pencil's own renderer runs the chain.
    CPenRender pen(stroke);
    BrushMethodRecord pencil;
    pencil.pencil = true;
    pen.SetMethod(pencil);
    ASSERT_TRUE(pen.Prepare(flow.Image(), {}, 0, 0));
    const SPencilRebuild how{&pen, nullptr, 0xFF204060, PencilOpacity(stroke, false)};
    EXPECT_EQ(how.opacity, 127);
    EXPECT_EQ(PencilOpacity(stroke, true), 255);

    const ExtentRect strokeRect{10, 10, 30, 30};
    for (int strokeNo = 1; strokeNo <= 2; ++strokeNo) {
        ASSERT_TRUE(flow.LoadLayer({0, &store, {0, 0}}, false));
        StampTwoDabs(flow.Coverage());
        ASSERT_TRUE(flow.RebuildPencil(strokeRect, store, how)); // after the first dab's move
        ASSERT_TRUE(flow.RebuildPencil(strokeRect, store, how)); // and again: nothing builds up
        // One stroke: 127 where the dabs overlap, exactly the colour; two: 127 + 127 x 128 / 255.
        const uint32_t alpha = strokeNo == 1 ? 127 : 190;
        EXPECT_EQ(flow.Image().GetPixel(25, 25), (alpha << 24) | 0x204060) << strokeNo;
        EXPECT_EQ(flow.Image().GetPixel(15, 15), (alpha << 24) | 0x204060) << strokeNo;
        EXPECT_EQ(flow.Image().GetPixel(35, 15), 0x00FFFFFFu) << strokeNo;
        ASSERT_TRUE(flow.CommitRegion(strokeRect, 0, store));
        flow.ClearCoverage(strokeRect);
        EXPECT_EQ(store.GetPixel(25, 25), (alpha << 24) | 0x204060);
        EXPECT_EQ(flow.Coverage().GetValue(25, 25), 0);
    }
}

TEST(TFlowImage, RebuildRestoresTheLayerInItsRectangleOnly)
{
    CBlockVMTC store(48, 40);
    store.FillAll(0xFF808080);
    TFlowImage flow;
    ASSERT_TRUE(flow.FitToDocument(64, 64, true)); // the image reaches past the store
    ASSERT_TRUE(flow.LoadLayer({0, &store, {0, 0}}, false));
    OverChain chain;
    StripeGradation gradation;
    const SPencilRebuild plain{&chain, nullptr, 0xFF000000, 255};

    EXPECT_FALSE(flow.RebuildPencil({100, 0, 5, 5}, store, plain)); // misses the image
    flow.Image().FillAll(0xFF111111);                                // wet paint of the moves so far
    flow.Coverage().FillRect({30, 0, 10, 10}, 255);
    ASSERT_TRUE(flow.RebuildPencil({0, 0, 40, 50}, store, plain));
    EXPECT_EQ(flow.Image().GetPixel(5, 5), 0xFF808080u);  // restored, no coverage
    EXPECT_EQ(flow.Image().GetPixel(35, 5), 0xFF000000u); // covered
    EXPECT_EQ(flow.Image().GetPixel(45, 5), 0xFF111111u); // outside the rectangle
    EXPECT_EQ(flow.Image().GetPixel(5, 45), 0xFF111111u); // outside the store
    EXPECT_EQ(chain.written, 0);

    // With a gradation the covered pixels take its colour and alpha, through
    // the final write alone.
    const SPencilRebuild graded{&chain, &gradation, 0xFF000000, 255};
    ASSERT_TRUE(flow.RebuildPencil({0, 0, 40, 40}, store, graded));
    EXPECT_EQ(chain.written, 10);
    const int chainedBefore = chain.chained;
    uint32_t expected = 0xFF808080u;
    BlendColour(expected, 0x80000000u | 33, 128);
    EXPECT_EQ(flow.Image().GetPixel(33, 2), expected);
    EXPECT_EQ(flow.Image().GetPixel(5, 5), 0xFF808080u);
    EXPECT_EQ(chain.chained, chainedBefore);

    flow.Unload();
    flow.Image().FillAll(0xFF111111);
    EXPECT_FALSE(flow.RebuildPencil({0, 0, 40, 40}, store, plain));
    EXPECT_EQ(flow.Image().GetPixel(5, 5), 0xFF111111u);
}
