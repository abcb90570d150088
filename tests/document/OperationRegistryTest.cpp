// Every registered document operation, one row each: recorded live, saved,
// loaded and replayed into a fresh document it gives the live picture and
// layers; undone and redone it gives back the document before and after.
// The registry and the packet description agree on who replays what. A new
// operation is tested by adding its row.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LivePaper.h"
#include "document/ColourRange.h"
#include "document/FilterOperations.h"
#include "document/ImageOperations.h"
#include "document/PaperOperations.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

using namespace testing_layers;

struct Row {
    const char* operation;
    // Brings the document where the operation applies (recorded too).
    std::function<bool(Live&)> setUp;
    std::function<bool(Live&)> run;
    // The operation makes the picture (the document starts blank).
    bool makesPicture = false;
    // The stream carries images, which only a replay someone watches plays.
    bool images = false;
};

// The top layer pasted again as a new layer with its head, as a document
// read from a file records its layers.
bool PasteTopLayer(Live& l)
{
    PasteImageOp op;
    op.asNewLayer = true;
    op.image = std::make_shared<const ImageBlockPayload>(ImageBlockOfLayer(*l->LayerAt(2), true, 2));
    return RunOperation(*l, std::move(op), true);
}

bool None(Live&) { return true; }

// A small image with transparency, as an imported file gives one.
TMTC ImportedImage(int32_t width, int32_t height)
{
    TMTC image(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            *image.PixelPtr(x, y) = uint32_t(x * 5) | uint32_t(y * 7) << 8 | 0x40u << 16 | uint32_t((x + y) * 3) << 24;
    return image;
}

// The top layer's stroke as the selection: a shape with soft edges.
bool StrokeSelection(Live& l) { return l->MaskFromLayer(2, true, false); }

const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = {
        {"NewPicture", None, [](Live& l) { return l->NewPicture("new", true, true, 150, 40, 30, 40, 30); }, true},
        {"SetPaperColour", None, [](Live& l) { return l->SetPaperColour(0x00336699); }},
        {"SetCanvasSize", None, [](Live& l) { return l->SetCanvasSize(60, 50, true, 4); }},
        {"SetImageSize", None, [](Live& l) { return l->SetImageSize(30, 25, false); }},
        {"Crop", None, [](Live& l) { return l->Crop(1, {3, 2, 40, 30}); }},
        {"RotatePicture90", None, [](Live& l) { return l->RotatePicture90(false); }},
        {"TransformPicture", [](Live& l) { return l->SetLayerVisible(1, false); },
         [](Live& l) { return l->InvertPicture(false); }},
        {"MergeVisibleLayers", None, [](Live& l) { return l->MergeVisibleLayers(0, false); }},
        {"ShowAllLayers", None, [](Live& l) { return l->ShowAllLayers(false); }},
        {"ShowOnlyLayer", None, [](Live& l) { return l->ShowOnlyLayer(1); }},
        {"InvertLayerVisibility", None, [](Live& l) { return l->InvertLayerVisibility(); }},
        {"AddLayer", None,
         [](Live& l) { return l->AddLayerNamed(1, 30, 20, true, 200, kModeScreen, "新", 0x80FF0000u); }},
        {"DeleteLayer", None, [](Live& l) { return l->DeleteLayer(1); }},
        {"DuplicateLayer", None, [](Live& l) { return l->DuplicateLayer(2); }},
        {"MoveLayer", None, [](Live& l) { return l->MoveLayer(2, 0); }},
        {"MergeDown", None, [](Live& l) { return l->MergeDownWith(2, 1); }},
        {"SetLayerAlpha", None, [](Live& l) { return l->SetLayerAlpha(1, 255); }},
        {"LayerCommand", None, [](Live& l) { return l->RotateLayer180(2); }},
        {"LayerCommandMasked", None, [](Live& l) { return l->LayerCommandMasked(1, 8, -1); }},
        {"LayerCommandMasked", StrokeSelection, [](Live& l) { return l->LayerCommandMasked(0, 7, -1); }},
        {"LayerCommandMasked", StrokeSelection, [](Live& l) { return l->LayerCommandMasked(0, 10, 0); }},
        {"LayerCommandMasked",
         [](Live& l) { return StrokeSelection(l) && l->SetLayerProtectAlpha(2, true); },
         [](Live& l) { return l->LayerCommandMasked(2, 9, -1); }},
        {"RotateLayer90", None, [](Live& l) { return l->RotateLayer90(2, true); }},
        {"RotateLayerFree", None, [](Live& l) { return l->RotateLayerFree(1, 33.0f); }},
        {"ScaleLayer", None, [](Live& l) { return l->ScaleLayer(1, 30, 20); }},
        {"TrimLayerOutside", None, [](Live& l) { return l->TrimLayerOutside(2); }},
        {"SetLayerMode", None, [](Live& l) { return l->SetLayerMode(2, kModeMultiply); }},
        {"SetLayerOpacity", None, [](Live& l) { return l->SetLayerOpacity(2, 100); }},
        {"SetLayerVisible", None, [](Live& l) { return l->SetLayerVisible(0, false); }},
        {"SetLayerProtectAlpha", None, [](Live& l) { return l->SetLayerProtectAlpha(1, true); }},
        {"SetLayerDither", None, [](Live& l) { return l->SetLayerDither(2, true, 120); }},
        {"RenameLayer", None, [](Live& l) { return l->RenameLayer(1, "下書き①"); }},
        {"ShiftLayer", None, [](Live& l) { return l->ShiftLayer(2, 7, -4); }},
        // With the selection: the layer alone, its store grown, a linked run.
        {"ShiftLayer", StrokeSelection, [](Live& l) { return l->ShiftLayerMasked(2, 2, 1); }},
        {"ShiftLayer", StrokeSelection, [](Live& l) { return l->ShiftLayerMasked(1, 4, -3); }},
        {"ShiftLayer", [](Live& l) { return StrokeSelection(l) && l->LinkLayer(2, true); },
         [](Live& l) { return l->ShiftLayerMasked(1, -3, 5); }},
        {"LinkLayer", None, [](Live& l) { return l->LinkLayer(2, true); }},
        {"DeleteLinkLeader", [](Live& l) { return l->LinkLayer(2, true); },
         [](Live& l) { return l->DeleteLinkLeader(1); }},
        {"MoveLinkGroup",
         [](Live& l) { return l->AddLayer(3, 48, 36, true, 255, kModeNormal) && l->LinkLayer(2, true); },
         [](Live& l) { return l->MoveLinkGroup(1, 2); }},
        {"DeleteLinkGroup", [](Live& l) { return l->LinkLayer(2, true); },
         [](Live& l) { return l->DeleteLinkGroup(1); }},
        {"SetLinkGroupVisible", None, [](Live& l) { return l->SetLinkGroupVisible(1, 2, false); }},
        {"PasteImage", [](Live& l) { return l->SelectLayer(0); }, PasteTopLayer, false, true},
        {"PasteImage", None, [](Live& l) { return l->ImportImageAsLayer(ImportedImage(70, 20), "取込.png"); }, false,
         true},
        {"PasteImage", None,
         [](Live& l) { return l->NewPictureFromImage("a.png", ImportedImage(30, 26), 96, "a.png"); }, true, true},
        {"NewMask", None, [](Live& l) { return l->NewMask(); }},
        {"NewMask", StrokeSelection, [](Live& l) { return l->DuplicateMask(); }},
        {"DeleteMask", StrokeSelection, [](Live& l) { return l->DeleteMask(-1); }},
        {"SelectMask", StrokeSelection, [](Live& l) { return l->SelectMask(0); }},
        {"MoveMask", StrokeSelection, [](Live& l) { return l->MoveMask(1, 0); }},
        {"RenameMask", None, [](Live& l) { return l->RenameMask("線画の範囲"); }},
        {"ChangeSelection", None, [](Live& l) { return l->SelectAll(); }},
        {"ChangeSelection", [](Live& l) { return l->SelectAll(); }, [](Live& l) { return l->InvertSelection(); }},
        {"ChangeSelection", StrokeSelection, [](Live& l) { return l->InvertSelection(); }},
        {"ChangeSelection", StrokeSelection, [](Live& l) { return l->CancelSelection(); }},
        {"ChangeSelection", [](Live& l) { return l->SelectAll(); }, [](Live& l) { return l->TrimSelection(); }},
        {"ChangeSelection", StrokeSelection, [](Live& l) { return l->GrowSelectionByOne(true); }},
        {"ChangeSelection", StrokeSelection, [](Live& l) { return l->GrowSelectionByOne(false, false); }},
        {"ChangeSelection", StrokeSelection, [](Live& l) { return l->GrowSelection(5, true); }},
        {"ChangeSelection", StrokeSelection, [](Live& l) { return l->GrowSelection(2, false); }},
        {"CombineMasks", [](Live& l) { return StrokeSelection(l) && l->MaskFromLayer(1, false, false); },
         [](Live& l) { return l->CombineMasks(1, 2, CombineMode::Subtract); }},
        {"CombineMasks", [](Live& l) { return StrokeSelection(l) && l->MaskFromLayer(1, false, false); },
         [](Live& l) { return l->CombineMasks(2, 1, CombineMode::Replace); }},
        {"MoveSelection", StrokeSelection, [](Live& l) { return l->MoveSelection(3, -2); }},
        {"MaskFromLayer", None, [](Live& l) { return l->MaskFromLayer(1, false, false); }},
        {"MaskFromLayer", StrokeSelection, [](Live& l) { return l->MaskFromLayer(1, false, true); }},
        {"SelectionFlags", StrokeSelection, [](Live& l) { return l->SetSelectionUsed(false); }},
        {"SelectionFlags", None, [](Live& l) { return l->SetSelectionBorderShown(false); }},
        {"SetCanvasSize", StrokeSelection, [](Live& l) { return l->SetCanvasSize(60, 50, true, 8); }},
        {"SetImageSize", StrokeSelection, [](Live& l) { return l->SetImageSize(70, 20, false); }},
        {"Crop", StrokeSelection, [](Live& l) { return l->Crop(1, {3, 2, 40, 30}); }},
        {"MaskIntoAlpha", [](Live& l) { return l->SelectEllipse({-4, 6}, {40.5, 33}, CombineMode::Replace); },
         [](Live& l) { return l->MaskIntoAlpha(2); }},
        {"SelectShape", None, [](Live& l) { return l->SelectRectangle({3.5, 2.25}, {30.75, 20.5}, CombineMode::Replace); }},
        {"SelectShape", StrokeSelection,
         [](Live& l) { return l->SelectEllipse({-4, 6}, {40.5, 33}, CombineMode::Add); }},
        {"SelectShape", StrokeSelection,
         [](Live& l) {
             return l->SelectPolygon({{2, 2}, {50, 10}, {20, 40}, {10, 18}}, CombineMode::Intersect);
         }},
        {"ColourRange", None,
         [](Live& l) {
             return l->SelectColourRange({ColourRangeSource::Layer, 0, 0, {{0x10A040, true, 60}}});
         }},
        {"ColourRange", StrokeSelection,
         [](Live& l) {
             return l->SelectColourRange(
                 {ColourRangeSource::Composite, 0, 0, {{0xFFFFFF, true, 200}, {0x2050C0, false, 90}}});
         }},
        {"SelectionToLayer", StrokeSelection, [](Live& l) { return l->SelectionToLayer(1, false); }},
        {"SelectionToLayer", StrokeSelection, [](Live& l) { return l->SelectionToLayer(2, true); }},
        {"Filter", None,
         [](Live& l) {
             const FilterDescriptor& levels = *FilterByCode(60);
             std::vector<uint8_t> record = DefaultRecord(levels);
             record[1] = 30, record[5] = 150; // red input minimum, red middle
             return RunFilterOnLayer(*l, levels, 1, record, true) == FilterResult::Done;
         }},
        {"Stroke", [](Live& l) { return l->SelectLayer(1); },
         [](Live& l) { return l.Draw({{3, 3, 0.2f}, {20, 33, 1.0f}, {45, 10, 0.6f}, {24, 18, 0.9f}}); }},
    };
    return rows;
}

TEST(OperationRegistry, EveryOperationReplaysToItsLivePictureAndUndoesAndRedoes)
{
    std::set<std::string> rowNames;
    for (const Row& row : Rows())
        rowNames.insert(row.operation);
    // A row for every registered operation, and no row for another.
    for (const OperationEntry& op : PaperOperations())
        EXPECT_TRUE(rowNames.count(op.name)) << op.name << " has no row";
    for (size_t i = 0; i < Rows().size(); ++i) {
        const Row& row = Rows()[i];
        SCOPED_TRACE(std::string(row.operation) + " (row " + std::to_string(i) + ")");
        const OperationEntry* op = FindOperation(row.operation);
        ASSERT_NE(op, nullptr);
        Live live(row.makesPicture);
        ASSERT_TRUE(row.setUp(live));
        const PaperState before = StateOf(*live);
        const int32_t steps = live->EventManager()->CommittedSteps();
        ASSERT_TRUE(row.run(live));
        const PaperState after = StateOf(*live);
        ASSERT_FALSE(row.makesPicture ? after.layers.empty() : after == before) << "the operation changed nothing";
        EXPECT_GT(live->EventManager()->CommittedSteps(), steps) << "the operation recorded no step";

        const std::string path = ScratchFile(row.operation);
        const PlaybackMode mode = row.images ? PlaybackMode::Interactive : PlaybackMode::Render;
        const PaperState replayed = SavedAndReplayed(*live, path, mode);
        EXPECT_TRUE(replayed == WithoutIds(after)) << "the replay differs: " << Difference(replayed, WithoutIds(after));
        std::filesystem::remove(path);

        // A new picture starts without history.
        if (op->undoKinds.empty() || row.makesPicture)
            continue;
        int32_t layer = -1;
        ExtentRect rect{};
        ASSERT_TRUE(live->Undo(layer, rect));
        EXPECT_TRUE(StateOf(*live) == before) << "after undo: " << Difference(StateOf(*live), before);
        ASSERT_TRUE(live->Redo(layer, rect));
        EXPECT_TRUE(StateOf(*live) == after) << "after redo: " << Difference(StateOf(*live), after);
        // The stream followed: it replays to the picture on screen again.
        const std::string again = ScratchFile("again");
        const PaperState stream = SavedAndReplayed(*live, again, mode);
        EXPECT_TRUE(stream == WithoutIds(after)) << "the stream after undo and redo: " << Difference(stream, WithoutIds(after));
        std::filesystem::remove(again);
    }
}

// The description says who replays each kind; the registry says which
// operation does. They agree both ways.
TEST(OperationRegistry, AgreesWithThePacketDescription)
{
    std::map<PacketId, std::string> replayedBy;
    for (const OperationEntry& op : PaperOperations()) {
        EXPECT_FALSE(op.packets.empty()) << op.name;
        for (PacketId id : op.packets) {
            const PacketIdInfo& kind = InfoOf(id);
            EXPECT_TRUE(replayedBy.emplace(id, op.name).second) << kind.name << " replayed twice";
            if (op.replay) {
                EXPECT_EQ(kind.replayBy, ReplayBy::Document) << kind.name;
                EXPECT_EQ(std::string(kind.operation), op.name) << kind.name;
            } else {
                EXPECT_EQ(kind.replayBy, ReplayBy::Player) << kind.name << " of " << op.name;
            }
        }
    }
    for (int i = 0; i < kPacketIdCount; ++i) {
        const PacketIdInfo& kind = kPacketIdInfo[i];
        if (kind.replayBy != ReplayBy::Document)
            continue;
        const OperationEntry* op = OperationReplaying(PacketId(i));
        ASSERT_NE(op, nullptr) << kind.name << " names " << kind.operation << ", which is not registered";
        EXPECT_EQ(std::string(op->name), kind.operation);
        EXPECT_NE(op->replay, nullptr) << kind.name;
    }
}

} // namespace
} // namespace morvane
