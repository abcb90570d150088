// The tool state reaching the document: before each stroke and command the
// current tool's values go into the pen, the stroke manager and the
// renderer, so the state records describe the tool in use (a current kind,
// a compatible kind on its own engine, a bitmap nib, a colour change), and
// the recording saved, loaded and replayed gives the live picture.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include "InputFixture.h"
#include "app/RenderFixture.h"
#include "document/EventFile.h"
#include "document/PaperFixture.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/EventPacketTable.h"
#include "events/EventPayloads.h"
#include "events/EventSyncState.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "storage/TChannel.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

using Packet = std::vector<uint8_t>;
using testing_input::FakeView;
using testing_layers::StateOf;
using testing_layers::WithoutIds;

// A document recording through its own event manager, painted through the
// router with a pen on the tablet.
struct LiveDesk {
    SilentDocumentHost host;
    TPaper paper{host};
    FakeView view;
    ToolState tools;
    InputRouter router{paper, view, tools};
    CPenRender render{router.Pen()};

    LiveDesk()
    {
        EXPECT_TRUE(paper.NewPicture("tools", false, false, 72, 120, 90, 120, 90));
        paper.SetPenRenderer(&render);
        router.SetTabletDriving(true);
    }
    // A stroke along row y with a pressure ramp.
    void Stroke(double y, float from = 0.3f, float to = 1.0f)
    {
        for (int i = 0; i <= 10; ++i)
            router.TabletPacket({10.0 + 9.0 * i, y + (i % 3)}, from + (to - from) * float(i) / 10.0f, 0, true);
        router.TabletPacket({100, y}, 0, 0, true);
    }
    std::vector<Packet> Packets()
    {
        CEventMngr& events = *paper.EventManager();
        std::vector<uint8_t> stream(size_t(events.WritePosition()));
        EXPECT_EQ(events.Read(0, stream.data(), int64_t(stream.size())), int64_t(stream.size()));
        return testing_layers::SplitPackets(stream);
    }
};

bool IsStrokeStart(const Packet& p) { return p[0] == 21 || p[0] == 48; }

// The last state record of type P at or before packet `before`.
template <typename P>
std::optional<P> LastState(const std::vector<Packet>& packets, size_t before, uint8_t code)
{
    for (size_t i = before + 1; i-- > 0;) {
        P payload;
        if (packets[i][0] == 0 && packets[i][1] == code && payload.Decode(packets[i]))
            return payload;
    }
    return std::nullopt;
}

std::vector<size_t> StrokeStarts(const std::vector<Packet>& packets)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < packets.size(); ++i)
        if (IsStrokeStart(packets[i]))
            starts.push_back(i);
    return starts;
}

// A bitmap nib of a ring, added to the nib list.
int32_t AddRingNib(ToolState& tools)
{
    auto channel = std::make_unique<TChannel>(24, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 24; ++x) {
            const double d = std::hypot(x - 11.5, y - 9.5);
            *channel->PixelPtr(x, y) = d > 4 && d < 9 ? 0 : 255; // 255 - coverage
        }
    auto nib = std::make_unique<CPenShapeObj>();
    nib->valid = true;
    nib->isBitmap = 1;
    EXPECT_TRUE(nib->SetBitmap(std::move(channel)));
    return tools.Nibs().Add(std::move(nib));
}

// A fresh document replays the saved file to its end.
struct Replayed {
    SilentDocumentHost host{true};
    TPaper paper{host};
    bool ended = false;

    explicit Replayed(const std::string& path)
    {
        PaperPlaybackTarget target(paper);
        CEventPlayer player(*paper.EventManager(), target);
        if (player.Open(path, PlaybackMode::Render) != CEventPlayer::kOpenOk)
            return;
        PlayerTick tick = PlayerTick::Continue;
        while (tick == PlayerTick::Continue)
            tick = player.Tick();
        player.Close();
        ended = tick == PlayerTick::Ended && player.EndMarkSeen();
    }
};

TEST(ToolApply, StateRecordsDescribeEachToolAndTheFileReplaysToTheLivePicture)
{
    LiveDesk desk;
    ToolState& tools = desk.tools;
    // 1: the current pencil, red, 6 px.
    tools.SetMainColour(0xFFE01010u);
    tools.SetSize(6);
    desk.Stroke(15);
    // 2: the compatible watercolour on the compatible engine.
    tools.SelectKind(PaintKind::WaterColor1);
    tools.SetSize(9);
    desk.Stroke(35);
    // 3: the airbrush with a bitmap nib at 150 %.
    tools.SelectKind(PaintKind::AirBrush4);
    ASSERT_TRUE(tools.ChooseNib(AddRingNib(tools)));
    tools.SetSize(150);
    desk.Stroke(55);
    // 4: the pencil again, blue now.
    tools.SelectKind(PaintKind::Pencil4);
    tools.SetMainColour(0xFF1030D0u);
    desk.Stroke(75);

    const std::vector<Packet> packets = desk.Packets();
    const std::vector<size_t> starts = StrokeStarts(packets);
    ASSERT_EQ(starts.size(), 4u);
    EXPECT_EQ(packets[starts[0]][0], 48) << "current kinds on the current engine";
    EXPECT_EQ(packets[starts[1]][0], 21) << "a compatible kind on the compatible one";

    const struct {
        uint32_t colour;
        StrokeMethod method;
        float radius;
        uint8_t renderClass, pencil, usesBitmap;
    } expected[] = {{0xE01010, StrokeMethod::Pen, 6, 0, 1, 0},
                    {0xE01010, StrokeMethod::WaterColor, 9, 0, 1, 0},
                    {0xE01010, StrokeMethod::AirBrush, 1, 0, 0, 1},
                    {0x1030D0, StrokeMethod::Pen, 6, 0, 1, 0}};
    for (size_t s = 0; s < starts.size(); ++s) {
        SCOPED_TRACE(s);
        const auto colour = LastState<PenColourPayload>(packets, starts[s], 16);
        const auto radius = LastState<PenRadiusPayload>(packets, starts[s], 17);
        const auto geometry = LastState<NibGeometryPayload>(packets, starts[s], 52);
        const auto method = LastState<BrushMethodPayload>(packets, starts[s], 56);
        ASSERT_TRUE(colour && radius && geometry && method);
        EXPECT_EQ(colour->colour, expected[s].colour);
        EXPECT_EQ(colour->method, uint8_t(expected[s].method));
        if (s != 2) {
            EXPECT_FLOAT_EQ(radius->radius, expected[s].radius);
        }
        EXPECT_EQ(geometry->usesBitmap, expected[s].usesBitmap);
        if (s != 1) { // the compatible engine leaves the renderer as it was
            EXPECT_EQ(method->method[0], expected[s].renderClass);
            EXPECT_EQ(method->brush, expected[s].pencil);
        }
    }
    // The bitmap nib is embedded at its first use, with its scale.
    const auto nib = LastState<EmbeddedNibPayload>(packets, starts[2], 44);
    ASSERT_TRUE(nib);
    EXPECT_EQ(nib->width, 24);
    EXPECT_EQ(nib->height, 20);
    EXPECT_EQ(nib->scale, 150);
    // The pressure switches of the default pencil reach the stroke manager.
    const auto settings = LastState<StrokeSettingsPayload>(packets, starts[3], 60);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->flags, 3);

    support::TempFolder folder;
    const std::string path = folder / "tools.vd4";
    ASSERT_EQ(SaveEventFile(path, desk.paper, EventSaveRequest{}), EventFileCode::Ok);
    Replayed replay(path);
    ASSERT_TRUE(replay.ended);
    EXPECT_EQ(WithoutIds(StateOf(replay.paper)), WithoutIds(StateOf(desk.paper)));
}

TEST(ToolApply, TheRecordingPenIsTheCurrentToolBeforeAnyStroke)
{
    LiveDesk desk;
    desk.tools.SetMainColour(0xFF20A040u);
    desk.tools.SelectKind(PaintKind::Dodge4);
    desk.tools.SetSize(17);
    desk.router.PrepareEdit();
    // What a command's state records would say, with no stroke made yet.
    EventSyncState s;
    desk.paper.FillEventSyncState(s);
    EXPECT_EQ(s.penColour.colour, 0x20A040u);
    EXPECT_EQ(s.penColour.method, uint8_t(StrokeMethod::Lighten));
    EXPECT_FLOAT_EQ(s.penRadius.radius, 17.0f);
    EXPECT_EQ(s.nibGeometry.values[0], 1700);
    EXPECT_EQ(s.brushMethod.method[0], uint8_t(RenderMethod::BurnDodge));
    EXPECT_EQ(s.brushMethod.method[1], 1) << "dodge";
    EXPECT_EQ(s.strokeSettings.flags, 3) << "the first-use pressure switches";
}

TEST(ToolApply, TheKindPicksTheEngineWithinWhatTheDocumentReached)
{
    const struct {
        PaintKind kind;
        uint8_t max, engine;
    } cases[] = {{PaintKind::Pencil4, 2, 2}, {PaintKind::Pencil1, 2, 1}, {PaintKind::Pencil4, 1, 1},
                 {PaintKind::Dodge1, 0, 1},  {PaintKind::Spread4, 2, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(EngineForKind(c.kind, c.max), c.engine) << int(c.kind) << " " << int(c.max);
}

} // namespace
} // namespace morvane
