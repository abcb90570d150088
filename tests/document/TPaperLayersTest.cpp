// Layer panel operations that change the stack: do, undo and redo with the
// packets they record, refusals that record nothing, memory exhaustion, and
// merge visible over link groups and hidden layers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "PaperFixture.h"
#include "document/LayerComposite.h"
#include "platform/MemoryBudget.h"

namespace morvane {
namespace {

using namespace testing_layers;

constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";
constexpr const char* kMergeFailed = "レイヤのサイズ変更失敗により、レイヤ結合ができませんでした！";
constexpr const char* kBadIndex = "不正なレイヤインデックスです!";
constexpr int32_t kNew = -1; // an Id the operation made

std::vector<std::string> NamesOf(const PaperState& s)
{
    std::vector<std::string> names;
    for (const auto& l : s.layers)
        names.push_back(l.name);
    return names;
}

// PaintedPaper with every layer named and visible, the top one linked to the
// middle one.
struct NamedPaper : PaintedPaper {
    NamedPaper() : PaintedPaper(48, 40, false)
    {
        CLayerMngr& layers = paper->Layers();
        layers.NameLayer(1, 1);
        layers.NameLayer(2, 1);
        layers.At(2)->SetLevel(1);
        paper->RenderAll(true);
    }
};

using Bytes = std::vector<uint8_t>;

struct OpCase {
    const char* name;
    std::function<bool(TPaper&, bool)> op;
    Bytes packet;
    // Indices into the Ids before, kNew for a layer the operation made.
    std::vector<int32_t> order;
    std::vector<std::string> names;
    bool compositeKept;
};

TEST(TPaperLayers, EachOperationRecordsItsPacketAndUndoesAndRedoesExactly)
{
    // 下地 in CP932 is 89 BA 92 6E: a string field of 6 bytes.
    const OpCase cases[] = {
        {"add", [](TPaper& p, bool r) { return p.AddLayer(1, 48, 40, true, 128, kModeScreen, r); },
         Bytes{4, 0, 1, 0, 48, 0, 0, 0, 40, 0, 0, 0, 4, 128, 1, 0}, {0, kNew, 1, 2},
         {"レイヤ1", "レイヤ4", "レイヤ2", "レイヤ3"}, true},
        {"add past the top", [](TPaper& p, bool r) { return p.AddLayer(99, 60, 50, false, 255, kModeMultiply, r); },
         Bytes{4, 0, 3, 0, 60, 0, 0, 0, 50, 0, 0, 0, 0, 255, 0, 0}, {0, 1, 2, kNew},
         {"レイヤ1", "レイヤ2", "レイヤ3", "レイヤ4"}, true},
        {"add by dialog",
         [](TPaper& p, bool r) {
             return p.AddLayerNamed(1, 48, 40, true, 255, kModeNormal, "下地", 0xFF7F7F7Fu, r);
         },
         Bytes{4, 11, 1, 0, 48, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 255, 1, 0, 0x7F, 0x7F, 0x7F, 0xFF,
               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0x89, 0xBA, 0x92, 0x6E, 0, 0},
         {0, kNew, 1, 2}, {"レイヤ1", "下地", "レイヤ2", "レイヤ3"}, false},
        {"delete", [](TPaper& p, bool r) { return p.DeleteLayer(1, r); }, Bytes{4, 1, 1, 0, 1, 0}, {0, 2},
         {"レイヤ1", "レイヤ3"}, false},
        {"duplicate", [](TPaper& p, bool r) { return p.DuplicateLayer(2, r); }, Bytes{4, 3, 2, 0, 2, 0},
         {0, 1, 2, kNew}, {"レイヤ1", "レイヤ2", "レイヤ3", "レイヤ3"}, false},
        {"move", [](TPaper& p, bool r) { return p.MoveLayer(2, 0, r); }, Bytes{4, 4, 2, 0, 0, 0}, {2, 0, 1},
         {"レイヤ3", "レイヤ1", "レイヤ2"}, false},
        {"merge down", [](TPaper& p, bool r) { return p.MergeDown(2, r); }, Bytes{4, 5, 2, 0, 1, 0}, {0, 1},
         {"レイヤ1", "レイヤ2"}, false},
        {"merge down by a method", [](TPaper& p, bool r) { return p.MergeDownWith(2, 0x20003, r); },
         Bytes{4, 10, 2, 0, 1, 0, 3, 0, 2, 0, 0, 0, 0, 0}, {0, 1}, {"レイヤ1", "レイヤ2"}, false},
        // On white paper the opaque arithmetic gives back the very composite.
        {"merge visible", [](TPaper& p, bool r) { return p.MergeVisibleLayers(-1, false, r); },
         Bytes{2, 10, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {kNew}, {"レイヤ1"}, true},
        {"merge visible by a method", [](TPaper& p, bool r) { return p.MergeVisibleLayers(3, false, r); },
         Bytes{2, 10, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {kNew}, {"レイヤ1"}, false},
        {"all transparent", [](TPaper& p, bool r) { return p.SetLayerAlpha(2, 0, r); }, Bytes{4, 24, 2, 0, 0, 0},
         {0, 1, 2}, {"レイヤ1", "レイヤ2", "レイヤ3"}, false},
        {"all opaque", [](TPaper& p, bool r) { return p.SetLayerAlpha(1, 255, r); }, Bytes{4, 24, 1, 0, 255, 0},
         {0, 1, 2}, {"レイヤ1", "レイヤ2", "レイヤ3"}, false},
        {"invert alpha", [](TPaper& p, bool r) { return p.InvertAlpha(2, r); }, Bytes{4, 25, 2, 0, 0, 0},
         {0, 1, 2}, {"レイヤ1", "レイヤ2", "レイヤ3"}, false},
        {"rename", [](TPaper& p, bool r) { return p.RenameLayer(1, "下地", r); },
         Bytes{4, 19, 1, 0, 6, 0, 0x89, 0xBA, 0x92, 0x6E, 0, 0}, {0, 1, 2}, {"レイヤ1", "下地", "レイヤ3"}, true},
    };
    for (const OpCase& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        NamedPaper paper;
        const PaperState before = StateOf(*paper);

        ASSERT_TRUE(c.op(*paper, true));
        ASSERT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper.recorder->packets[0], c.packet);
        const PaperState after = StateOf(*paper);
        std::vector<int32_t> order;
        for (int32_t id : IdsOf(after)) {
            const auto ids = IdsOf(before);
            const auto it = std::find(ids.begin(), ids.end(), id);
            order.push_back(it == ids.end() ? kNew : int32_t(it - ids.begin()));
        }
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(NamesOf(after), c.names);
        EXPECT_EQ(after.composite == before.composite, c.compositeKept);

        // The player's call records nothing and gives the same document.
        NamedPaper twin;
        ASSERT_TRUE(c.op(*twin, false));
        EXPECT_TRUE(twin.recorder->packets.empty());
        EXPECT_EQ(WithoutIds(StateOf(*twin)), WithoutIds(after));

        ExpectUndoRedoUndo(*paper, before, after);
        EXPECT_EQ(notes.Count(), 0u);
    }
}

TEST(TPaperLayers, DetailsOfTheNewStack)
{
    NamedPaper paper;
    // A duplicate is the source's copy, Id apart, and becomes current.
    ASSERT_TRUE(paper->DuplicateLayer(2));
    const PaperState s = StateOf(*paper);
    EXPECT_EQ(s.layers[3].pixels, s.layers[2].pixels);
    EXPECT_EQ(s.layers[3].originX, 7);
    EXPECT_EQ(paper->LayerAt(3)->LinkLevel, 1);
    EXPECT_EQ(paper->CurrentLayer(), 3);
    // Undoing an add makes the former current layer current again.
    paper->SelectLayer(0);
    ASSERT_TRUE(paper->AddLayer(2, 48, 40, true, 255, kModeNormal));
    EXPECT_EQ(paper->CurrentLayer(), 2);
    int32_t index;
    ExtentRect rect;
    ASSERT_TRUE(paper->Undo(index, rect));
    EXPECT_EQ(paper->CurrentLayer(), 0);
    // The merged layer keeps the lower one's Id and takes a store covering
    // both: the top store reaches from (-7, -5) to (61, 47).
    const int32_t lowerId = paper->LayerAt(1)->Id;
    ASSERT_TRUE(paper->MergeDown(2));
    const CLayerData& merged = *paper->LayerAt(1);
    EXPECT_EQ(merged.Id, lowerId);
    EXPECT_EQ(merged.Opacity, 255);
    EXPECT_EQ(merged.ContentBounds().left, -7);
    EXPECT_EQ(merged.ContentBounds().right, 61);
    EXPECT_EQ(paper->CurrentLayer(), 1);
}

// Bad values and the stack's own refusals: false, nothing recorded, no
// history, the document as it was.
TEST(TPaperLayers, RefusalsRecordAndChangeNothing)
{
    const struct {
        const char* name;
        std::function<bool(TPaper&)> op;
        const char* said;
    } cases[] = {
        {"index -5", [](TPaper& p) { return p.AddLayer(-5, 48, 40, true, 255, kModeNormal); }, kBadIndex},
        {"opacity 256", [](TPaper& p) { return p.AddLayer(0, 48, 40, true, 256, kModeNormal); }, nullptr},
        {"mode 22", [](TPaper& p) { return p.AddLayer(0, 48, 40, true, 255, 22); }, nullptr},
        {"no width", [](TPaper& p) { return p.AddLayer(0, 0, 40, true, 255, kModeNormal); }, nullptr},
        {"huge", [](TPaper& p) { return p.AddLayerNamed(0, 32768, 40, true, 255, kModeNormal, "x", 0); }, nullptr},
        {"name past the field",
         [](TPaper& p) { return p.AddLayerNamed(0, 48, 40, true, 255, kModeNormal, std::string(70000, 'a'), 0); },
         nullptr},
        // CP932 has no é: the stream would replay the name as "caf?".
        {"name CP932 cannot hold",
         [](TPaper& p) { return p.AddLayerNamed(0, 48, 40, true, 255, kModeNormal, "café", 0); }, nullptr},
        {"rename to a name CP932 cannot hold", [](TPaper& p) { return p.RenameLayer(1, "café"); }, nullptr},
        {"rename with a zero byte", [](TPaper& p) { return p.RenameLayer(1, std::string("a\0b", 3)); }, nullptr},
        {"rename layer 3", [](TPaper& p) { return p.RenameLayer(3, "x"); }, nullptr},
        {"delete 3", [](TPaper& p) { return p.DeleteLayer(3); }, nullptr},
        {"duplicate -1", [](TPaper& p) { return p.DuplicateLayer(-1); }, nullptr},
        {"move 2 to 2", [](TPaper& p) { return p.MoveLayer(2, 2); }, nullptr},
        {"move past the top", [](TPaper& p) { return p.MoveLayer(0, 3); }, nullptr},
        {"merge the bottom down", [](TPaper& p) { return p.MergeDown(0); }, nullptr},
        {"merge kind 4", [](TPaper& p) { return p.MergeDownWith(2, 4); }, nullptr},
        {"merge flags 4", [](TPaper& p) { return p.MergeDownWith(2, 0x40000); }, nullptr},
        {"merge visible method 4", [](TPaper& p) { return p.MergeVisibleLayers(4, false); }, nullptr},
        {"alpha 128", [](TPaper& p) { return p.SetLayerAlpha(0, 128); }, nullptr},
        {"mask into alpha", [](TPaper& p) { return p.MaskIntoAlpha(0); }, nullptr},
        {"selection to a layer", [](TPaper& p) { return p.SelectionToLayer(0, true); }, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        NamedPaper paper;
        const PaperState before = StateOf(*paper);
        EXPECT_FALSE(c.op(*paper));
        EXPECT_TRUE(paper.recorder->packets.empty());
        EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
        EXPECT_EQ(StateOf(*paper), before);
        EXPECT_EQ(notes.Count(), c.said ? 1u : 0u);
        if (c.said) {
            EXPECT_TRUE(notes.Said(c.said));
        }
    }
    // The last layer stays.
    RecordingDocumentHost host;
    TPaper single(host);
    ASSERT_TRUE(single.NewPicture("s", false, false, 72, 8, 8, 8, 8));
    EXPECT_FALSE(single.DeleteLayer(0));
    EXPECT_EQ(single.LayerCount(), 1);
}

// A packet the recorder cannot keep leaves everything as it was.
TEST(TPaperLayers, UnrecordableOperationsChangeNothing)
{
    const std::function<bool(TPaper&)> ops[] = {
        [](TPaper& p) { return p.AddLayer(1, 48, 40, true, 255, kModeNormal); },
        [](TPaper& p) { return p.DeleteLayer(1); },
        [](TPaper& p) { return p.DuplicateLayer(1); },
        [](TPaper& p) { return p.MoveLayer(0, 2); },
        [](TPaper& p) { return p.MergeDown(2); },
        [](TPaper& p) { return p.MergeVisibleLayers(-1, false); },
        [](TPaper& p) { return p.SetLayerAlpha(0, 0); },
    };
    for (const auto& op : ops) {
        NamedPaper paper;
        const PaperState before = StateOf(*paper);
        const int32_t counter = paper->Layers().NameCounter;
        paper.recorder->refuse = true;
        EXPECT_FALSE(op(*paper));
        EXPECT_EQ(StateOf(*paper), before);
        EXPECT_EQ(paper->Layers().NameCounter, counter);
        EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
    }
}

// Without memory add and duplicate tell the user and drop the history; a
// merge keeps it and says what the stack says. The stack stays as it was.
TEST(TPaperLayers, OutOfMemoryLeavesTheStackAsItWas)
{
    const struct {
        const char* name;
        std::function<bool(TPaper&)> op;
        const char* said;
        bool historyDropped;
    } cases[] = {
        {"add", [](TPaper& p) { return p.AddLayer(1, 48, 40, true, 255, kModeNormal); }, kNoMemory, true},
        {"duplicate", [](TPaper& p) { return p.DuplicateLayer(2); }, kNoMemory, true},
        {"merge down", [](TPaper& p) { return p.MergeDown(2); }, kMergeFailed, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Notes notes;
        NamedPaper paper;
        ASSERT_TRUE(paper->InvertAlpha(0));
        const PaperState before = StateOf(*paper);
        {
            ScopedMemoryLimit limit(0);
            EXPECT_FALSE(c.op(*paper));
        }
        EXPECT_TRUE(notes.Said(c.said));
        EXPECT_EQ(StateOf(*paper), before);
        EXPECT_EQ(paper.recorder->packets.size(), 1u);
        EXPECT_EQ(paper->UndoManager()->UndoCount(), c.historyDropped ? 0 : 1);
    }
}

// Bottom visible, then a visible layer at half opacity, a hidden layer and a
// visible one both linked to it: the linked visible one is merged at its own
// opacity times its leader's, the hidden one stays where it was.
TEST(TPaperLayers, MergeVisibleFoldsLinkGroupsAndLeavesHiddenLayers)
{
    Notes notes;
    PaintedPaper paper(40, 32, false);
    CLayerMngr& layers = paper->Layers();
    ASSERT_EQ(layers.AddLayer(3, 40, true, 150, kModeNormal, 32), 3);
    PaintRandom(*layers.At(3), {0, 0, 40, 32}, 21, false);
    layers.At(1)->Opacity = 128;
    layers.At(1)->SetMode(kModeNormal);
    layers.At(2)->Visible = false;
    layers.At(2)->SetLevel(1);
    layers.At(3)->SetLevel(1);
    paper->RenderAll(true);
    const PaperState before = StateOf(*paper);
    const int32_t hiddenId = layers.At(2)->Id;

    ASSERT_TRUE(paper->MergeVisibleLayers(-1, true));
    const PaperState after = StateOf(*paper);
    ASSERT_EQ(paper->LayerCount(), 2);
    EXPECT_EQ(layers.At(1)->Id, hiddenId);
    EXPECT_EQ(layers.At(1)->LinkLevel, 1);
    // What the screen showed is what the one layer holds, made opaque.
    EXPECT_EQ(after.composite, before.composite);
    const CLayerData& merged = *layers.At(0);
    for (int32_t y = 0; y < 32; y += 5)
        for (int32_t x = 0; x < 40; x += 3)
            ASSERT_EQ(merged.Store->GetPixel(x + merged.OriginX, y + merged.OriginY),
                      before.composite[size_t(y * 40 + x)] | 0xFF000000u);

    int32_t index;
    ExtentRect rect;
    ASSERT_TRUE(paper->Undo(index, rect));
    EXPECT_EQ(StateOf(*paper), before);
    ASSERT_TRUE(paper->Redo(index, rect));
    EXPECT_EQ(StateOf(*paper), after);
    EXPECT_EQ(notes.Count(), 0u);

    // Refused: the bottom hidden, a single visible layer, an add bottom
    // without a method, a screen bottom for the background form.
    const std::function<void(CLayerMngr&)> breakers[] = {
        [](CLayerMngr& l) { l.At(0)->Visible = false; },
        [](CLayerMngr& l) { l.At(2)->Visible = l.At(1)->Visible = false; },
        [](CLayerMngr& l) { l.At(0)->SetMode(kModeAdd); },
    };
    for (const auto& breakStack : breakers) {
        PaintedPaper other(40, 32, false);
        breakStack(other->Layers());
        EXPECT_FALSE(other->MergeVisibleLayers(-1, false));
        EXPECT_TRUE(other.recorder->packets.empty());
        EXPECT_EQ(other->LayerCount(), 3);
    }
    PaintedPaper screen(40, 32, false);
    screen->LayerAt(0)->SetMode(kModeScreen);
    EXPECT_FALSE(screen->MergeVisibleLayers(-1, true));
    EXPECT_TRUE(screen->MergeVisibleLayers(-1, false));
}

// Records find their layers by Id: one whose layer was replaced behind the
// history's back is refused and the history cleared.
TEST(TPaperLayers, RecordsRefuseALayerThatIsNoLongerTheirs)
{
    Notes notes;
    NamedPaper paper;
    ASSERT_TRUE(paper->MergeDown(2));
    // Another layer with another Id in the merged layer's place.
    auto stranger = std::make_unique<CLayerData>();
    ASSERT_TRUE(stranger->Setup(48, 40, kModeNormal));
    paper->Layers().ReplaceLayer(1, std::move(stranger));
    int32_t index;
    ExtentRect rect;
    EXPECT_FALSE(paper->Undo(index, rect));
    EXPECT_EQ(paper->LayerCount(), 2);
    EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
}

} // namespace
} // namespace morvane
