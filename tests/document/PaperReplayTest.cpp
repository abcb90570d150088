// Replaying a recording into a fresh document gives the live document's
// picture and layers: document, layer and link commands, strokes of every
// engine and line mode, a stroke of several point packets. Hostile packets
// fail and leave the document as it was; the replay itself records nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>


#include "PaperFixture.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/EventPacketTable.h"
#include "events/EventPayloads.h"
#include "document/EventFile.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "storage/TChannel.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

using testing_layers::KeepingRecorder;
using testing_layers::StateOf;
using testing_layers::WithoutIds;

using Packet = std::vector<uint8_t>;

struct Sample {
    float x, y, p;
};

Packet Version(uint16_t major, uint16_t minor)
{
    AppVersionPayload p;
    p.major = major, p.minor = minor;
    return p.Encode();
}

// Turns between x- and y-major, presses and eases off.
const std::vector<Sample> kPath = {{6, 8, 0.3f},   {14, 12, 0.6f}, {24, 10, 1.0f}, {33, 22, 0.8f},
                                   {40, 30, 0.5f}, {30, 33, 0.9f}, {12, 4, 0.7f},  {12, 4, 0.0f}};

std::vector<Sample> LongPath(int n)
{
    std::vector<Sample> path;
    for (int i = 0; i < n; ++i)
        path.push_back(
            {4.0f + float(i) * 1.7f, 20.0f + 12.0f * std::sin(float(i) * 0.4f), float(i % 7) / 6.0f});
    return path;
}

// The packets of a stream, in order.

// The live side: a document recording through its own manager, and the tool
// a user would paint with.
struct LivePaper {
    RecordingDocumentHost host;
    std::unique_ptr<TPaper> paper = std::make_unique<TPaper>(host);
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;

    LivePaper()
    {
        EXPECT_TRUE(paper->NewPicture("live", false, false, 72, 56, 44, 56, 44));
        pen.color = 0xFF2050C0;
        pen.subColor = 0xFFF0E0D0;
        pen.SetRadius(4.5f);
        NibRecord nib;
        nib.radius = 450;
        nib.minRadius = 300;
        render.SetNib(nib);
        paper->SetPenRenderer(&render);
        // Content on two more layers, so every command has pixels to move.
        EXPECT_TRUE(paper->AddLayerNamed(1, 56, 44, true, 200, kModeMultiply, "紙", 0x80C04020u));
        EXPECT_TRUE(Draw(kPath));
        EXPECT_TRUE(paper->AddLayer(2, 70, 50, true, 180, kModeNormal));
        pen.color = 0xFF10A040;
        EXPECT_TRUE(Draw({{50, 40, 1}, {20, 6, 0.6f}, {3, 30, 0.9f}, {3, 30, 0}}));
    }
    TPaper* operator->() { return paper.get(); }
    bool Draw(const std::vector<Sample>& path)
    {
        TPaper& p = *paper;
        if (!p.StrokeBegin(flow, pen, true, path[0].p, path[0].y, path[0].x))
            return false;
        for (size_t i = 1; i < path.size(); ++i)
            if (!p.StrokePoint(flow, pen, true, path[i].p, path[i].y, path[i].x))
                return false;
        EdgeRect out;
        return p.StrokeEnd(flow, pen, true, out);
    }
    std::vector<Packet> Packets()
    {
        CEventMngr& events = *paper->EventManager();
        std::vector<uint8_t> stream(size_t(events.WritePosition()));
        EXPECT_EQ(events.Read(0, stream.data(), int64_t(stream.size())), int64_t(stream.size()));
        return testing_layers::SplitPackets(stream);
    }
};

// The replay side: a player document whose recorder must stay empty, fed
// packet by packet with the player's rules for strokes.
struct ReplayPaper {
    RecordingDocumentHost host;
    KeepingRecorder* recorder = nullptr;
    std::unique_ptr<TPaper> paper;
    std::unique_ptr<PaperPlaybackTarget> target;
    int appVersion = 450;
    uint8_t kind = 2;
    bool open = false;

    ReplayPaper()
    {
        host.PlayingBack = true;
        auto keep = std::make_unique<KeepingRecorder>();
        recorder = keep.get();
        paper = std::make_unique<TPaper>(host, SPaperSettings{}, std::move(keep));
        target = std::make_unique<PaperPlaybackTarget>(*paper);
    }
    TPaper* operator->() { return paper.get(); }

    HandlerResult Feed(const Packet& p)
    {
        const uint8_t category = p[0];
        if (category <= 1) {
            if (category == 0 && p[1] == 0) {
                AppVersionPayload v;
                if (v.Decode(p))
                    appVersion = v.major * 100 + v.minor;
            }
            return target->ApplyRecord(p);
        }
        if (category == 2 && p[1] >= 254) {
            if (p[1] == 254)
                target->ClearMaps();
            return HandlerResult::Executed;
        }
        if (category == 17 || category == 18)
            return Points(p);
        if (const int start = StartKind(category); start >= 0) {
            kind = uint8_t(start);
            open = false;
            PlaybackStroke s;
            s.kind = kind;
            s.lineMode = category == 20 || category == 22 || category == 24 || category == 49;
            s.layer = uint16_t(p[2] | p[3] << 8);
            s.mask = uint16_t(p[4] | p[5] << 8);
            return target->StartStroke(s);
        }
        return target->ApplyCommand(p, appVersion);
    }
    // The index of the first packet that did not execute, -1 when all did.
    int FirstFailing(const std::vector<Packet>& packets)
    {
        for (size_t i = 0; i < packets.size(); ++i)
            if (Feed(packets[i]) != HandlerResult::Executed)
                return int(i);
        return -1;
    }
    bool FeedAll(const std::vector<Packet>& packets) { return FirstFailing(packets) < 0; }

    static int StartKind(uint8_t category)
    {
        switch (category) {
        case 16:
        case 20:
            return 0;
        case 21:
        case 22:
            return 1;
        case 23:
        case 24:
            return 2;
        case 48:
        case 49:
            return 4;
        default:
            return -1;
        }
    }
    PointRoutine Opening() const
    {
        if (kind == 4)
            return PointRoutine::OpenWetPaint;
        return kind < 2 || appVersion <= 222 ? PointRoutine::OpenEarlier : PointRoutine::OpenStandard;
    }
    HandlerResult Points(const Packet& p)
    {
        const size_t n = p[1];
        for (size_t i = 0; i < n; ++i) {
            PlaybackPoint point;
            std::memcpy(&point.x, &p[2 + 12 * i], 4);
            std::memcpy(&point.y, &p[6 + 12 * i], 4);
            std::memcpy(&point.pressure, &p[10 + 12 * i], 4);
            const PointRoutine routine =
                open ? (kind == 4 ? PointRoutine::ContinueWetPaint : PointRoutine::Continue) : Opening();
            open = true;
            if (const HandlerResult r = target->DrawPoint(point, routine); r != HandlerResult::Executed)
                return r;
        }
        return p[0] == 18 ? target->EndStroke() : HandlerResult::Executed;
    }
};

// The live document's packets replayed; the replay must match it and must
// not have recorded anything itself.
void ExpectReplayEqualsLive(LivePaper& live, const std::vector<Packet>& packets, const std::string& what)
{
    ReplayPaper replay;
    const int failing = replay.FirstFailing(packets);
    ASSERT_EQ(failing, -1) << what << ": packet (" << int(packets[size_t(failing)][0]) << ","
                           << int(packets[size_t(failing)][1]) << ")";
    EXPECT_EQ(WithoutIds(StateOf(*replay.paper)), WithoutIds(StateOf(*live.paper))) << what;
    EXPECT_TRUE(replay.recorder->packets.empty()) << what;
}

TEST(PaperReplay, CommandsReplayToTheLivePicture)
{
    struct Case {
        const char* name;
        std::function<bool(TPaper&)> op;
    };
    const std::vector<Case> cases = {
        {"canvas colour", [](TPaper& p) { return p.SetPaperColour(0x00406080u); }},
        {"canvas size, centre anchor", [](TPaper& p) { return p.SetCanvasSize(70, 30, true, 4); }},
        {"image size", [](TPaper& p) { return p.SetImageSize(40, 61, false); }},
        {"rotate canvas cw", [](TPaper& p) { return p.RotatePicture90(true); }},
        {"rotate canvas ccw", [](TPaper& p) { return p.RotatePicture90(false); }},
        {"crop",
         [](TPaper& p) {
             return p.Crop(1, {5, 3, 41, 30});
         }},
        {"merge visible", [](TPaper& p) { return p.MergeVisibleLayers(-1, false); }},
        {"merge visible by a method", [](TPaper& p) { return p.MergeVisibleLayers(2, false); }},
        {"flip all horizontally", [](TPaper& p) { return p.FlipPictureH(true); }},
        {"flip visible vertically",
         [](TPaper& p) { return p.SetLayerVisible(1, false) && p.FlipPictureV(false); }},
        {"rotate all 180", [](TPaper& p) { return p.RotatePicture180(true); }},
        {"invert visible", [](TPaper& p) { return p.InvertPicture(false); }},
        {"show only", [](TPaper& p) { return p.ShowOnlyLayer(1); }},
        {"hide all, show all", [](TPaper& p) { return p.ShowAllLayers(false) && p.ShowAllLayers(true); }},
        {"invert visibility", [](TPaper& p) { return p.InvertLayerVisibility(); }},
        {"new layer", [](TPaper& p) { return p.AddLayer(1, 30, 20, true, 99, kModeScreen); }},
        {"delete layer", [](TPaper& p) { return p.DeleteLayer(1); }},
        {"duplicate layer", [](TPaper& p) { return p.DuplicateLayer(1); }},
        {"move layer", [](TPaper& p) { return p.MoveLayer(2, 0); }},
        {"merge down", [](TPaper& p) { return p.MergeDown(2); }},
        {"merge down by a method", [](TPaper& p) { return p.MergeDownWith(2, 1); }},
        {"alpha opaque", [](TPaper& p) { return p.SetLayerAlpha(1, 255); }},
        {"invert alpha", [](TPaper& p) { return p.InvertAlpha(2); }},
        {"layer flips and invert",
         [](TPaper& p) {
             return p.FlipLayerH(1) && p.FlipLayerV(2) && p.RotateLayer180(2) && p.InvertLayer(0);
         }},
        {"layer rotate 90", [](TPaper& p) { return p.RotateLayer90(1, true) && p.RotateLayer90(2, false); }},
        {"layer rotate by an angle", [](TPaper& p) { return p.RotateLayerFree(1, 33.5f); }},
        {"layer scale", [](TPaper& p) { return p.ScaleLayer(2, 31, 47); }},
        {"layer shift", [](TPaper& p) { return p.ShiftLayer(2, 3, -2); }},
        {"layer shift that grows the store", [](TPaper& p) { return p.ShiftLayer(1, 30, 25); }},
        {"mode, opacity, visibility, dither, protection",
         [](TPaper& p) {
             return p.SetLayerMode(2, kModeScreen) && p.SetLayerOpacity(1, 77) &&
                    p.SetLayerVisible(0, false) && p.SetLayerDither(2, true, 90) &&
                    p.SetLayerProtectAlpha(1, true);
         }},
        {"link and unlink",
         [](TPaper& p) { return p.LinkLayer(2, true) && p.LinkLayer(1, true) && p.LinkLayer(2, false); }},
        {"linked run shift and visibility",
         [](TPaper& p) {
             return p.LinkLayer(2, true) && p.ShiftLayer(1, -4, 6) && p.SetLinkGroupVisible(1, 2, false);
         }},
        {"linked run move", [](TPaper& p) { return p.LinkLayer(2, true) && p.MoveLinkGroup(1, 0); }},
        {"delete link leader", [](TPaper& p) { return p.LinkLayer(2, true) && p.DeleteLinkLeader(1); }},
        {"delete link group", [](TPaper& p) { return p.LinkLayer(2, true) && p.DeleteLinkGroup(1); }},
    };
    for (const Case& c : cases) {
        LivePaper live;
        ASSERT_TRUE(c.op(*live.paper)) << c.name;
        ExpectReplayEqualsLive(live, live.Packets(), c.name);
    }
}

TEST(PaperReplay, StrokesReplayToTheLiveLayer)
{
    // Pencil coverage, the current engine's colour dabs, the compatible
    // engine, a shape through its vertices, and more points than one packet.
    struct Case {
        const char* name;
        uint8_t engine;
        bool pencil, shape;
        std::vector<Sample> path;
    };
    const std::vector<Case> cases = {
        {"current engine", 2, false, false, kPath},
        {"current engine, pencil", 2, true, false, kPath},
        {"compatible engine", 1, false, false, kPath},
        {"line mode", 2, false, true, {{5, 5, 1}, {40, 9, 1}, {22, 35, 1}, {5, 5, 1}}},
        {"40 points, three packets", 2, false, false, LongPath(40)},
    };
    for (const Case& c : cases) {
        LivePaper live;
        ASSERT_TRUE(live->SetStrokeEngine(c.engine)) << c.name;
        BrushMethodRecord method = live.render.Method();
        method.pencil = method.exact = c.pencil;
        live.render.SetMethod(method);
        live.pen.SetRadius(7.0f);
        live.pen.color = 0xFFB03060;
        ASSERT_TRUE(live->SelectLayer(1));
        ASSERT_TRUE(live->SetShapeStroke(c.shape));
        ASSERT_TRUE(live.Draw(c.path)) << c.name;
        // As recorded: the start's category names the compatible kind, so
        // the replay opens the stroke on the engine that drew it.
        const std::vector<Packet> packets = live.Packets();
        ExpectReplayEqualsLive(live, packets, c.name);
        if (c.path.size() > 16) {
            int pointPackets = 0;
            for (const Packet& p : packets)
                pointPackets += p[0] == 17 && p[1] == 16;
            EXPECT_GE(pointPackets, 2) << c.name;
        }
    }
}

TEST(PaperReplay, TheStreamCarriesTheBitmapNibAndTheStrokeManagersSettings)
{
    // Neither is the player's default: the replay paints like the live
    // stroke only if the stream says both.
    LivePaper live;
    auto channel = std::make_unique<TChannel>(12, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 12; ++x)
            *channel->PixelPtr(x, y) = uint8_t((x * 37 + y * 91) % 256);
    CPenShapeObj bitmap;
    ASSERT_TRUE(bitmap.SetBitmap(std::move(channel)));
    bitmap.SetScale(80);
    live.render.SetNibPreset(&bitmap, false, false, false);
    BrushRecord brush = live->StrokeManager().Brush();
    brush.pressureSize = brush.pressureDensity = true;
    brush.gamma = 250;
    brush.spacing = 40;
    live->StrokeManager().SetBrush(brush);
    ASSERT_TRUE(live->SelectLayer(1));
    ASSERT_TRUE(live.Draw(kPath));
    ASSERT_TRUE(live.Draw(LongPath(20)));
    const std::vector<Packet> packets = live.Packets();
    int embedded = 0;
    for (const Packet& p : packets)
        embedded += p[0] == 0 && p[1] == 44;
    EXPECT_EQ(embedded, 1);
    ExpectReplayEqualsLive(live, packets, "bitmap nib, brush record");
}

// The current engine's free strokes (wet paint, kind 4) marked as strokes of
// the standard kind 2, as recordings of other versions have them.
std::vector<Packet> AsStandardStrokes(std::vector<Packet> packets)
{
    int starts = 0;
    for (Packet& p : packets)
        if (PacketIdOf(p[0], p[1]) == PacketId::WetStrokeStart) {
            p[0] = CategoryOf(PacketId::StrokeStart);
            ++starts;
        }
    EXPECT_GT(starts, 0);
    return packets;
}

TEST(PaperReplay, WetPaintStrokesReplayAsTheLiveStroke)
{
    // The current engine records its strokes as wet paint (kind 4); the same
    // strokes marked as standard ones land the same pixels.
    LivePaper live;
    ASSERT_TRUE(live.Draw(kPath));
    ExpectReplayEqualsLive(live, AsStandardStrokes(live.Packets()), "kind 2");
}

// A valid packet with the field at payload offset `at` overwritten: what
// the encoders refuse to write.
Packet Patched(Packet p, size_t at, uint32_t value, size_t bytes = 4)
{
    for (size_t i = 0; i < bytes; ++i)
        p.at(2 + at + i) = uint8_t(value >> (8 * i));
    return p;
}

uint32_t BitsOf(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return bits;
}

template <class P> Packet Encoded(uint8_t category, uint8_t code, std::function<void(P&)> fill)
{
    P p;
    p.category = category, p.code = code;
    fill(p);
    return p.Encode();
}

// Packets no recording of this document could hold; each must fail and
// leave the document as it was.
TEST(PaperReplay, HostilePacketsFailAndChangeNothing)
{
    const uint32_t nan = BitsOf(std::numeric_limits<float>::quiet_NaN());
    auto layerIndex = [](uint8_t code, int16_t layer, int16_t value) {
        return Encoded<LayerIndexPayload>(4, code, [&](auto& p) { p.layer = layer, p.value = value; });
    };
    const Packet canvas = Encoded<CanvasSizePayload>(2, 2, [](auto& p) { p.width = p.height = 40; });
    const Packet second = Encoded<NewCanvasPayload>(
        2, 8, [](auto& p) { p.width = p.height = p.layerWidth = p.layerHeight = 20; });
    const Packet quick = Encoded<NewLayerQuickPayload>(
        4, 0, [](auto& p) { p.layer = 1, p.width = p.height = 10, p.opacity = 255; });
    const Packet spin = Encoded<RotateLayerPayload>(4, 38, [](auto& p) { p.layer = 1, p.degrees = 10; });
    const Packet flat = Encoded<ScaleLayerPayload>(4, 39, [](auto& p) { p.layer = 1, p.second = 10; });
    const Packet skip = Encoded<MergeDownPayload>(4, 10, [](auto& p) { p.layer = 2, p.below = 0; });
    const Packet crop = Encoded<CropPayload>(2, 6, [](auto& p) { p.left = 9, p.right = 20, p.bottom = 5; });
    const Packet far = Encoded<CurrentLayerPayload>(0, 8, [](auto& p) { p.layer = 50, p.mask = 0xFFFF; });
    const Packet method = Encoded<PenColourPayload>(0, 16, [](auto& p) { p.method = 12, p.density = 1; });
    const Packet radius = Encoded<PenRadiusPayload>(0, 17, [](auto& p) { p.radius = 3; });
    const Packet nib = Encoded<NibReferencePayload>(0, 45, [](auto& p) { p.id = 777; });
    const Packet levels = Encoded<LinkLevelsPayload>(
        5, 0, [](auto& p) { p.layer = 1, p.count = 3, p.length = 6, p.levels = {0, 5, 0, 0, 1, 0}; });
    const Packet leader = Encoded<LinkValuePayload>(5, 8, [](auto& p) { p.layer = 1, p.first = 2; });
    const Packet shift = Encoded<LayerPlacePayload>(4, 6, [](auto& p) { p.layer = 1, p.first = 1 << 30; });
    const Packet brush = Encoded<BrushMethodPayload>(0, 56, [](auto& p) { p.method[0] = 9; });
    const Packet effects = Encoded<BrushValuesPayload>(0, 57, [](auto& p) { p.values[1] = 101; });
    const Packet fill = Encoded<AreaFillPayload>(6, 0, [](auto& p) { p.layer = 1, p.value = 0xFF; });
    const Packet rename = Encoded<RenameLayerPayload>(4, 19, [](auto& p) { p.layer = 1, p.name = "ab"; });

    struct Case {
        const char* name;
        Packet packet;
    };
    const std::vector<Case> cases = {
        {"delete layer 99", layerIndex(1, 99, 99)},
        {"delete layer -1", Patched(layerIndex(1, 1, 1), 0, 0xFFFFFFFFu)},
        {"move to 7", layerIndex(4, 1, 7)},
        {"delete naming another layer", layerIndex(1, 1, 2)},
        {"canvas 0 wide", Patched(canvas, 2, 0)},
        {"canvas 20000 high", Patched(canvas, 6, 20000)},
        {"second new canvas", second},
        {"layer 40000 wide", Patched(quick, 2, 40000)},
        {"rotate by NaN", Patched(spin, 4, nan)},
        {"scale to 0", flat},
        {"merge down onto a far layer", skip},
        {"empty crop", Patched(crop, 10, 9)},
        {"current layer 50", far},
        {"stroke method 12", method},
        {"NaN radius", Patched(radius, 0, nan)},
        {"unknown nib", nib},
        {"link levels of another stack", levels},
        {"leader without its run", leader},
        {"shift by 2^30", shift},
        {"render class 9", brush},
        {"brush effect 101", effects},
        {"area fill, not replayed yet", fill},
        {"rename layer 99", Patched(rename, 0, 99, 2)},
        {"rename with a name past the packet", Patched(rename, 2, 40, 2)},
        {"trim layer 99", layerIndex(8, 99, 99)},
        {"trim naming another layer", layerIndex(8, 2, 1)},
        {"truncated command", Packet{4, 1, 1}},
    };
    for (const Case& c : cases) {
        ASSERT_GE(c.packet.size(), 2u) << c.name;
        LivePaper live;
        ReplayPaper replay;
        ASSERT_TRUE(replay.FeedAll(live.Packets()));
        const auto before = StateOf(*replay.paper);
        const float radiusBefore = replay.target->Pen().Radius();
        EXPECT_EQ(replay.Feed(c.packet), HandlerResult::Failed) << c.name;
        EXPECT_EQ(StateOf(*replay.paper), before) << c.name;
        EXPECT_EQ(replay.target->Pen().Radius(), radiusBefore) << c.name;
    }
}

// A recorded name is CP932 bytes: what does not convert reads as '?', and a
// zero byte ends the name.
TEST(PaperReplay, ReplayedNamesConvertWhatTheyCanAndEndAtAZeroByte)
{
    const struct {
        std::string bytes, name;
    } cases[] = {
        {"\x89\xBA\x92\x6E", "下地"},
        {"a\xFF" "b", "a?b"},
        {std::string("ab\0cd", 5), "ab"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LivePaper live;
        ReplayPaper replay;
        ASSERT_TRUE(replay.FeedAll(live.Packets()));
        // Written by hand: the encoder itself refuses a zero byte.
        Packet rename{4, 19, 1, 0, uint8_t((c.bytes.size() + 2) & ~size_t(1)), 0};
        rename.insert(rename.end(), c.bytes.begin(), c.bytes.end());
        rename.resize(6 + rename[4], 0);
        EXPECT_EQ(replay.Feed(rename), HandlerResult::Executed);
        EXPECT_EQ(replay.paper->LayerAt(1)->Name, c.name);
    }
}

TEST(PaperReplay, HostileStrokePointsFailAndChangeNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        PlaybackPoint point;
    };
    const std::vector<Case> cases = {
        {"NaN x", {nan, 4, 1}},
        {"1e30 y", {4, 1e30f, 1}},
        {"far outside", {-2.0e6f, 4, 1}},
    };
    for (const Case& c : cases) {
        LivePaper live;
        ReplayPaper replay;
        ASSERT_TRUE(replay.FeedAll(live.Packets()));
        const auto before = StateOf(*replay.paper);
        PlaybackStroke stroke;
        stroke.layer = 1;
        ASSERT_EQ(replay.target->StartStroke(stroke), HandlerResult::Executed);
        EXPECT_EQ(replay.target->DrawPoint(c.point, PointRoutine::OpenStandard), HandlerResult::Failed)
            << c.name;
        EXPECT_EQ(replay.target->EndStroke(), HandlerResult::Executed) << c.name;
        EXPECT_EQ(StateOf(*replay.paper), before) << c.name;
        // A stroke start naming a layer the document lacks fails as well.
        stroke.layer = 3;
        EXPECT_EQ(replay.target->StartStroke(stroke), HandlerResult::Failed);
    }
}

// {0,44}: nib id of width x height, pixel i (rows from the top) = pixel(i).
EmbeddedNibPayload NibOf(uint32_t id, int32_t width, int32_t height, uint8_t (*pixel)(size_t))
{
    EmbeddedNibPayload nib;
    nib.id = id, nib.width = width, nib.height = height;
    std::vector<uint8_t> pixels(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = pixel(i);
    EXPECT_TRUE(PackPixels(nib.bitmap, pixels));
    return nib;
}

TEST(PaperReplay, EmbeddedNibsAreFoundByTheirIdUntilTheMapsAreCleared)
{
    LivePaper live;
    ReplayPaper replay;
    ASSERT_TRUE(replay.FeedAll(live.Packets()));
    const EmbeddedNibPayload nib = NibOf(31, 6, 5, [](size_t i) { return uint8_t(i * 8); });
    NibReferencePayload use;
    use.id = 31, use.width = 6, use.height = 5;
    NibReferencePayload wrongSize = use;
    wrongSize.width = 7;

    EXPECT_EQ(replay.Feed(use.Encode()), HandlerResult::Failed) << "before it is embedded";
    EXPECT_EQ(replay.Feed(nib.Encode()), HandlerResult::Executed);
    EXPECT_EQ(replay.Feed(wrongSize.Encode()), HandlerResult::Failed);
    EXPECT_EQ(replay.Feed(use.Encode()), HandlerResult::Executed);
    EXPECT_TRUE(replay.target->Renderer().HasBitmapNib());
    EXPECT_EQ(replay.target->TakeChangeHints() & changehint::kNib, changehint::kNib);
    replay.Feed({2, 254});
    EXPECT_EQ(replay.Feed(use.Encode()), HandlerResult::Failed) << "after the maps were cleared";
}

// A reference to the nib in use keeps it, tables and all, and changes only
// its scale; once the maps are cleared the id must come with its bitmap
// again, which then makes a new nib.
TEST(PaperReplay, TheNibInUseNamedAgainIsKept)
{
    LivePaper live;
    ReplayPaper replay;
    ASSERT_TRUE(replay.FeedAll(live.Packets()));
    EmbeddedNibPayload nib = NibOf(9, 40, 30, [](size_t) { return uint8_t(0); });
    nib.scale = 100;
    NibReferencePayload use;
    use.id = 9, use.width = 40, use.height = 30, use.scale = 150;

    ASSERT_EQ(replay.Feed(nib.Encode()), HandlerResult::Executed);
    const int32_t made = replay.target->Renderer().BitmapNib()->Id();
    ASSERT_EQ(replay.Feed(use.Encode()), HandlerResult::Executed);
    EXPECT_EQ(replay.target->Renderer().BitmapNib()->Id(), made);
    EXPECT_EQ(replay.target->Renderer().BitmapNib()->Scale(), 150);
    replay.Feed({2, 254});
    ASSERT_EQ(replay.Feed(nib.Encode()), HandlerResult::Executed);
    EXPECT_NE(replay.target->Renderer().BitmapNib()->Id(), made);
}

// Checking a stream reads the sizes from the frames' headers; the data
// behind a sound header is unpacked, and found spoilt, only when used.
TEST(PaperReplay, NibDataIsUnpackedOnlyWhenUsed)
{
    LivePaper live;
    ReplayPaper replay;
    ASSERT_TRUE(replay.FeedAll(live.Packets()));
    EmbeddedNibPayload nib = NibOf(7, 64, 64, [](size_t i) { return uint8_t(i * 11 + (i >> 5)); });
    nib.bitmap.field[nib.bitmap.packedSize / 2] ^= 0x5A;
    const std::vector<uint8_t> packet = nib.Encode();
    EXPECT_TRUE(DecodePacket(packet));
    EXPECT_EQ(replay.Feed(packet), HandlerResult::Failed);
    EXPECT_FALSE(replay.target->Renderer().HasBitmapNib());
}

TEST(PaperReplay, StateRecordsReachThePenAndTheCurrentLayer)
{
    LivePaper live;
    live.pen.SetMethod(StrokeMethod::AirBrush);
    live.pen.SetOpacity(0.4f);
    live.pen.SetRadius(12.5f);
    live.pen.SetPressureSize(true);
    live.pen.SetEffect(2, 35);
    live.pen.color = 0xFF123456;
    ASSERT_TRUE(live->SelectLayer(0));
    ASSERT_TRUE(live.Draw(kPath));
    ReplayPaper replay;
    ASSERT_TRUE(replay.FeedAll(live.Packets()));
    const TStroke& pen = replay.target->Pen();
    EXPECT_EQ(pen.Method(), StrokeMethod::AirBrush);
    EXPECT_FLOAT_EQ(pen.Opacity(), 0.4f);
    EXPECT_FLOAT_EQ(pen.Radius(), 12.5f);
    EXPECT_TRUE(pen.PressureSize());
    EXPECT_FLOAT_EQ(pen.Effect(2), 35.0f);
    EXPECT_EQ(pen.color & 0xFFFFFFu, 0x123456u);
    EXPECT_EQ(replay->CurrentLayer(), 0);
    EXPECT_EQ(WithoutIds(StateOf(*replay.paper)), WithoutIds(StateOf(*live.paper)));
}

// Through the event file and the player itself, a step per tick or a point
// per tick: both land the live picture.
TEST(PaperReplay, SavedRecordingPlaysBackToTheLivePictureStepByStepAndPointByPoint)
{
    LivePaper live;
    ASSERT_TRUE(live->SelectLayer(0));
    ASSERT_TRUE(live.Draw(LongPath(21)));
    ASSERT_TRUE(live->SetLayerMode(2, kModeScreen));
    ASSERT_TRUE(live.Draw(LongPath(37)));
    const support::TempFolder folder;
    const std::string file = folder / "live.vd4";
    ASSERT_EQ(SaveEventFile(file, *live.paper, {}), EventFileCode::Ok);
    for (bool pointByPoint : {false, true}) {
        RecordingDocumentHost host;
        host.PlayingBack = true;
        TPaper replay(host);
        PaperPlaybackTarget target(replay);
        CEventPlayer player(*replay.EventManager(), target);
        player.SetPointByPoint(pointByPoint);
        ASSERT_EQ(player.Open(file, PlaybackMode::Interactive), CEventPlayer::kOpenOk);
        int ticks = 0;
        PlayerTick tick = PlayerTick::Continue;
        while (tick == PlayerTick::Continue && ++ticks < 10000)
            tick = player.Tick();
        player.Close();
        EXPECT_EQ(tick, PlayerTick::Ended) << pointByPoint;
        // A point per tick takes a tick for every point of both strokes.
        EXPECT_EQ(ticks > 58, pointByPoint);
        EXPECT_EQ(WithoutIds(StateOf(replay)), WithoutIds(StateOf(*live.paper))) << pointByPoint;
    }
}

TEST(PaperReplay, TheEndGivesTheDocumentItsEngineBack)
{
    LivePaper live;
    std::vector<Packet> packets = AsStandardStrokes(live.Packets());
    packets.insert(packets.begin() + 1, Version(2, 5));
    ReplayPaper replay;
    ASSERT_TRUE(replay.FeedAll(packets));
    EXPECT_EQ(replay->EngineLevel(), 1) << "standard strokes of version 2.05 open by the earlier routine";
    replay.target->EndPlayback();
    EXPECT_EQ(replay->EngineLevel(), 2);
}

TEST(PaperReplay, EarlyRecordingsCarryTheLayersProtectAlphaInTheirFlags)
{
    struct Case {
        uint16_t minor;
        bool expected;
    };
    for (const Case& c : {Case{5, true}, Case{6, false}}) {
        LivePaper live;
        ReplayPaper replay;
        ASSERT_TRUE(replay.FeedAll(live.Packets()));
        ASSERT_EQ(replay.Feed(Version(2, c.minor)), HandlerResult::Executed);
        DocumentFlagsPayload flags;
        flags.flags = 4;
        ASSERT_EQ(replay.Feed(flags.Encode()), HandlerResult::Executed);
        EXPECT_EQ(replay->LayerAt(replay->CurrentLayer())->ProtectAlpha, c.expected) << "2.0" << c.minor;
    }
}

} // namespace
} // namespace morvane
