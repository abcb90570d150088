// The layer and the stack: insertion, moves, names, visibility, Ids, link
// levels and what happens when memory runs out.
#include <vector>

#include "LayerFixture.h"
#include "document/LayerComposite.h"
#include "document/SLayerParam.h"
#include "platform/MemoryBudget.h"
#include "storage/BlendTables.h"

namespace morvane {
namespace {
using namespace testing_layers;

// A stack of n small layers named by their Ids.
CLayerMngr Stack(int n, int32_t w = 40, int32_t h = 30)
{
    CLayerMngr stack;
    stack.PictureW = w;
    stack.PictureH = h;
    for (int i = 0; i < n; ++i)
        stack.AddLayer(stack.Count(), w, true, 255, kModeNormal, h);
    return stack;
}

std::vector<int32_t> Ids(const CLayerMngr& s)
{
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < s.Count(); ++i) {
        ids.push_back(s.IdAt(i));
        EXPECT_EQ(s.At(i)->Position, i);
    }
    return ids;
}

TEST(LayerStack, AddLayerPlacesByIndexAndRefusesNegative)
{
    struct Case {
        int32_t index, expected;
        const char* message;
    };
    for (const Case c : {Case{-5, -1, "不正なレイヤインデックスです!"}, Case{99, 3, nullptr}, Case{3, 3, nullptr},
                         Case{0, 0, nullptr}, Case{1, 1, nullptr}}) {
        Notes notes;
        CLayerMngr s = Stack(3);
        const std::vector<int32_t> before = Ids(s);
        const int32_t next = CLayerData::PeekNextId();
        EXPECT_EQ(s.AddLayer(c.index, 40, false, 128, kModeMultiply, 30), c.expected) << c.index;
        if (c.message) {
            EXPECT_TRUE(notes.Said(c.message));
            EXPECT_EQ(Ids(s), before);
            continue;
        }
        EXPECT_EQ(notes.Count(), 0u);
        const CLayerData& added = *s.At(c.expected);
        EXPECT_EQ(added.Id, next);
        EXPECT_EQ(added.Opacity, 128);
        EXPECT_FALSE(added.Visible);
        EXPECT_EQ(added.Mode, kModeMultiply);
        // A new multiply layer reads white with alpha 0.
        EXPECT_EQ(added.Store->GetPixel(5, 5), 0x00FFFFFFu);
        EXPECT_EQ(s.IndexOfId(next), c.expected);
        EXPECT_EQ(s.Current(), 0);
    }
}

TEST(LayerStack, AddLayerRefusesUnknownModeAndFullStack)
{
    Notes notes;
    CLayerMngr s = Stack(1);
    EXPECT_EQ(s.AddLayer(0, 40, true, 255, 22, 30), -1);
    EXPECT_TRUE(notes.Said("レイヤの初期化に失敗しました!"));
    EXPECT_EQ(s.Count(), 1);
}

TEST(LayerStack, MoveLayer)
{
    CLayerMngr s = Stack(4);
    const std::vector<int32_t> ids = Ids(s);
    EXPECT_EQ(s.MoveLayer(2, 2), -1);
    EXPECT_EQ(s.MoveLayer(0, 7), -1);
    EXPECT_EQ(s.MoveLayer(0, 2), 0);
    EXPECT_EQ(Ids(s), (std::vector<int32_t>{ids[2], ids[0], ids[1], ids[3]}));
    EXPECT_EQ(s.MoveLayer(50, 0), 3); // clamped to the top
    EXPECT_EQ(Ids(s), (std::vector<int32_t>{ids[0], ids[1], ids[3], ids[2]}));
}

TEST(LayerStack, MoveBlockCarriesTheRunAndAdjustsLevels)
{
    struct Case {
        std::vector<int32_t> levels;
        int32_t to, from, count, result;
        std::vector<int32_t> order, after;
    };
    const Case cases[] = {
        // A group (1 led by 2's run) moved to the bottom: its leader takes level 0.
        {{0, 0, 1, 0}, 0, 1, 2, 0, {1, 2, 0, 3}, {0, 1, 0, 0}},
        // Moved to the top, landing on a plain layer.
        {{0, 0, 1, 0}, 2, 1, 2, 2, {0, 3, 1, 2}, {0, 0, 0, 1}},
        // Landing right on a group leader joins its group.
        {{0, 1, 0, 0}, 1, 2, 1, 1, {0, 2, 1, 3}, {0, 1, 1, 0}},
        {{0, 0, 0}, 1, 1, 1, -1, {0, 1, 2}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        CLayerMngr s = Stack(int(c.levels.size()));
        const std::vector<int32_t> ids = Ids(s);
        for (size_t i = 0; i < c.levels.size(); ++i)
            s.At(int32_t(i))->SetLevel(c.levels[i]);
        EXPECT_EQ(s.MoveBlock(c.to, c.from, c.count), c.result);
        for (size_t i = 0; i < c.order.size(); ++i) {
            EXPECT_EQ(s.IdAt(int32_t(i)), ids[size_t(c.order[i])]) << i;
            EXPECT_EQ(s.At(int32_t(i))->LinkLevel, c.after[i]) << i;
        }
    }
    Notes notes;
    CLayerMngr s = Stack(3);
    EXPECT_EQ(s.MoveBlock(0, 2, 2), -1);
    EXPECT_TRUE(notes.Said("レイヤ移動に失敗しました！"));
}

TEST(LayerStack, NamesAndVisibility)
{
    CLayerMngr s = Stack(4);
    s.NameLayer(0, 1);
    EXPECT_EQ(s.At(0)->Name, "レイヤ1");
    EXPECT_EQ(s.NextName(1), "レイヤ2");
    s.CopyName(2, 0);
    EXPECT_EQ(s.At(2)->Name, "レイヤ1");

    s.ShowOnly(2);
    EXPECT_EQ(s.VisibleCount(), 1);
    EXPECT_TRUE(s.At(2)->Visible);
    s.ToggleAllVisible();
    EXPECT_EQ(s.VisibleCount(), 3);
    EXPECT_FALSE(s.At(2)->Visible);
    s.SetAllVisible(false);
    s.SetVisibleRun(2, 99, true); // stops at the top
    EXPECT_EQ(s.VisibleCount(), 2);
    EXPECT_TRUE(s.At(3)->Visible);
}

TEST(LayerStack, RemoveKeepsCurrentInRangeAndSwapExchanges)
{
    CLayerMngr s = Stack(3), other = Stack(1);
    s.SetCurrent(2);
    const int32_t top = s.IdAt(2), foreign = other.IdAt(0);
    EXPECT_EQ(s.RemoveLayer(2)->Id, top);
    EXPECT_EQ(s.Current(), 1);
    EXPECT_TRUE(s.SwapWith(0, other, 0));
    EXPECT_EQ(s.IdAt(0), foreign);
    EXPECT_EQ(s.IndexOfId(top), -1);
    EXPECT_EQ(s.IdAt(9), -1);
}

TEST(LayerStack, LinkLevelsAndEffectiveOpacity)
{
    CLayerMngr s = Stack(4);
    s.At(0)->Opacity = 128;
    s.At(1)->Opacity = 200;
    EXPECT_TRUE(s.RaiseLevel(1));    // 1 linked to 0
    EXPECT_TRUE(s.RaiseLevel(2));    // 2 linked to 1
    EXPECT_TRUE(s.RaiseLevel(2));    // 2 now level 2: linked to 1 and 0
    EXPECT_FALSE(s.RaiseLevel(2));   // deeper than the one below
    EXPECT_FALSE(s.RaiseLevel(0));   // nothing below
    EXPECT_EQ(s.LinkedRunLength(0), 2);
    EXPECT_EQ(EffectiveOpacity(s, 1), MulDiv255(200, 128));
    EXPECT_EQ(EffectiveOpacity(s, 2), MulDiv255(MulDiv255(255, 200), 128));
    EXPECT_EQ(EffectiveOpacity(s, 3), 255);
    s.At(1)->Visible = false; // hidden: contributes nothing, but still scales those linked to it
    EXPECT_EQ(EffectiveOpacity(s, 1), 0);
    EXPECT_EQ(EffectiveOpacity(s, 2), MulDiv255(MulDiv255(255, 200), 128));

    s.At(3)->SetLevel(1000);
    EXPECT_EQ(s.At(3)->LinkLevel, 250);
    s.At(3)->SetLevel(248);
    EXPECT_TRUE(s.LowerLevel(3));
    s.At(3)->SetLevel(249);
    EXPECT_FALSE(s.RaiseLevel(1)); // the highest level is 249
}

TEST(LayerData, GeometryAndResize)
{
    CLayerData layer;
    ASSERT_TRUE(layer.Setup(100, 80, kModeNormal, 64, 64));
    EXPECT_EQ(layer.Thumbnail.Width, 64);
    EXPECT_EQ(layer.Thumbnail.Height, 51);
    layer.NominalW = 60;
    layer.NominalH = 50;
    layer.OriginX = 10;
    layer.OriginY = 5;
    EXPECT_EQ(layer.ContentBounds(), (EdgeRect{-10, -5, 90, 75}));
    EXPECT_TRUE(layer.IsLargerThanPicture());
    EXPECT_TRUE(layer.ClampOrigin(false));
    layer.Shift(-50, 0); // origin 60: the picture would leave the store
    EXPECT_FALSE(layer.ClampOrigin(true));
    EXPECT_EQ(layer.OriginX, 40);
    layer.Shift(INT32_MIN, INT32_MAX); // no overflow
    EXPECT_FALSE(layer.ClampOrigin(false));

    layer.OriginX = 10;
    layer.OriginY = 5;
    layer.Store->SetPixel(12, 7, 0xFF112233u);
    auto bigger = layer.Resized(200, 100, {30, 4});
    ASSERT_TRUE(bigger);
    EXPECT_NE(bigger->Id, layer.Id);
    EXPECT_EQ(bigger->Store->GetPixel(42, 11), 0xFF112233u);
    EXPECT_EQ(bigger->OriginX, 40);
    EXPECT_EQ(bigger->ContentBounds().left, -40);
    EXPECT_FALSE(layer.Resized(40000, 10, {0, 0}));

    EXPECT_TRUE(layer.SetAllAlpha(255));
    EXPECT_TRUE(layer.InvertAlpha());
    EXPECT_EQ(layer.Store->GetPixel(12, 7), 0x00112233u);
    EXPECT_EQ(layer.Store->CommittedBytes(), 4096);
}

TEST(LayerData, ThumbnailShowsOnlyThePictureAndCopiesKeepTheirId)
{
    CLayerData layer;
    ASSERT_TRUE(layer.Setup(96, 64, kModeNormal, 8, 8));
    layer.Store->FillAll(0xFF0000FFu);
    layer.Store->FillRect({32, 16, 32, 32}, 0xFFFF0000u);
    layer.NominalW = layer.NominalH = 32;
    layer.OriginX = 32;
    layer.OriginY = 16;
    ASSERT_TRUE(layer.SizeThumbnail(8, 8));
    ASSERT_TRUE(layer.RefreshThumbnail());
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x)
            ASSERT_EQ(layer.Thumbnail.GetPixel(x, y), 0xFFFF0000u);

    layer.Name = "下絵";
    layer.Opacity = 77;
    layer.SetLevel(3);
    CLayerData copy;
    ASSERT_TRUE(copy.CopyFrom(layer));
    EXPECT_NE(copy.Id, layer.Id);
    EXPECT_EQ(copy.Name, "下絵");
    EXPECT_EQ(copy.Opacity, 77);
    EXPECT_EQ(copy.LinkLevel, 3);
    EXPECT_EQ(copy.OriginX, 32);
    EXPECT_EQ(copy.Store->GetPixel(40, 20), 0xFFFF0000u);
    EXPECT_EQ(copy.Thumbnail.GetPixel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(copy.MemoryUsed(), layer.MemoryUsed());
}

TEST(LayerStack, MergeDownAttributesOpacityAndInversion)
{
    // The lower opacity goes into the alpha of the whole merged store, also
    // far from the upper layer's content.
    CLayerMngr s = Stack(2, 100, 100);
    s.At(0)->Store->FillAll(0xFF102030u);
    s.At(0)->Opacity = 128;
    s.At(0)->Name = "背景";
    s.At(0)->ProtectAlpha = true;
    s.At(1)->Store->FillRect({0, 0, 10, 10}, 0xFFFFFFFFu);
    ASSERT_TRUE(s.MergeDown(0, 1, false, 0));
    const CLayerData& merged = *s.At(0);
    EXPECT_EQ(merged.Store->GetPixel(90, 90), 0x80102030u);
    EXPECT_EQ(merged.Opacity, 255);
    EXPECT_EQ(merged.Name, "背景");
    EXPECT_FALSE(merged.ProtectAlpha); // only the name and opacity without bit 1 of the high half

    // A subtract layer is stored inverted after a merge by methods 1-3.
    CLayerMngr t = Stack(2, 64, 64);
    t.At(0)->SetMode(kModeSubtract);
    t.At(0)->Store->FillAll(0xFF102030u);
    t.At(0)->ProtectAlpha = true;
    std::unique_ptr<CLayerData> old;
    ASSERT_TRUE(t.MergeDown(0, 1, true, 1 | (2 << 16), &old));
    EXPECT_EQ(t.At(0)->Store->GetPixel(5, 5), 0xFFEFDFCFu);
    EXPECT_TRUE(t.At(0)->ProtectAlpha);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Store->GetPixel(5, 5), 0xFF102030u);
}

TEST(LayerStack, OutOfMemoryLeavesTheStackUnchanged)
{
    Notes notes;
    CLayerMngr s = Stack(2, 300, 200);
    PaintRandom(*s.At(0), {0, 0, 300, 200}, 1, true);
    PaintRandom(*s.At(1), {0, 0, 300, 200}, 2, false);
    const std::vector<int32_t> ids = Ids(s);
    const int64_t memory = s.MemoryUsed();
    {
        ScopedMemoryLimit limit(0);
        EXPECT_EQ(s.AddLayer(1, 300, true, 255, kModeNormal, 200), -1);
        EXPECT_TRUE(notes.Said("レイヤの初期化に失敗しました!"));
        // The store table fits but the blocks of the merge do not.
        EXPECT_FALSE(s.MergeDown(0, 1, false, 0));
        EXPECT_TRUE(notes.Said("レイヤのサイズ変更失敗により、レイヤ結合ができませんでした！"));
    }
    {
        ScopedMemoryLimit limit(300 * 200); // enough for the block table and thumbnail, not the pixels
        EXPECT_FALSE(s.MergeDown(0, 1, false, 0));
        CLayerMngr removed;
        EXPECT_FALSE(MergeVisible(s, -1, false, removed));
        EXPECT_TRUE(notes.Said("メモリ不足により正常に実行できませんでした！"));
        EXPECT_EQ(removed.Count(), 0);
    }
    EXPECT_EQ(Ids(s), ids);
    EXPECT_EQ(s.MemoryUsed(), memory);
}

TEST(LayerStack, MergeBoundsBeyondTheStoreLimitsFail)
{
    Notes notes;
    CLayerMngr s = Stack(2, 50, 50);
    s.At(1)->OriginX = -32760; // its store lies far to the right of the picture
    EXPECT_FALSE(s.MergeDown(0, 1, false, 0));
    EXPECT_TRUE(notes.Said("レイヤのサイズ変更失敗により、レイヤ結合ができませんでした！"));
    EXPECT_EQ(s.At(0)->Store->Width, 50);
}

} // namespace
} // namespace morvane
