// Strokes through the document: golden layer checksums per render class on
// the current engine, the pencil's opacity ceiling, shape strokes through
// their vertices, replays of the recorded points against the live stroke,
// do / undo / redo, and points and states the document must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "PaperFixture.h"
#include "document/TPaper.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/MemoryBudget.h"
#include "storage/TChannel.h"

namespace morvane {
namespace {

using testing_layers::KeepingRecorder;
using testing_layers::Notes;
using testing_layers::PaintedPaper;
using testing_layers::StateOf;
using testing_layers::StoreChecksum;
using testing_layers::WithoutIds;

struct Sample {
    float x, y, p;
};

// Crosses itself, turns between x- and y-major and ends with the release.
const std::vector<Sample> kPath = {{6, 8, 0.3f},   {14, 12, 0.6f}, {24, 10, 1.0f}, {33, 22, 0.8f},
                                   {40, 30, 0.5f}, {30, 33, 0.9f}, {12, 4, 0.7f},  {12, 4, 0.0f}};

// A tool: its stroke state and the renderer it stamps through.
struct Tool {
    TStroke stroke;
    CPenRender render{stroke};
    std::unique_ptr<CPenShapeObj> bitmap;

    explicit Tool(RenderClass renderClass, float radius = 4.5f, bool pencil = false, uint16_t effect1 = 0)
    {
        BrushMethodRecord method;
        method.renderClass = uint8_t(renderClass);
        method.pencil = pencil;
        method.exact = pencil;
        method.effect1 = effect1;
        render.SetMethod(method);
        NibRecord nib;
        nib.radius = int32_t(radius * 100);
        nib.minRadius = 300;
        render.SetNib(nib);
        if (pencil) {
            AirMapRecord hard;
            hard.flat = 1000;
            render.SetAirMap(hard);
        }
        stroke.color = 0xFF2050C0;
        stroke.subColor = 0xFFF0E0D0;
    }
    // Ring-shaped 12 x 10 bitmap at 80 %.
    void UseBitmapNib()
    {
        auto channel = std::make_unique<TChannel>(12, 10);
        for (int32_t y = 0; y < 10; ++y)
            for (int32_t x = 0; x < 12; ++x) {
                const int32_t d = (2 * x - 11) * (2 * x - 11) + (2 * y - 9) * (2 * y - 9);
                *channel->PixelPtr(x, y) = uint8_t(d < 20 ? 0 : d < 60 ? 255 : d < 100 ? 60 : 255);
            }
        bitmap = std::make_unique<CPenShapeObj>();
        ASSERT_TRUE(bitmap->SetBitmap(std::move(channel)));
        bitmap->SetScale(80);
        render.SetNibPreset(bitmap.get(), false, false, false);
    }
};

// A painted document whose offset top layer (origin 7, 5) takes the strokes.
struct StrokePaper {
    PaintedPaper paper;
    TFlowImage flow;
    Tool tool;

    explicit StrokePaper(RenderClass renderClass = RenderClass::Draw, float radius = 4.5f,
                         bool pencil = false, uint16_t effect1 = 0)
        : tool(renderClass, radius, pencil, effect1)
    {
        paper->SelectLayer(2);
        paper->SetPenRenderer(&tool.render);
    }
    TPaper& operator*() { return *paper; }
    TPaper* operator->() { return paper.paper.get(); }
    void Brush(bool pressureSize, bool pressureDensity, int32_t spacing = 100)
    {
        BrushRecord brush;
        brush.pressureSize = pressureSize;
        brush.pressureDensity = pressureDensity;
        brush.spacing = spacing;
        paper->StrokeManager().SetBrush(brush);
    }
    bool Draw(const std::vector<Sample>& path, bool record = true)
    {
        TPaper& p = *paper;
        if (!p.StrokeBegin(flow, tool.stroke, record, path[0].p, path[0].y, path[0].x))
            return false;
        bool ok = true;
        for (size_t i = 1; i < path.size(); ++i)
            ok = p.StrokePoint(flow, tool.stroke, record, path[i].p, path[i].y, path[i].x) && ok;
        EdgeRect out;
        return p.StrokeEnd(flow, tool.stroke, record, out) && ok;
    }
    uint64_t LayerChecksum() { return StoreChecksum(*paper->LayerAt(2)->Store); }
};

// The points of the recorded strokes, in order.
std::vector<Sample> RecordedPoints(const KeepingRecorder& recorder)
{
    std::vector<Sample> points;
    for (const auto& packet : recorder.packets)
        if (packet.size() == 14 && packet[0] == 17) {
            Sample s;
            std::memcpy(&s.x, &packet[2], 4);
            std::memcpy(&s.y, &packet[6], 4);
            std::memcpy(&s.p, &packet[10], 4);
            points.push_back(s);
        }
    return points;
}

struct GoldenCase {
    const char* what;
    RenderClass renderClass;
    bool pencil;
    uint16_t effect1;
    uint64_t checksum;
};

TEST(TPaperStroke, GoldenLayerChecksumsPerRenderClass)
{
    const GoldenCase cases[] = {
        {"draw", RenderClass::Draw, false, 0, 0x407c0c63767c1344},
        {"pencil", RenderClass::Draw, true, 0, 0xe6164914dabebd8d},
        {"watercolour", RenderClass::Watercolour, false, 40, 0xc2948097056988bf},
        {"blur", RenderClass::Blur, false, 80, 0xee6d3ac40bd6fca3},
        {"erase", RenderClass::Erase, false, 0, 0x49e50d567593bf2f},
        {"spread", RenderClass::Spread, false, 50, 0xa2bf7a23cd77b594},
        {"fingertip", RenderClass::Fingertip, false, 50, 0x6e7804ab6b30d91f},
        {"burn", RenderClass::BurnDodge, false, 60, 0x5f11e80cc4ad9a44},
    };
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.what);
        StrokePaper paper(c.renderClass, 4.5f, c.pencil, c.effect1);
        paper.Brush(true, true);
        const uint64_t before = paper.LayerChecksum();
        ASSERT_TRUE(paper.Draw(kPath));
        EXPECT_NE(paper.LayerChecksum(), before);
        EXPECT_EQ(paper.LayerChecksum(), c.checksum) << std::hex << paper.LayerChecksum();
    }
}

TEST(TPaperStroke, PencilAtHalfOpacityNeverBuildsUpPastIt)
{
    RecordingDocumentHost host;
    TPaper paper(host);
    ASSERT_TRUE(paper.NewPicture("p", true, false, 72, 48, 40, 48, 40));
    Tool tool(RenderClass::Draw, 3.0f, true);
    tool.stroke.SetOpacity(0.5f);
    paper.SetPenRenderer(&tool.render);
    TFlowImage flow;
    ASSERT_TRUE(paper.StrokeBegin(flow, tool.stroke, true, 1, 8, 6));
    for (const Sample& s : kPath)
        ASSERT_TRUE(paper.StrokePoint(flow, tool.stroke, true, 1, s.y, s.x));
    EdgeRect out;
    ASSERT_TRUE(paper.StrokeEnd(flow, tool.stroke, true, out));
    const CBlockVMTC& store = *paper.LayerAt(0)->Store;
    int32_t atHalf = 0;
    uint32_t highest = 0;
    for (int32_t y = 0; y < store.Height; ++y)
        for (int32_t x = 0; x < store.Width; ++x) {
            const uint32_t a = store.GetPixel(x, y) >> 24;
            highest = std::max(highest, a);
            atHalf += a == 127;
        }
    EXPECT_EQ(highest, 127u);
    EXPECT_GT(atHalf, 100);
    // The coverage is cleared for the next stroke.
    for (int32_t y = 0; y < flow.Coverage().Height; ++y)
        for (int32_t x = 0; x < flow.Coverage().Width; ++x)
            ASSERT_EQ(*flow.Coverage().PixelPtr(x, y), 0);
}

// The window shows the stroke as it is painted: after every point the
// composite holds the wet paint, and the end changes nothing more on screen.
TEST(TPaperStroke, CompositeShowsTheStrokeWhileItRuns)
{
    struct Case {
        const char* what;
        RenderClass renderClass;
        bool pencil, dither, oldest, transparentPaper;
    };
    for (const Case& c : {Case{"draw", RenderClass::Draw, false, false, false, false},
                          Case{"pencil", RenderClass::Draw, true, false, false, false},
                          Case{"erase", RenderClass::Erase, false, false, false, false},
                          Case{"dithered layer", RenderClass::Draw, false, true, false, false},
                          Case{"oldest engine", RenderClass::Draw, false, false, true, false},
                          Case{"transparent paper", RenderClass::Draw, false, false, false, true}}) {
        SCOPED_TRACE(c.what);
        StrokePaper paper(c.renderClass, 6.0f, c.pencil);
        if (c.dither) {
            ASSERT_TRUE(paper->SetLayerDither(2, true, 160));
        }
        if (c.oldest) {
            ASSERT_TRUE(paper->SetStrokeEngine(0));
        }
        if (c.transparentPaper) {
            ASSERT_TRUE(paper->SetPaperMode(false, false));
        }
        paper->RenderAll(true);
        const std::vector<uint32_t> before = testing_layers::AllOf(*paper);
        TPaper& p = *paper;
        ASSERT_TRUE(p.StrokeBegin(paper.flow, paper.tool.stroke, true, kPath[0].p, kPath[0].y, kPath[0].x));
        for (size_t i = 1; i < kPath.size(); ++i)
            ASSERT_TRUE(p.StrokePoint(paper.flow, paper.tool.stroke, true, kPath[i].p, kPath[i].y, kPath[i].x));
        const std::vector<uint32_t> during = testing_layers::AllOf(p);
        EdgeRect out;
        ASSERT_TRUE(p.StrokeEnd(paper.flow, paper.tool.stroke, true, out));
        EXPECT_NE(during, before);
        EXPECT_EQ(during, testing_layers::AllOf(p));
    }
}

// Unseen (the render mode), a stroke is composed once at its end, to the
// same picture.
TEST(TPaperStroke, AnUnseenDocumentComposesTheStrokeAtItsEnd)
{
    SilentDocumentHost silent;
    RecordingDocumentHost shown;
    std::vector<uint32_t> pictures[2];
    DocumentHost* hosts[2] = {&silent, &shown};
    for (int i = 0; i < 2; ++i) {
        TPaper paper(*hosts[i]);
        ASSERT_TRUE(paper.NewPicture("p", false, false, 72, 48, 40, 48, 40));
        Tool tool(RenderClass::Draw, 5.0f);
        paper.SetPenRenderer(&tool.render);
        TFlowImage flow;
        const std::vector<uint32_t> before = testing_layers::AllOf(paper);
        ASSERT_TRUE(paper.StrokeBegin(flow, tool.stroke, true, kPath[0].p, kPath[0].y, kPath[0].x));
        for (size_t k = 1; k < kPath.size(); ++k)
            ASSERT_TRUE(paper.StrokePoint(flow, tool.stroke, true, kPath[k].p, kPath[k].y, kPath[k].x));
        EXPECT_EQ(testing_layers::AllOf(paper) == before, i == 0);
        EdgeRect out;
        ASSERT_TRUE(paper.StrokeEnd(flow, tool.stroke, true, out));
        pictures[i] = testing_layers::AllOf(paper);
    }
    EXPECT_EQ(pictures[0], pictures[1]);
}

TEST(TPaperStroke, ShapeStrokeRunsThroughItsVerticesAndGivesTheSettingsBack)
{
    StrokePaper paper(RenderClass::Draw, 1.5f);
    paper.Brush(true, true);
    paper.tool.stroke.SetPressureSize(true);
    paper.tool.stroke.changed = false;
    const BrushRecord brush = paper->StrokeManager().Brush();
    ASSERT_TRUE(paper->SetShapeStroke(true));
    // A polyline: the vertices as moves at the opacity, then the release.
    // Smoothed, the path would cut every corner by several pixels.
    const std::vector<Sample> polyline = {{4, 4, 1}, {30, 4, 1}, {30, 28, 1}, {8, 20, 1}, {8, 20, 1}};
    const CLayerData& layer = *paper->LayerAt(2);
    auto vertexPixels = [&] {
        std::vector<uint32_t> out;
        for (const Sample& v : polyline)
            out.push_back(layer.Store->GetPixel(int32_t(v.x) + layer.OriginX, int32_t(v.y) + layer.OriginY));
        return out;
    };
    const std::vector<uint32_t> before = vertexPixels();
    ASSERT_TRUE(paper.Draw(polyline));
    EXPECT_EQ(paper.LayerChecksum(), 0x1767e745bc1f086bu) << std::hex << paper.LayerChecksum();
    const std::vector<uint32_t> after = vertexPixels();
    for (size_t i = 0; i < polyline.size(); ++i)
        EXPECT_NE(after[i], before[i]) << polyline[i].x << ", " << polyline[i].y;
    EXPECT_EQ(paper.paper.recorder->packets.front()[0], 49);
    // Everything the shape switched off is back, and the mode held for one stroke.
    EXPECT_FALSE(paper->ShapeStroke());
    EXPECT_EQ(paper->StrokeManager().SmootherMode(), CInterpolate::kMidpoint);
    EXPECT_EQ(paper->StrokeManager().Brush(), brush);
    EXPECT_TRUE(paper.tool.stroke.PressureSize());
    EXPECT_FALSE(paper.tool.stroke.rawPoints || paper.tool.stroke.shapeMode || paper.tool.stroke.changed);
}

TEST(TPaperStroke, ReplayOfTheRecordedPointsEqualsTheLiveStroke)
{
    struct Case {
        const char* what;
        bool shape, bitmap;
        uint8_t engine;
        StrokeMethod method; // on the compatible engines
    };
    const Case cases[] = {
        {"free", false, false, 2, StrokeMethod::Pen},
        {"shape", true, false, 2, StrokeMethod::Pen},
        {"bitmap nib", false, true, 2, StrokeMethod::Pen},
        {"engine 1 airbrush", false, false, 1, StrokeMethod::AirBrush},
        {"engine 1 pen", false, false, 1, StrokeMethod::Pen},
        {"engine 0 pen", false, false, 0, StrokeMethod::Pen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StrokePaper live, replay;
        for (StrokePaper* p : {&live, &replay}) {
            p->Brush(true, true);
            if (c.bitmap)
                p->tool.UseBitmapNib();
            ASSERT_TRUE((*p)->SetStrokeEngine(c.engine));
            p->tool.stroke.SetMethod(c.method);
            p->tool.stroke.SetRadius(4);
            p->tool.stroke.SetPressureSize(true);
        }
        ASSERT_TRUE(live->SetShapeStroke(c.shape));
        const uint64_t untouched = live.LayerChecksum();
        ASSERT_TRUE(live.Draw(kPath));
        EXPECT_NE(live.LayerChecksum(), untouched);
        const auto& packets = live.paper.recorder->packets;
        // The start names the stroke kind of the engine and the line mode.
        const uint8_t categories[3][2] = {{16, 20}, {21, 22}, {48, 49}};
        ASSERT_EQ(packets.front()[0], categories[c.engine][c.shape]);
        EXPECT_EQ(packets.back(), (std::vector<uint8_t>{18, 0}));
        const std::vector<Sample> recorded = RecordedPoints(*live.paper.recorder);
        ASSERT_EQ(recorded.size(), kPath.size());

        ASSERT_TRUE(replay->SetShapeStroke(packets.front()[0] == categories[c.engine][1]));
        ASSERT_TRUE(replay.Draw(recorded, false));
        EXPECT_TRUE(replay.paper.recorder->packets.empty());
        EXPECT_EQ(WithoutIds(StateOf(*replay)), WithoutIds(StateOf(*live)));
    }
}

TEST(TPaperStroke, UndoRedoAndAStrokeAfterTheUndo)
{
    StrokePaper paper;
    paper.Brush(true, false);
    const auto before = StateOf(*paper);
    ASSERT_TRUE(paper.Draw(kPath));
    const auto after = StateOf(*paper);
    ASSERT_NE(after, before);
    EXPECT_EQ(paper->UndoManager()->UndoCount(), 1);
    EXPECT_EQ(testing_layers::ExpectUndoRedoUndo(*paper, before, after), 2);

    // The wet paint still holds the undone stroke; the next stroke must not
    // bring it back where it crosses.
    const std::vector<Sample> across = {{20, 2, 1}, {20, 36, 1}, {20, 36, 0}};
    ASSERT_TRUE(paper.Draw(across));
    StrokePaper fresh;
    fresh.Brush(true, false);
    ASSERT_TRUE(fresh.Draw(across));
    EXPECT_EQ(paper.LayerChecksum(), fresh.LayerChecksum());

    // While a stroke runs, undo and redo wait: their packets would land
    // inside its step.
    ASSERT_TRUE(paper->StrokeBegin(paper.flow, paper.tool.stroke, true, 1.0f, 10, 10));
    const auto packets = paper.paper.recorder->packets.size();
    int32_t layer = -1;
    ExtentRect rect{};
    EXPECT_FALSE(paper->Undo(layer, rect));
    EXPECT_FALSE(paper->Redo(layer, rect));
    EXPECT_EQ(paper.paper.recorder->packets.size(), packets);
    EdgeRect done{};
    ASSERT_TRUE(paper->StrokeEnd(paper.flow, paper.tool.stroke, true, done));
    EXPECT_TRUE(paper->Undo(layer, rect));
}

// Strokes, on the plain bottom layer and the offset top one, their undo and
// redo and a layer command refresh the thumbnails only where the change
// meets them; what they hold is a whole shrink all the same.
TEST(TPaperStroke, ThumbnailsPatchedWhereStrokesMeetThemEqualAWholeShrink)
{
    StrokePaper paper;
    paper.Brush(true, false);
    testing_layers::SizePictureThumbnail(*paper, 13, 11);
    for (int32_t i = 0; i < paper->LayerCount(); ++i)
        ASSERT_TRUE(paper->LayerAt(i)->RefreshThumbnail());
    int32_t layer = -1;
    ExtentRect rect{};
    const std::vector<Sample> across = {{20, 2, 1}, {20, 36, 1}, {44, 39, 0.5f}};
    const std::vector<std::function<bool()>> steps = {
        [&] { return paper.Draw(kPath); },
        [&] { return paper->SelectLayer(0) && paper.Draw(across); },
        [&] { return paper->Undo(layer, rect); },
        [&] { return paper->Undo(layer, rect); },
        [&] { return paper->Redo(layer, rect); },
        [&] { return paper->SetLayerVisible(1, true); },
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(steps[i]());
        testing_layers::ExpectWholeRefreshes(*paper);
    }
}

TEST(TPaperStroke, HostilePointsAndStatesAreRefusedWithoutARecord)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float far = float((1 << 20) + 49);
    struct Case {
        const char* what;
        bool begin; // a stroke runs first
        float x, y;
    };
    const Case cases[] = {
        {"begin at NaN", false, nan, 5},
        {"begin at +inf", false, 5, inf},
        {"begin at -inf", false, -inf, 5},
        {"begin far right", false, far, 5},
        {"begin far above", false, 5, -float((1 << 20) + 1)},
        {"move to NaN", true, 5, nan},
        {"move far below", true, 5, far},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StrokePaper paper;
        if (c.begin) {
            ASSERT_TRUE(paper->StrokeBegin(paper.flow, paper.tool.stroke, true, 1, 5, 5));
        }
        const size_t packets = paper.paper.recorder->packets.size();
        const uint64_t layer = paper.LayerChecksum();
        if (c.begin) {
            EXPECT_FALSE(paper->StrokePoint(paper.flow, paper.tool.stroke, true, 1, c.y, c.x));
        } else {
            EXPECT_FALSE(paper->StrokeBegin(paper.flow, paper.tool.stroke, true, 1, c.y, c.x));
        }
        EXPECT_EQ(paper.paper.recorder->packets.size(), packets);
        EXPECT_EQ(paper.LayerChecksum(), layer);
        EXPECT_EQ(paper->IsStroking(), c.begin);
    }

    StrokePaper paper;
    EdgeRect out;
    EXPECT_FALSE(paper->StrokePoint(paper.flow, paper.tool.stroke, true, 1, 5, 5));
    EXPECT_FALSE(paper->StrokeEnd(paper.flow, paper.tool.stroke, true, out));
    EXPECT_TRUE(paper.paper.recorder->packets.empty());
    // Pressure comes in clamped: NaN and below 0 as 0, above 1 as 1.
    ASSERT_TRUE(paper->StrokeBegin(paper.flow, paper.tool.stroke, true, nan, 5, 5));
    EXPECT_FALSE(paper->StrokeBegin(paper.flow, paper.tool.stroke, true, 1, 6, 6));
    EXPECT_FALSE(paper->SetStrokeEngine(1));
    EXPECT_TRUE(paper->StrokePoint(paper.flow, paper.tool.stroke, true, -2, 9, 9));
    EXPECT_TRUE(paper->StrokePoint(paper.flow, paper.tool.stroke, true, 7, 12, 12));
    const std::vector<Sample> points = RecordedPoints(*paper.paper.recorder);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].p, 0.0f);
    EXPECT_EQ(points[1].p, 0.0f);
    EXPECT_EQ(points[2].p, 1.0f);
    EXPECT_TRUE(paper.paper.host.IsStroking());
    EXPECT_EQ(paper.paper.host.MoveCount(), 2);
    EXPECT_TRUE(paper->StrokeEnd(paper.flow, paper.tool.stroke, true, out));
    EXPECT_FALSE(paper.paper.host.IsStroking());
}

TEST(TPaperStroke, AStrokeWhoseLayerMovedAwayPaintsNoOtherLayer)
{
    StrokePaper paper;
    ASSERT_TRUE(paper->StrokeBegin(paper.flow, paper.tool.stroke, true, 1, 8, 6));
    ASSERT_TRUE(paper->StrokePoint(paper.flow, paper.tool.stroke, true, 1, 20, 30));
    // The stroke's layer goes to the bottom; another one takes its index.
    ASSERT_TRUE(paper->MoveLayer(2, 0, false));
    const auto moved = StateOf(*paper);
    ASSERT_TRUE(paper->StrokePoint(paper.flow, paper.tool.stroke, true, 1, 30, 10));
    EdgeRect out;
    EXPECT_TRUE(paper->StrokeEnd(paper.flow, paper.tool.stroke, true, out));
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_EQ(StateOf(*paper), moved);
    EXPECT_FALSE(paper->IsStroking());
}

TEST(TPaperStroke, WetPaintThatCannotBeHadRefusesTheStroke)
{
    StrokePaper paper;
    Notes notes;
    const auto before = StateOf(*paper);
    MemoryBudget::SetLimit(MemoryBudget::InUse());
    const bool begun = paper->StrokeBegin(paper.flow, paper.tool.stroke, true, 1, 5, 5);
    MemoryBudget::SetLimit(MemoryBudget::kUnlimited);
    EXPECT_FALSE(begun);
    EXPECT_TRUE(notes.Said("メモリ不足のため実行できませんでした！"));
    EXPECT_FALSE(paper->IsStroking());
    EXPECT_TRUE(paper.paper.recorder->packets.empty());
    EXPECT_EQ(paper->UndoManager()->UndoCount(), 0);
    EXPECT_EQ(StateOf(*paper), before);
}

TEST(TPaperStroke, EngineFollowsThePreferenceAndThePlayersStrokeVersion)
{
    RecordingDocumentHost host;
    SPaperSettings settings;
    for (uint8_t preferred : {1, 2}) {
        settings.strokeEngine = preferred;
        TPaper paper(host, settings);
        EXPECT_EQ(paper.EngineLevel(), preferred);
        EXPECT_TRUE(paper.SetStrokeEngineForVersion(4));
        EXPECT_EQ(paper.EngineLevel(), 2);
        EXPECT_TRUE(paper.SetStrokeEngineForVersion(3));
        EXPECT_EQ(paper.EngineLevel(), 1);
        EXPECT_TRUE(paper.SetStrokeEngine(0));
        EXPECT_TRUE(paper.SetStrokeEngineForVersion(5));
        EXPECT_EQ(paper.EngineLevel(), 0);
        EXPECT_FALSE(paper.SetStrokeEngine(3));
    }
}

} // namespace
} // namespace morvane
