// Every registered document operation, one row each: recorded live, saved,
// loaded and replayed into a fresh document it gives the live picture and
// layers; undone and redone it gives back the document before and after.
// The registry and the packet description agree on who replays what. A new
// operation is tested by adding its row.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "PaperFixture.h"
#include "document/EventFile.h"
#include "document/PaperOperations.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane {
namespace {

using testing_layers::PaperState;
using testing_layers::StateOf;
using testing_layers::WithoutIds;

// A document recording through its own manager, with content on three
// layers (the middle one multiplied, the top one larger than the picture and
// offset), and the pen a user would paint with.
struct Live {
    RecordingDocumentHost host;
    std::unique_ptr<TPaper> paper = std::make_unique<TPaper>(host);
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;

    explicit Live(bool blank = false)
    {
        pen.color = 0xFF2050C0;
        pen.SetRadius(3.5f);
        NibRecord nib;
        nib.radius = 350;
        nib.minRadius = 300;
        render.SetNib(nib);
        paper->SetPenRenderer(&render);
        if (blank)
            return;
        EXPECT_TRUE(paper->NewPicture("live", false, false, 72, 48, 36, 48, 36));
        EXPECT_TRUE(Draw({{4, 6, 0.4f}, {40, 30, 1.0f}, {10, 28, 0.7f}}));
        EXPECT_TRUE(paper->AddLayerNamed(1, 48, 36, true, 200, kModeMultiply, "中", 0x80C04020u));
        EXPECT_TRUE(Draw({{44, 4, 1.0f}, {6, 20, 0.6f}}));
        EXPECT_TRUE(paper->AddLayer(2, 60, 44, true, 180, kModeNormal));
        EXPECT_TRUE(paper->ShiftLayer(2, -5, -3));
        pen.color = 0xFF10A040;
        EXPECT_TRUE(Draw({{2, 34, 0.9f}, {30, 2, 0.5f}, {46, 20, 1.0f}}));
    }
    ~Live() { paper->SetPenRenderer(nullptr); }
    TPaper& operator*() { return *paper; }
    TPaper* operator->() { return paper.get(); }

    bool Draw(const std::vector<std::array<float, 3>>& path)
    {
        TPaper& p = *paper;
        if (!p.StrokeBegin(flow, pen, true, path[0][2], path[0][1], path[0][0]))
            return false;
        for (size_t i = 1; i < path.size(); ++i)
            if (!p.StrokePoint(flow, pen, true, path[i][2], path[i][1], path[i][0]))
                return false;
        EdgeRect out;
        return p.StrokeEnd(flow, pen, true, out);
    }
};

struct Row {
    const char* operation;
    // Brings the document where the operation applies (recorded too).
    std::function<bool(Live&)> setUp;
    std::function<bool(Live&)> run;
    // The operation makes the picture (the document starts blank).
    bool makesPicture = false;
};

bool None(Live&) { return true; }

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
        {"RotateLayer90", None, [](Live& l) { return l->RotateLayer90(2, true); }},
        {"RotateLayerFree", None, [](Live& l) { return l->RotateLayerFree(1, 33.0f); }},
        {"ScaleLayer", None, [](Live& l) { return l->ScaleLayer(1, 30, 20); }},
        {"SetLayerMode", None, [](Live& l) { return l->SetLayerMode(2, kModeMultiply); }},
        {"SetLayerOpacity", None, [](Live& l) { return l->SetLayerOpacity(2, 100); }},
        {"SetLayerVisible", None, [](Live& l) { return l->SetLayerVisible(0, false); }},
        {"SetLayerProtectAlpha", None, [](Live& l) { return l->SetLayerProtectAlpha(1, true); }},
        {"SetLayerDither", None, [](Live& l) { return l->SetLayerDither(2, true, 120); }},
        {"ShiftLayer", None, [](Live& l) { return l->ShiftLayer(2, 7, -4); }},
        {"LinkLayer", None, [](Live& l) { return l->LinkLayer(2, true); }},
        {"DeleteLinkLeader", [](Live& l) { return l->LinkLayer(2, true); },
         [](Live& l) { return l->DeleteLinkLeader(1); }},
        {"MoveLinkGroup",
         [](Live& l) { return l->AddLayer(3, 48, 36, true, 255, kModeNormal) && l->LinkLayer(2, true); },
         [](Live& l) { return l->MoveLinkGroup(1, 2); }},
        {"DeleteLinkGroup", [](Live& l) { return l->LinkLayer(2, true); },
         [](Live& l) { return l->DeleteLinkGroup(1); }},
        {"SetLinkGroupVisible", None, [](Live& l) { return l->SetLinkGroupVisible(1, 2, false); }},
        {"Stroke", [](Live& l) { return l->SelectLayer(1); },
         [](Live& l) { return l.Draw({{3, 3, 0.2f}, {20, 33, 1.0f}, {45, 10, 0.6f}, {24, 18, 0.9f}}); }},
    };
    return rows;
}

// What the live document recorded, saved as an event file and replayed into
// a fresh document the way the render mode replays one.
PaperState Replayed(TPaper& live, const std::string& path)
{
    EXPECT_EQ(SaveEventFile(path, live, EventSaveRequest{}), 0);
    RecordingDocumentHost host;
    host.PlayingBack = true;
    TPaper paper(host);
    PaperPlaybackTarget target(paper);
    CEventPlayer player(*paper.EventManager(), target);
    EXPECT_EQ(player.Open(path, PlaybackMode::Render), CEventPlayer::kOpenOk);
    int ticks = 0;
    while (player.Tick() == PlayerTick::Continue && ++ticks < 100000) {
    }
    player.Close();
    EXPECT_TRUE(player.EndMarkSeen());
    EXPECT_FALSE(player.Failed());
    return WithoutIds(StateOf(paper));
}

// The first thing two documents differ in, for the failure message.
std::string Difference(const PaperState& a, const PaperState& b)
{
    if (a.width != b.width || a.height != b.height)
        return "size";
    if (a.paperColour != b.paperColour)
        return "paper colour";
    if (a.layers.size() != b.layers.size())
        return "layer count " + std::to_string(a.layers.size()) + " vs " + std::to_string(b.layers.size());
    for (size_t i = 0; i < a.layers.size(); ++i) {
        const PaperState::Layer &x = a.layers[i], &y = b.layers[i];
        if (!(x == y))
            return "layer " + std::to_string(i) + ": store " + std::to_string(x.storeW) + "x" +
                   std::to_string(x.storeH) + " vs " + std::to_string(y.storeW) + "x" + std::to_string(y.storeH) +
                   ", origin " + std::to_string(x.originX) + "," + std::to_string(x.originY) + " vs " +
                   std::to_string(y.originX) + "," + std::to_string(y.originY) + ", pixels " +
                   (x.pixels == y.pixels ? "same" : "differ") + ", name " + x.name + "/" + y.name + ", visible " +
                   std::to_string(x.visible) + "/" + std::to_string(y.visible);
    }
    return a.composite == b.composite ? "nothing" : "composite";
}

std::string ScratchFile(const char* name)
{
    return (std::filesystem::temp_directory_path() /
            (std::string("morvane-registry-") + std::to_string(::getpid()) + "-" + name + ".vd4"))
        .string();
}

TEST(OperationRegistry, EveryOperationReplaysToItsLivePictureAndUndoesAndRedoes)
{
    std::set<std::string> rowNames;
    for (const Row& row : Rows())
        rowNames.insert(row.operation);
    // A row for every registered operation, and no row for another.
    for (const OperationEntry& op : PaperOperations())
        EXPECT_TRUE(rowNames.count(op.name)) << op.name << " has no row";
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.operation);
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
        const PaperState replayed = Replayed(*live, path);
        EXPECT_TRUE(replayed == WithoutIds(after)) << "the replay differs: " << Difference(replayed, WithoutIds(after));
        std::filesystem::remove(path);

        if (op->undoKinds.empty())
            continue;
        int32_t layer = -1;
        ExtentRect rect{};
        ASSERT_TRUE(live->Undo(layer, rect));
        EXPECT_TRUE(StateOf(*live) == before) << "after undo: " << Difference(StateOf(*live), before);
        ASSERT_TRUE(live->Redo(layer, rect));
        EXPECT_TRUE(StateOf(*live) == after) << "after redo: " << Difference(StateOf(*live), after);
        // The stream followed: it replays to the picture on screen again.
        const std::string again = ScratchFile("again");
        const PaperState stream = Replayed(*live, again);
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
