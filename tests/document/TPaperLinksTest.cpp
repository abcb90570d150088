// Layer attributes, visibility, content shifts and link groups: each
// operation's packet, its result against the change made by hand, and undo
// and redo back to each state exactly; refusals that record and push nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "PaperFixture.h"

namespace morvane {
namespace {

using namespace testing_layers;

constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";

// Six layers of mixed link levels 0 0 1 2 1 0 on a 48 x 40 picture: layer 1
// (hidden) leads 2, 3 and 4, layer 2 leads 3. Layer 4 is hidden; layer 5 has
// a 58 x 50 store with the picture at (4, 4).
struct LinkedPaper : PaintedPaper {
    LinkedPaper()
    {
        CLayerMngr& layers = paper->Layers();
        EXPECT_EQ(layers.AddLayer(3, 48, true, 255, kModeNormal, 40), 3);
        EXPECT_EQ(layers.AddLayer(4, 48, false, 150, kModeScreen, 40), 4);
        EXPECT_EQ(layers.AddLayer(5, 58, true, 220, kModeNormal, 50), 5);
        layers.At(5)->OriginX = layers.At(5)->OriginY = 4;
        PaintRandom(*layers.At(3), {10, 4, 20, 30}, 21, false);
        PaintRandom(*layers.At(4), {0, 0, 48, 40}, 22, false);
        PaintRandom(*layers.At(5), {0, 0, 58, 50}, 23, false);
        const int32_t levels[] = {0, 0, 1, 2, 1, 0};
        for (int32_t i = 0; i < 6; ++i) {
            layers.At(i)->LinkLevel = levels[i];
            layers.NameLayer(i, 1);
        }
        paper->RenderAll(true);
    }
};

std::vector<int32_t> LevelsOf(TPaper& paper)
{
    std::vector<int32_t> out;
    for (int32_t i = 0; i < paper.LayerCount(); ++i)
        out.push_back(paper.LayerAt(i)->LinkLevel);
    return out;
}

// The layer's picture moved by (dx, dy) over what its store held before; a
// store that grew is transparent (mode colour) where it is new.
void ExpectContentMoved(TPaper& paper, int32_t i, const std::vector<uint32_t>& storeBefore, int32_t oldW,
                        int32_t oldH, int32_t oldX, int32_t oldY, int32_t dx, int32_t dy)
{
    const CLayerData& l = *paper.LayerAt(i);
    EXPECT_TRUE(paper.LayerAt(i)->ClampOrigin(false)) << "the store covers the picture";
    for (int32_t y = 0; y < paper.Height; ++y)
        for (int32_t x = 0; x < paper.Width; ++x) {
            const int32_t sx = x - dx + oldX, sy = y - dy + oldY;
            const bool held = sx >= 0 && sy >= 0 && sx < oldW && sy < oldH;
            const uint32_t want = held ? storeBefore[size_t(sy * oldW + sx)] : NewLayerColourOf(l.Mode);
            ASSERT_EQ(l.Store->GetPixel(x + l.OriginX, y + l.OriginY), want) << x << "," << y;
        }
}

std::vector<uint32_t> StoreOf(TPaper& paper, int32_t i)
{
    const CBlockVMTC& s = *paper.LayerAt(i)->Store;
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < s.Height; ++y)
        for (int32_t x = 0; x < s.Width; ++x)
            out.push_back(s.GetPixel(x, y));
    return out;
}

struct OpCase {
    const char* name;
    std::function<bool(TPaper&, bool)> op;
    std::function<std::vector<uint8_t>(TPaper&)> packet; // from the document before
    // The expected change made by hand on an untouched twin; or, where the
    // result needs more than fields, a check of the result itself.
    std::function<void(CLayerMngr&)> byHand;
    std::function<void(TPaper& after, TPaper& before)> check;
};

TEST(TPaperLinks, EachOperationRecordsItsPacketAndUndoesAndRedoesExactly)
{
    const auto same = [](std::vector<uint8_t> b) { return [b](TPaper&) { return b; }; };
    const OpCase cases[] = {
        {"opacity", [](TPaper& p, bool r) { return p.SetLayerOpacity(0, 90, r); },
         same(Bytes({4, 17, 0, 0, 3, 90, 1, 0})), [](CLayerMngr& l) { l.At(0)->Opacity = 90; }, nullptr},
        {"opacity of a leader", [](TPaper& p, bool r) { return p.SetLayerOpacity(2, 40, r); },
         same(Bytes({4, 17, 2, 0, 3, 40, 1, 0})), [](CLayerMngr& l) { l.At(2)->Opacity = 40; }, nullptr},
        {"dither", [](TPaper& p, bool r) { return p.SetLayerDither(2, true, 128, r); },
         [](TPaper& p) {
             const uint32_t seed = p.LayerAt(2)->DitherSeed.Value;
             return Bytes({4,
                           21,
                           2,
                           0,
                           3,
                           180,
                           0x11,
                           0,
                           128,
                           0,
                           int(seed & 0xFF),
                           int(seed >> 8 & 0xFF),
                           int(seed >> 16 & 0xFF),
                           int(seed >> 24),
                           0,
                           0,
                           0,
                           0,
                           0,
                           0});
         },
         [](CLayerMngr& l) {
             l.At(2)->Dither = true;
             l.At(2)->DitherDensity = 128;
         },
         nullptr},
        {"blend mode", [](TPaper& p, bool r) { return p.SetLayerMode(0, kModeScreen, r); },
         same(Bytes({4, 16, 0, 0, 4, 255, 1, 0})), [](CLayerMngr& l) { l.At(0)->SetMode(kModeScreen); },
         nullptr},
        {"protect transparency", [](TPaper& p, bool r) { return p.SetLayerProtectAlpha(0, true, r); },
         same(Bytes({4, 20, 0, 0, 3, 255, 3, 0})), [](CLayerMngr& l) { l.At(0)->ProtectAlpha = true; }, nullptr},
        {"hide", [](TPaper& p, bool r) { return p.SetLayerVisible(0, false, r); },
         same(Bytes({4, 18, 0, 0, 3, 255, 0, 0})), [](CLayerMngr& l) { l.At(0)->Visible = false; }, nullptr},
        {"show a leader with its run", [](TPaper& p, bool r) { return p.SetLayerVisible(1, true, r); },
         same(Bytes({4, 18, 1, 0, 0, 200, 1, 0})), [](CLayerMngr& l) { l.SetVisibleRun(1, 4, true); },
         nullptr},
        {"show only", [](TPaper& p, bool r) { return p.ShowOnlyLayer(3, r); },
         same(Bytes({2, 25, 3, 0, 0, 0})), [](CLayerMngr& l) { l.ShowOnly(3); }, nullptr},
        {"show all", [](TPaper& p, bool r) { return p.ShowAllLayers(true, r); },
         same(Bytes({2, 24, 0, 0, 1, 0})), [](CLayerMngr& l) { l.SetAllVisible(true); }, nullptr},
        {"hide all", [](TPaper& p, bool r) { return p.ShowAllLayers(false, r); },
         same(Bytes({2, 24, 0, 0, 0, 0})), [](CLayerMngr& l) { l.SetAllVisible(false); }, nullptr},
        {"invert visibility", [](TPaper& p, bool r) { return p.InvertLayerVisibility(r); },
         same(Bytes({2, 26, 0, 0, 0, 0})), [](CLayerMngr& l) { l.ToggleAllVisible(); }, nullptr},
        {"hide a link group", [](TPaper& p, bool r) { return p.SetLinkGroupVisible(2, 2, false, r); },
         same(Bytes({5, 16, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0})),
         [](CLayerMngr& l) { l.SetVisibleRun(2, 2, false); }, nullptr},
        // Layer 5's store still covers the picture at (4, 4) - (3, 2).
        {"shift", [](TPaper& p, bool r) { return p.ShiftLayer(5, 3, 2, r); },
         same(Bytes({4, 6, 5, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0})), [](CLayerMngr& l) { l.At(5)->Shift(3, 2); },
         nullptr},
        {"shift through no selection", [](TPaper& p, bool r) { return p.ShiftLayerMasked(5, -1, 1, r); },
         same(Bytes({4, 6, 5, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})),
         [](CLayerMngr& l) { l.At(5)->Shift(-1, 1); }, nullptr},
        // Layer 0's store is the picture: moved right 5 and up 3 it grows to
        // 53 x 43 with the picture at (0, 3).
        {"shift that grows the store", [](TPaper& p, bool r) { return p.ShiftLayer(0, 5, -3, r); },
         same(Bytes({4, 7, 0, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0})), nullptr,
         [](TPaper& after, TPaper& before) {
             const CLayerData& l = *after.LayerAt(0);
             EXPECT_EQ(std::tie(l.Store->Width, l.Store->Height, l.OriginX, l.OriginY),
                       std::make_tuple(53, 43, 0, 3));
             ExpectContentMoved(after, 0, StoreOf(before, 0), 48, 40, 0, 0, 5, -3);
         }},
        // Layer 2 leads layer 3: both move; 2 (68 x 52 at (7, 5)) still covers
        // the picture, 3 grows to 51 x 42.
        {"shift a leader with its run", [](TPaper& p, bool r) { return p.ShiftLayer(2, 3, 2, r); },
         same(Bytes({5, 9, 2, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0})), nullptr,
         [](TPaper& after, TPaper& before) {
             EXPECT_EQ(after.LayerAt(2)->Store->Width, 68);
             ExpectContentMoved(after, 2, StoreOf(before, 2), 68, 52, 7, 5, 3, 2);
             EXPECT_EQ(std::tie(after.LayerAt(3)->Store->Width, after.LayerAt(3)->Store->Height),
                       std::make_tuple(51, 42));
             ExpectContentMoved(after, 3, StoreOf(before, 3), 48, 40, 0, 0, 3, 2);
             EXPECT_EQ(PictureOf(after, 4), PictureOf(before, 4)) << "the layer above the run stays";
         }},
        {"link", [](TPaper& p, bool r) { return p.LinkLayer(5, true, r); },
         same(Bytes({5, 0, 5, 0, 6, 0, 0, 0, 1, 2, 0, 0, 0, 0, 12, 0, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0,  1, 2, 1, 1})),
         [](CLayerMngr& l) { l.At(5)->LinkLevel = 1; }, nullptr},
        {"unlink a leader with its run", [](TPaper& p, bool r) { return p.LinkLayer(2, false, r); },
         same(Bytes({5, 1, 2, 0, 6, 0, 0, 0, 1, 2, 0, 0, 0, 0, 12, 0, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0,  0, 1, 1, 0})),
         [](CLayerMngr& l) {
             l.At(2)->LinkLevel = 0;
             l.At(3)->LinkLevel = 1;
         },
         nullptr},
        // The run 2-3 to the bottom: it takes level 0 there.
        {"move a link group down", [](TPaper& p, bool r) { return p.MoveLinkGroup(2, 0, r); },
         same(Bytes({5, 11, 2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0})),
         [](CLayerMngr& l) {
             l.MoveLayer(0, 2);
             l.MoveLayer(1, 3);
             l.At(0)->LinkLevel = 0;
             l.At(1)->LinkLevel = 1;
             l.SetCurrent(2); // the current layer 0 stays current where it went
         },
         nullptr},
        // After layer 4 (level 1, leading nothing): level 1, as it was.
        {"move a link group up", [](TPaper& p, bool r) { return p.MoveLinkGroup(2, 3, r); },
         same(Bytes({5, 11, 2, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0})), [](CLayerMngr& l) { l.MoveLayer(2, 4); },
         nullptr},
        // Right after layer 1, which leads a group: one level deeper, inside it.
        {"move a layer into a group", [](TPaper& p, bool r) { return p.MoveLinkGroup(5, 2, r); },
         same(Bytes({5, 11, 5, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0})),
         [](CLayerMngr& l) {
             l.MoveLayer(2, 5);
             l.At(2)->LinkLevel = 1;
         },
         nullptr},
        {"delete a leader", [](TPaper& p, bool r) { return p.DeleteLinkLeader(2, r); },
         same(Bytes({5, 8, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0})),
         [](CLayerMngr& l) {
             l.DeleteLayer(2);
             l.At(2)->LinkLevel = 1;
         },
         nullptr},
        {"delete a leader of a nested group", [](TPaper& p, bool r) { return p.DeleteLinkLeader(1, r); },
         same(Bytes({5, 8, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0})),
         [](CLayerMngr& l) {
             l.DeleteLayer(1);
             l.At(1)->LinkLevel = 0;
             l.At(2)->LinkLevel = 1;
             l.At(3)->LinkLevel = 0;
         },
         nullptr},
        {"delete a link group", [](TPaper& p, bool r) { return p.DeleteLinkGroup(2, r); },
         same(Bytes({5, 13, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0})),
         [](CLayerMngr& l) {
             l.DeleteLayer(2);
             l.DeleteLayer(2);
         },
         nullptr},
        {"delete a group with a nested one", [](TPaper& p, bool r) { return p.DeleteLinkGroup(1, r); },
         same(Bytes({5, 13, 1, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0})),
         [](CLayerMngr& l) {
             for (int k = 0; k < 4; ++k)
                 l.DeleteLayer(1);
         },
         nullptr},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        LinkedPaper paper, untouched;
        const PaperState before = StateOf(*paper);
        const std::vector<uint8_t> packet = c.packet(*paper);

        ASSERT_TRUE(c.op(*paper, true));
        ASSERT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper.recorder->packets[0], packet);
        const PaperState after = StateOf(*paper);
        EXPECT_NE(after, before);
        if (c.byHand) {
            c.byHand(untouched->Layers());
            untouched->RenderAll(true);
            EXPECT_EQ(WithoutIds(after), WithoutIds(StateOf(*untouched)));
            EXPECT_EQ(paper->CurrentLayer(), untouched->CurrentLayer());
        } else {
            c.check(*paper, *untouched);
        }

        // The player's call without recording gives the same document.
        LinkedPaper twin;
        ASSERT_TRUE(c.op(*twin, false));
        EXPECT_TRUE(twin.recorder->packets.empty());
        EXPECT_EQ(WithoutIds(StateOf(*twin)), WithoutIds(after));

        ExpectUndoRedoUndo(*paper, before, after);
        EXPECT_EQ(notes.Count(), 0u);
    }
}

// A run of changes on one stack undone to the start and redone to the end:
// records find their layers by Id across moves, deletions and replacements.
TEST(TPaperLinks, MixedHistoryUndoesToTheStartAndRedoesToTheEnd)
{
    Notes notes;
    LinkedPaper paper;
    std::vector<PaperState> states{StateOf(*paper)};
    const std::function<bool(TPaper&)> steps[] = {
        [](TPaper& p) { return p.LinkLayer(5, true); }, // 5 joins layer 1's group
        [](TPaper& p) { return p.ShiftLayer(1, -4, 6); }, // 1 leads 2-5: every store grows
        [](TPaper& p) { return p.MoveLinkGroup(2, 4); }, // 2-3 to the top
        [](TPaper& p) { return p.SetLayerOpacity(1, 33); }, // a leader's opacity
        [](TPaper& p) { return p.DeleteLinkLeader(1); }, // its run drops a level
        [](TPaper& p) { return p.InvertLayerVisibility(); }, [](TPaper& p) { return p.ShiftLayer(0, 2, 2); },
        [](TPaper& p) { return p.DeleteLinkGroup(3); }, // 2 and 3 go
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(step(*paper));
        states.push_back(StateOf(*paper));
    }
    EXPECT_EQ(LevelsOf(*paper), (std::vector<int32_t>{0, 0, 0}));
    int32_t index = -1;
    ExtentRect rect;
    for (size_t k = states.size() - 1; k > 0; --k) {
        ASSERT_TRUE(paper->Undo(index, rect));
        EXPECT_EQ(StateOf(*paper), states[k - 1]) << k;
    }
    for (size_t k = 1; k < states.size(); ++k) {
        ASSERT_TRUE(paper->Redo(index, rect));
        EXPECT_EQ(StateOf(*paper), states[k]) << k;
    }
    EXPECT_EQ(paper.recorder->undoSteps, int32_t(states.size() - 1));
    EXPECT_EQ(notes.Count(), 0u);
}

// Refused: nothing recorded, nothing pushed, nothing changed, and (where the
// refusal is the user's to see) the reason told.
TEST(TPaperLinks, RefusalsRecordAndPushNothing)
{
    const struct {
        const char* name;
        std::function<void(TPaper&)> setup;
        std::function<bool(TPaper&)> op;
        const char* told;
    } cases[] = {
        {"show all when all are visible", [](TPaper& p) { p.Layers().SetAllVisible(true); },
         [](TPaper& p) { return p.ShowAllLayers(true); }, nullptr},
        {"hide all when none is", [](TPaper& p) { p.Layers().SetAllVisible(false); },
         [](TPaper& p) { return p.ShowAllLayers(false); }, nullptr},
        {"show only the only visible one", [](TPaper& p) { p.Layers().ShowOnly(3); },
         [](TPaper& p) { return p.ShowOnlyLayer(3); }, nullptr},
        // Nothing to do is no failure: true, and nothing else happens.
        {"visibility unchanged", nullptr, [](TPaper& p) { return !p.SetLayerVisible(0, true); }, nullptr},
        {"index past the top", nullptr, [](TPaper& p) { return p.SetLayerOpacity(6, 10); }, nullptr},
        {"negative index", nullptr, [](TPaper& p) { return p.SetLayerMode(-1, 3); }, nullptr},
        {"opacity 256", nullptr, [](TPaper& p) { return p.SetLayerOpacity(0, 256); }, nullptr},
        {"opacity -1", nullptr, [](TPaper& p) { return p.SetLayerOpacity(0, -1); }, nullptr},
        {"mode 22", nullptr, [](TPaper& p) { return p.SetLayerMode(0, 22); }, nullptr},
        {"density 300", nullptr, [](TPaper& p) { return p.SetLayerDither(0, true, 300); }, nullptr},
        {"group visibility of no layers", nullptr,
         [](TPaper& p) { return p.SetLinkGroupVisible(1, 0, true); }, nullptr},
        {"link the bottom layer", nullptr, [](TPaper& p) { return p.LinkLayer(0, true); }, nullptr},
        {"link a layer deeper than the one below", nullptr, [](TPaper& p) { return p.LinkLayer(3, true); },
         nullptr},
        {"unlink a level-0 layer", nullptr, [](TPaper& p) { return p.LinkLayer(5, false); }, nullptr},
        {"link past the highest level",
         [](TPaper& p) {
             p.LayerAt(4)->LinkLevel = CLayerMngr::kRaiseLimit;
             p.LayerAt(5)->LinkLevel = 1;
         },
         [](TPaper& p) { return p.LinkLayer(5, true); }, nullptr},
        {"move a group onto itself", nullptr, [](TPaper& p) { return p.MoveLinkGroup(2, 2); }, nullptr},
        {"move a group past the top", nullptr, [](TPaper& p) { return p.MoveLinkGroup(2, 5); }, nullptr},
        {"move a group below the bottom", nullptr, [](TPaper& p) { return p.MoveLinkGroup(2, -1); }, nullptr},
        {"delete a layer that leads nothing", nullptr, [](TPaper& p) { return p.DeleteLinkLeader(5); },
         nullptr},
        {"delete a group that is the whole stack",
         [](TPaper& p) {
             for (int32_t i = 1; i < 6; ++i)
                 p.LayerAt(i)->LinkLevel = 1;
         },
         [](TPaper& p) { return p.DeleteLinkGroup(0); }, nullptr},
        // 48 + 40000 columns is past the 32767 a store may have.
        {"shift that grows past the store limits", nullptr,
         [](TPaper& p) { return p.ShiftLayer(0, 40000, 0); }, kNoMemory},
        // Layer 1's store grows to 32758 columns, layer 2's would need 32771.
        {"a run whose second store would grow too far", nullptr,
         [](TPaper& p) { return p.ShiftLayer(1, 32710, 0); }, kNoMemory},
        {"shift of the largest distance", nullptr,
         [](TPaper& p) { return p.ShiftLayer(0, INT32_MIN, INT32_MAX); }, kNoMemory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        LinkedPaper paper;
        if (c.setup) {
            c.setup(*paper);
            paper->RenderAll(true);
        }
        const PaperState before = StateOf(*paper);
        EXPECT_FALSE(c.op(*paper));
        EXPECT_TRUE(paper.recorder->packets.empty());
        EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
        EXPECT_EQ(StateOf(*paper), before);
        EXPECT_EQ(notes.Count(), c.told ? 1u : 0u);
        if (c.told) {
            EXPECT_TRUE(notes.Said(c.told));
        }
    }
}

// A packet the recorder cannot keep leaves everything as it was, also where
// the change was made first (a grown store, a block move, link levels).
TEST(TPaperLinks, UnrecordableOperationsChangeNothing)
{
    const std::function<bool(TPaper&)> ops[] = {
        [](TPaper& p) { return p.SetLayerOpacity(0, 1); },
        [](TPaper& p) { return p.ShowOnlyLayer(0); },
        [](TPaper& p) { return p.ShiftLayer(2, 3, 2); },
        [](TPaper& p) { return p.ShiftLayer(0, 1, 1); },
        [](TPaper& p) { return p.LinkLayer(5, true); },
        [](TPaper& p) { return p.MoveLinkGroup(2, 0); },
        [](TPaper& p) { return p.DeleteLinkLeader(1); },
        [](TPaper& p) { return p.SetLinkGroupVisible(1, 9, true); },
        [](TPaper& p) { return p.DeleteLinkGroup(1); },
    };
    for (size_t k = 0; k < std::size(ops); ++k) {
        SCOPED_TRACE(k);
        LinkedPaper paper;
        const PaperState before = StateOf(*paper);
        paper.recorder->refuse = true;
        EXPECT_FALSE(ops[k](*paper));
        EXPECT_EQ(StateOf(*paper), before);
        EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
    }
}

// Records find their layers by Id: one whose layer has gone (by a change the
// history no longer knows) refuses to act and the history is cleared.
TEST(TPaperLinks, RecordWhoseLayerIsGoneRefuses)
{
    Notes notes;
    LinkedPaper paper;
    ASSERT_TRUE(paper->MoveLinkGroup(2, 0));
    // Behind the history's back: the moved leader goes.
    paper->Layers().DeleteLayer(0);
    const PaperState before = StateOf(*paper);
    int32_t index = -1;
    ExtentRect rect;
    EXPECT_FALSE(paper->Undo(index, rect));
    EXPECT_EQ(StateOf(*paper), before);
    EXPECT_FALSE(paper->UndoManager()->CanUndo());
    EXPECT_TRUE(notes.Said("アンドゥに失敗しました!\rすべてのアンドゥはクリアされます!"));
}

} // namespace
} // namespace morvane
