// The document records through its own event manager: a new canvas opens
// the stream with its marks, every operation and stroke is one step that
// undo and redo take off and put back with the history, and a stream that
// falls behind the history stops the recording without costing the history.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "PaperFixture.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/EventPayloads.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane {
namespace {

using testing_layers::KeepingRecorder;
using testing_layers::Notes;
using testing_layers::PaperState;
using testing_layers::StateOf;

using Header = std::pair<int, int>;

struct Packet {
    Header header;
    std::vector<uint8_t> bytes; // header included
};

std::vector<Packet> PacketsOf(const CEventMngr& m)
{
    std::vector<uint8_t> all(size_t(m.WritePosition()));
    if (!all.empty()) {
        EXPECT_EQ(m.Read(0, all.data(), int64_t(all.size())), int64_t(all.size()));
    }
    std::vector<Packet> out;
    EXPECT_TRUE(WalkPackets(
                    all,
                    [](void* user, uint64_t, uint8_t cat, uint8_t code, std::span<const uint8_t> payload) {
                        Packet p{{cat, code}, {cat, code}};
                        p.bytes.insert(p.bytes.end(), payload.begin(), payload.end());
                        static_cast<std::vector<Packet>*>(user)->push_back(std::move(p));
                        return true;
                    },
                    &out)
                    .ok);
    return out;
}

std::vector<uint8_t> StreamOf(const CEventMngr& m)
{
    std::vector<uint8_t> all(size_t(m.WritePosition()));
    if (!all.empty()) {
        EXPECT_EQ(m.Read(0, all.data(), int64_t(all.size())), int64_t(all.size()));
    }
    return all;
}

// A document of the largest history on a 40 x 32 canvas, with a pen.
struct EventPaper {
    RecordingDocumentHost host;
    TPaper paper{host, SPaperSettings{50}};
    TStroke pen;
    CPenRender render{pen};
    TFlowImage flow;

    EventPaper()
    {
        EXPECT_TRUE(paper.NewPicture("e", false, false, 72, 40, 32, 40, 32));
        pen.color = 0xFF3060A0;
        paper.SetPenRenderer(&render);
    }
    CEventMngr& Events() { return *paper.EventManager(); }
    bool Stroke(float x0, float y0, float x1, float y1)
    {
        if (!paper.StrokeBegin(flow, pen, true, 0.8f, y0, x0))
            return false;
        const bool moved = paper.StrokePoint(flow, pen, true, 0.6f, y1, x1);
        EdgeRect out;
        return paper.StrokeEnd(flow, pen, true, out) && moved;
    }
    bool Undo()
    {
        int32_t index = 0;
        ExtentRect rect{};
        return paper.Undo(index, rect);
    }
    bool Redo()
    {
        int32_t index = 0;
        ExtentRect rect{};
        return paper.Redo(index, rect);
    }
};

TEST(PaperEvents, ANewCanvasOpensTheStreamWithTheMarks)
{
    EventPaper e;
    std::vector<Header> headers;
    for (const Packet& p : PacketsOf(e.Events()))
        headers.push_back(p.header);
    const std::vector<Header> expected{{0, 0}, {0, 2}, {0, 3}, {0, 4},  {0, 5},  {0, 8},
                                       {0, 12}, {2, 8}, {1, 17}, {1, 16}, {2, 254}};
    EXPECT_EQ(headers, expected);
    EXPECT_EQ(e.Events().CommittedSteps(), 2);
    const std::vector<Packet> packets = PacketsOf(e.Events());
    CanvasColourStatePayload canvas;
    ASSERT_TRUE(canvas.Decode(packets[1].bytes));
    EXPECT_EQ(canvas.colour, 0xFFFFFFu);
    // Width and height of the new-canvas command.
    const std::vector<uint8_t>& canvasCommand = packets[7].bytes;
    EXPECT_EQ(canvasCommand[2] | canvasCommand[3] << 8, 40);
    EXPECT_EQ(canvasCommand[6] | canvasCommand[7] << 8, 32);

    // A document given a recorder keeps to it.
    RecordingDocumentHost host;
    TPaper given(host, SPaperSettings{}, std::make_unique<KeepingRecorder>());
    EXPECT_EQ(given.EventManager(), nullptr);
}

TEST(PaperEvents, AStrokeSaysThePenItPaintsWith)
{
    EventPaper e;
    e.pen.SetRadius(6.5f);
    const int64_t before = e.Events().WritePosition();
    ASSERT_TRUE(e.Stroke(5, 5, 30, 20));
    std::vector<Packet> packets = PacketsOf(e.Events());
    PenRadiusPayload radius;
    PenColourPayload colour;
    int strokes = 0;
    for (const Packet& p : packets) {
        if (p.header == Header(0, 17)) {
            ASSERT_TRUE(radius.Decode(p.bytes));
        }
        if (p.header == Header(0, 16)) {
            ASSERT_TRUE(colour.Decode(p.bytes));
        }
        strokes += p.header.first == 18;
    }
    EXPECT_EQ(radius.radius, 6.5f);
    EXPECT_EQ(colour.colour, 0x3060A0u);
    EXPECT_EQ(strokes, 1);
    EXPECT_GT(e.Events().WritePosition(), before);
    // The same pen again: the stroke alone.
    const int64_t second = e.Events().WritePosition();
    ASSERT_TRUE(e.Stroke(8, 5, 20, 25));
    packets = PacketsOf(e.Events());
    EXPECT_EQ(packets[packets.size() - 3].header.first, 18) << "no state between the strokes";
    EXPECT_EQ(packets.back().header, Header(18, 2));
    EXPECT_EQ(e.Events().WritePosition() - second, 6 + 2 + 24);
}

// Random operations, strokes, undo and redo: the stream's undo and redo
// counts follow the history's, and after every undo or redo the stream is
// the one recorded when the picture was last in that state.
TEST(PaperEvents, RandomHistoryKeepsTheStreamInStepWithTheUndoManager)
{
    Notes notes;
    EventPaper e;
    CEventMngr& events = e.Events();
    TPaper& paper = e.paper;
    CUndoMngrEx& undo = *paper.UndoManager();
    const int32_t base = events.UndoCount();
    std::mt19937 rng(1210);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto anyLayer = [&] { return pick(paper.LayerCount()); };
    // Streams and pictures by the history's undo count.
    std::vector<std::vector<uint8_t>> streams{StreamOf(events)};
    std::vector<PaperState> pictures{StateOf(paper)};
    for (int i = 0; i < 150; ++i) {
        SCOPED_TRACE(i);
        // Undo keeps the history short of its depth, where it would start
        // dropping records the stream keeps.
        const int op = undo.UndoCount() >= 40 ? 10 : pick(14);
        bool did = false;
        switch (op) {
        case 0: did = paper.AddLayer(paper.LayerCount(), 40, 32, true, 200, 0); break;
        case 1: did = paper.LayerCount() > 1 && paper.DeleteLayer(anyLayer()); break;
        case 2: did = paper.SetLayerOpacity(anyLayer(), pick(256)); break;
        case 3: did = paper.SetLayerVisible(anyLayer(), pick(2) == 0); break;
        case 4: did = paper.FlipLayerH(anyLayer()); break;
        case 5: did = paper.MoveLayer(anyLayer(), anyLayer()); break;
        case 6: did = paper.SetPaperColour(uint32_t(pick(0x1000000))); break;
        case 7: did = paper.DuplicateLayer(anyLayer()); break;
        case 8:
            did = paper.SelectLayer(anyLayer()) && e.Stroke(float(pick(40)), float(pick(32)), float(pick(40)),
                                                          float(pick(32)));
            break;
        case 9: did = paper.ShiftLayer(anyLayer(), pick(9) - 4, pick(9) - 4); break;
        case 10:
        case 11: {
            const bool can = undo.UndoCount() > 0;
            ASSERT_EQ(e.Undo(), can);
            break;
        }
        default: {
            const bool can = undo.RedoCount() > 0;
            ASSERT_EQ(e.Redo(), can);
            break;
        }
        }
        if (did) {
            const size_t done = size_t(undo.UndoCount());
            streams.resize(done);
            pictures.resize(done);
            streams.push_back(StreamOf(events));
            pictures.push_back(StateOf(paper));
        }
        ASSERT_EQ(events.UndoCount() - base, undo.UndoCount()) << "op " << op;
        ASSERT_EQ(events.RedoCount(), undo.RedoCount()) << "op " << op;
        const size_t done = size_t(undo.UndoCount());
        ASSERT_LT(done, streams.size());
        ASSERT_EQ(StreamOf(events), streams[done]) << "op " << op;
        ASSERT_EQ(StateOf(paper), pictures[done]) << "op " << op;
    }
    EXPECT_TRUE(events.IsRecording());
    EXPECT_EQ(notes.Count(), 0u);
}

TEST(PaperEvents, AStreamBehindTheHistoryClearsTheHistoryButKeepsRecording)
{
    Notes notes;
    EventPaper e;
    ASSERT_TRUE(e.paper.SetLayerOpacity(0, 100));
    ASSERT_TRUE(e.paper.FlipLayerH(0));
    ASSERT_TRUE(e.paper.FlipLayerH(0));
    const PaperState flippedTwice = StateOf(e.paper);
    // The stream loses every step, those of the history among them.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(e.Events().UndoStep());
    EXPECT_FALSE(e.Undo());
    EXPECT_TRUE(notes.Said("イベント状態の問題を修正しました!"));
    EXPECT_TRUE(notes.Said("イベント記録に問題が検出されました!"));
    // Only the user stops a recording: the history gives way instead, and
    // the picture stays as it is.
    EXPECT_TRUE(e.Events().IsRecording());
    EXPECT_EQ(StateOf(e.paper), flippedTwice);
    EXPECT_FALSE(e.Undo());
    const int64_t written = e.Events().WritePosition();
    ASSERT_TRUE(e.paper.AddLayer(1, 40, 32, true, 255, 0));
    EXPECT_GT(e.Events().WritePosition(), written);
}

TEST(PaperEvents, AfterStoppingTheDocumentRecordsNothing)
{
    Notes notes;
    EventPaper e;
    ASSERT_TRUE(e.Stroke(3, 3, 20, 20));
    notes.Script(Answer::Ok);
    notes.Script(Answer::No);
    ASSERT_TRUE(e.Events().StopRecordingAsked(nullptr));
    ASSERT_TRUE(e.paper.FlipLayerV(0));
    ASSERT_TRUE(e.Stroke(5, 5, 10, 10));
    ASSERT_TRUE(e.Undo());
    ASSERT_TRUE(e.Redo());
    EXPECT_EQ(e.Events().WritePosition(), 0);
    EXPECT_FALSE(e.Events().HasEvents());
    EXPECT_EQ(notes.Count(), 2u); // the two questions
}

} // namespace
} // namespace morvane
