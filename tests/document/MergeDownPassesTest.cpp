// Merge down runs its passes a few blocks at a time (or, for normal over
// normal, one pass per block) and shrinks the thumbnail as rows or blocks
// become final; the result must be bit for bit what the whole-store passes
// give: copy, lower opacity into alpha, merge, inversion, compaction,
// thumbnail.
#include <memory>

#include "LayerFixture.h"
#include "document/LayerComposite.h"
#include "document/SLayerParam.h"
#include "storage/BlendTables.h"

namespace morvane {
namespace {
using namespace testing_layers;

// The whole-store passes, one after another.
std::unique_ptr<CLayerData> MergedByWholePasses(const CLayerData& low, const CLayerData& up, int32_t kind)
{
    const EdgeRect b = Union(low.ContentBounds(), up.ContentBounds());
    auto merged = low.Resized(b.right - b.left, b.bottom - b.top, {-low.OriginX - b.left, -low.OriginY - b.top});
    if (!merged)
        return nullptr;
    CBlockVMTC& store = *merged->Store;
    const ExtentRect whole{0, 0, store.Width, store.Height};
    const uint8_t o = low.Opacity;
    store.ForEachBlockInRect(whole, [&](const SPiece& p) {
        return store.TransformPiece<uint32_t>(
            p, [o](uint32_t v) { return (v & 0x00FFFFFFu) | uint32_t{MulTable[o][v >> 24]} << 24; });
    });
    const uint8_t upperOpacity = up.LinkLevel > low.LinkLevel ? uint8_t(MulDiv255(up.Opacity, o)) : up.Opacity;
    if (!MergeLayerInto(up, upperOpacity, *merged, kind))
        return nullptr;
    if (kind != 0 && (LayerParam(low.Mode)->Flags & kFlagInvertAfterMerge))
        store.XorRect(whole, 0x00FFFFFFu);
    store.Compact();
    merged->RefreshThumbnail();
    return merged;
}

void ExpectSameLayer(const CLayerData& a, const CLayerData& b)
{
    ASSERT_EQ(a.ContentBounds(), b.ContentBounds());
    EXPECT_EQ(a.Store->CommittedBytes(), b.Store->CommittedBytes());
    int32_t differing = 0;
    for (int32_t y = 0; y < a.Store->Height; ++y)
        for (int32_t x = 0; x < a.Store->Width; ++x)
            differing += a.Store->GetPixel(x, y) != b.Store->GetPixel(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(SameImage(a.Thumbnail, b.Thumbnail));
}

struct Case {
    const char* name;
    int lowerMode, upperMode;
    uint8_t lowerOpacity, upperOpacity;
    Point lowerOrigin, upperOrigin;
    int32_t lowerW, lowerH, upperW, upperH;
    int32_t method;
    bool linked, dither;
};

TEST(MergeDownPasses, EqualTheWholeStorePasses)
{
    // Stores equal to the 200 x 150 picture take the early thumbnail; the
    // others do not, and their offsets cut the blocks of both layers.
    const Case cases[] = {
        {"picture-sized, lower opacity", kModeNormal, kModeNormal, 128, 255, {0, 0}, {0, 0}, 200, 150, 200, 150, 0,
         false, false},
        {"offset, linked, dithered", kModeNormal, kModeMultiply, 200, 180, {20, 10}, {-15, 30}, 230, 170, 120, 60, 0,
         true, true},
        {"pair table, inverted", kModeSubtract, kModeScreen, 255, 220, {0, 0}, {7, 3}, 200, 150, 90, 300,
         1 | (1 << 16), false, false},
        {"general over", kModeNormal, kModeHue, 90, 255, {33, 0}, {0, 0}, 260, 150, 200, 150, 3, false, false},
        // Normal over normal at lower opacity 255 writes each block in one pass
        // from both layers where their blocks line up, and the passes elsewhere.
        {"one pass, picture-sized", kModeNormal, kModeNormal, 255, 255, {0, 0}, {0, 0}, 200, 150, 200, 150, 0, false,
         false},
        {"one pass, aligned offsets", kModeNormal, kModeNormal, 255, 150, {0, 0}, {-32, 64}, 200, 150, 150, 100, 0,
         false, false},
        {"one pass by the pair table, offsets cutting blocks", kModeMultiply, kModeNormal, 255, 200, {0, 0}, {7, 3},
         200, 150, 120, 90, 3, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLayerMngr s;
        s.PictureW = 200;
        s.PictureH = 150;
        ASSERT_EQ(s.AddLayer(0, c.lowerW, true, c.lowerOpacity, c.lowerMode, c.lowerH), 0);
        ASSERT_EQ(s.AddLayer(1, c.upperW, true, c.upperOpacity, c.upperMode, c.upperH), 1);
        CLayerData &low = *s.At(0), &up = *s.At(1);
        low.OriginX = c.lowerOrigin.x;
        low.OriginY = c.lowerOrigin.y;
        up.OriginX = c.upperOrigin.x;
        up.OriginY = c.upperOrigin.y;
        // Part of each store painted, the rest uniform blocks.
        PaintRandom(low, {0, 0, c.lowerW, c.lowerH * 2 / 3}, 5, false);
        PaintRandom(up, {c.upperW / 4, 9, c.upperW / 2, c.upperH - 9}, 6, false);
        up.Store->FillRect({0, c.upperH - 40, 64, 32}, 0xC0405060u);
        up.SetLevel(c.linked ? 1 : 0);
        up.Dither = c.dither;
        up.DitherDensity = 170;

        const std::unique_ptr<CLayerData> expected = MergedByWholePasses(low, up, c.method & 0xFFFF);
        ASSERT_TRUE(expected);
        ASSERT_TRUE(s.MergeDown(0, 1, false, c.method));
        ExpectSameLayer(*s.At(0), *expected);
    }
}

} // namespace
} // namespace morvane
