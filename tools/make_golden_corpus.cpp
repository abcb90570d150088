// Writes the golden corpus of recordings (tests/data/golden): small event
// files painted through the document's operations with a fixed clock, so
// running it again gives the same bytes. Together they hold every operation
// that records an event, strokes of every engine, undo and redo inside the
// stream and a protected copy; the render test replays each and compares
// the picture with its checksum in tests/data/golden/checksums.txt.
//   make_golden_corpus tests/data/golden
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/DemoRecording.h"
#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/EventPacketTable.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "paint/PaintKind.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/Clock.h"
#include "storage/TChannel.h"

namespace morvane {
namespace {

constexpr int32_t kWidth = 64, kHeight = 48;

using Sample = DemoSample;

std::vector<Sample> Wave(float x0, float y0, float length, float amplitude, int points)
{
    return DemoWave(x0, y0, length, amplitude, points);
}

// One recording: a document painting with its own pen and renderer.
class Painter {
public:
    Painter() : document_(std::make_unique<TPaper>(host_))
    {
        NibRecord nib;
        nib.radius = 400;
        nib.minRadius = 300;
        render_.SetNib(nib);
        pen_.subColor = 0xFFF4E8D0u;
    }
    ~Painter() { document_->SetPenRenderer(nullptr); }

    TPaper& Doc() { return *document_; }

    bool Start()
    {
        return document_->NewPicture("golden", false, false, 72, kWidth, kHeight, kWidth, kHeight) &&
               document_->SetPenRenderer(&render_);
    }
    bool Stroke(const std::vector<Sample>& path) { return PaintDemoPath(*document_, flow_, pen_, *clock_, path); }
    void Pen(RenderMethod method, uint32_t colour, float radius, bool pencil = false)
    {
        BrushMethodRecord record;
        record.renderClass = uint8_t(method);
        record.pencil = record.exact = pencil;
        record.effect1 = record.effect2 = record.effect3 = 50;
        pen_.color = colour;
        render_.SetMethod(record);
        pen_.SetRadius(radius);
    }
    TStroke& PenStroke() { return pen_; }
    CPenRender& Renderer() { return render_; }
    bool Undo()
    {
        int32_t layer = -1;
        ExtentRect rect{};
        return document_->Undo(layer, rect);
    }
    bool Redo()
    {
        int32_t layer = -1;
        ExtentRect rect{};
        return document_->Redo(layer, rect);
    }
    // A few strokes on two layers, so every command has pixels to move.
    bool Content()
    {
        Pen(RenderMethod::Draw, 0xFF3060B0u, 5.0f);
        if (!Stroke(Wave(4, 12, 56, 6, 20)) || !Stroke(Wave(6, 34, 50, 8, 24)))
            return false;
        if (!document_->AddLayerNamed(1, kWidth, kHeight, true, 200, kModeMultiply, "second", 0x60C08040u))
            return false;
        Pen(RenderMethod::Draw, 0xFFC04010u, 3.5f, true);
        return Stroke({{8, 40, 1}, {30, 6, 0.6f}, {58, 30, 0.9f}});
    }

    void UseClock(FixedClock& clock) { clock_ = &clock; }

private:
    RecordingDocumentHost host_;
    std::unique_ptr<TPaper> document_;
    TStroke pen_{4};
    CPenRender render_{pen_};
    TFlowImage flow_;
    FixedClock* clock_ = nullptr;
};

// ---- the recordings ------------------------------------------------------------------

bool DocumentCommands(Painter& p)
{
    TPaper& d = p.Doc();
    return p.Content() && d.SetPaperColour(0x00D0E8F0u) && d.FlipPictureH(true) && d.SetLayerVisible(0, false) &&
           d.FlipPictureV(false) && d.InvertPicture(true) && d.RotatePicture180(false) &&
           d.SetLayerVisible(0, true) && d.FlipPictureV(true) && d.RotatePicture180(true) && d.InvertPicture(false) &&
           d.FlipPictureH(false) && d.RotatePicture90(true) && d.RotatePicture90(false) &&
           d.RotatePicture90(true) && d.SetCanvasSize(60, 70, true, 4) && d.SetCanvasSize(64, 64, false, 8) &&
           d.SetImageSize(40, 36, true) && d.Crop(1, {3, 2, 37, 30}) && d.ShowAllLayers(false) &&
           d.ShowAllLayers(true) && d.ShowOnlyLayer(1) && d.InvertLayerVisibility() && d.ShowAllLayers(true) &&
           d.MergeVisibleLayers(0, false);
}

bool LayerCommands(Painter& p)
{
    TPaper& d = p.Doc();
    if (!p.Content() || !d.AddLayer(2, 80, 60, true, 180, kModeScreen) || !d.DuplicateLayer(1) ||
        !d.MoveLayer(3, 0) || !d.DeleteLayer(2))
        return false;
    p.Pen(RenderMethod::Draw, 0xFF20A060u, 4.0f);
    if (!d.SelectLayer(2) || !p.Stroke(Wave(10, 20, 40, 10, 16)))
        return false;
    return d.FlipLayerH(2) && d.FlipLayerV(1) && d.InvertLayer(0) && d.RotateLayer180(2) && d.InvertAlpha(1) &&
           d.LayerCommandMasked(2, 7, -1) && d.SetLayerAlpha(1, 255) && d.SetLayerAlpha(1, 0) &&
           d.InvertAlpha(1) && d.SetLayerOpacity(2, 140) && d.SetLayerMode(2, kModeOverlay) &&
           d.SetLayerDither(2, true, 90) && d.SetLayerProtectAlpha(2, true) && d.SetLayerVisible(0, false) &&
           d.SetLayerVisible(0, true) && d.ShiftLayer(2, 5, -3) && d.ShiftLayer(1, 70, 10) &&
           d.RotateLayer90(2, true) && d.RotateLayer90(1, false) && d.RotateLayerFree(2, 30.0f) &&
           d.ScaleLayer(1, 40, 30) && d.MergeDownWith(2, 1) && d.MergeDown(1);
}

bool LinkCommands(Painter& p)
{
    TPaper& d = p.Doc();
    if (!p.Content() || !d.AddLayerNamed(2, kWidth, kHeight, true, 255, kModeNormal, "third", 0x4040A0F0u) ||
        !d.AddLayerNamed(3, kWidth, kHeight, true, 255, kModeNormal, "fourth", 0x30F04080u) ||
        !d.AddLayerNamed(4, kWidth, kHeight, true, 255, kModeNormal, "fifth", 0x5020F020u))
        return false;
    p.Pen(RenderMethod::Draw, 0xFF802020u, 3.0f);
    if (!d.SelectLayer(3) || !p.Stroke(Wave(4, 24, 50, 12, 18)))
        return false;
    return d.LinkLayer(2, true) && d.LinkLayer(3, true) && d.SetLayerOpacity(1, 180) &&
           d.SetLinkGroupVisible(1, 3, false) && d.SetLinkGroupVisible(1, 3, true) && d.SetLayerVisible(1, false) &&
           d.SetLayerVisible(1, true) && d.ShiftLayer(1, 4, 6) && d.MoveLinkGroup(1, 2) &&
           d.DeleteLinkLeader(2) && d.LinkLayer(3, true) && d.LinkLayer(2, true) && d.LinkLayer(2, false) &&
           d.DeleteLinkGroup(2);
}

// Every render method of the current engine, a bitmap nib with pressure to
// size, a shape, a stroke of several point packets.
bool CurrentStrokes(Painter& p)
{
    TPaper& d = p.Doc();
    if (!p.Content() || !d.SelectLayer(0))
        return false;
    const RenderMethod methods[] = {RenderMethod::Draw,   RenderMethod::WaterColor, RenderMethod::Blur,
                                    RenderMethod::Erase,  RenderMethod::Spread,     RenderMethod::FingerTip,
                                    RenderMethod::BurnDodge};
    float y = 6;
    for (RenderMethod method : methods) {
        p.Pen(method, 0xFFC04010u, 4.0f);
        if (!p.Stroke(Wave(4, y, 56, 4, 18)))
            return false;
        y += 6;
    }
    auto channel = std::make_unique<TChannel>(12, 10);
    for (int32_t yy = 0; yy < 10; ++yy)
        for (int32_t x = 0; x < 12; ++x)
            *channel->PixelPtr(x, yy) = uint8_t((x * 37 + yy * 91) % 256);
    CPenShapeObj bitmap;
    if (!bitmap.SetBitmap(std::move(channel)))
        return false;
    bitmap.SetScale(80);
    p.Pen(RenderMethod::Draw, 0xFF2050C0u, 5.0f);
    p.Renderer().SetNibPreset(&bitmap, false, false, false);
    BrushRecord brush = d.StrokeManager().Brush();
    brush.pressureSize = brush.pressureDensity = true;
    d.StrokeManager().SetBrush(brush);
    if (!d.SelectLayer(1) || !p.Stroke(Wave(2, 24, 60, 14, 40)))
        return false;
    p.Renderer().SetNibPreset(nullptr, false, false, false);
    p.Pen(RenderMethod::Draw, 0xFF101010u, 1.5f, true);
    return d.SetShapeStroke(true) && p.Stroke({{6, 6, 1}, {58, 10, 1}, {50, 42, 1}, {8, 40, 1}, {6, 6, 1}});
}

// The compatible engine's stroke methods and the oldest engine's strokes,
// as documents made for them paint.
bool EarlierStrokes(Painter& p)
{
    TPaper& d = p.Doc();
    if (!p.Content() || !d.SetStrokeEngine(1))
        return false;
    float y = 4;
    for (int m = 0; m < kStrokeMethods; ++m) {
        p.Pen(RenderMethod::Draw, 0xFF208040u, 3.0f);
        p.PenStroke().SetMethod(StrokeMethod(m));
        if (!p.Stroke(Wave(4, y, 56, 3, 14)))
            return false;
        y += 4.5f;
    }
    p.PenStroke().SetMethod(StrokeMethod::Pen);
    if (!d.SetShapeStroke(true) || !p.Stroke({{4, 44, 1}, {60, 40, 0.5f}, {30, 4, 1}}))
        return false;
    if (!d.SetStrokeEngine(0))
        return false;
    p.Pen(RenderMethod::Draw, 0xFF4020C0u, 2.5f);
    if (!p.Stroke(Wave(2, 20, 60, 10, 20)) || !d.SetShapeStroke(true) || !p.Stroke({{10, 10, 1}, {50, 30, 1}}))
        return false;
    return d.SetStrokeEngine(2);
}

// Steps undone and redone while recording: the stream keeps exactly the
// history of the picture.
bool UndoRedo(Painter& p)
{
    TPaper& d = p.Doc();
    if (!p.Content() || !d.FlipLayerH(1) || !p.Undo() || !p.Redo() || !d.SetLayerOpacity(1, 90) || !p.Undo())
        return false;
    p.Pen(RenderMethod::WaterColor, 0xFF2080F0u, 6.0f);
    if (!p.Stroke(Wave(2, 24, 60, 16, 30)) || !p.Stroke(Wave(2, 10, 60, 6, 20)) || !p.Undo() || !p.Undo() ||
        !p.Redo())
        return false;
    if (!d.RotatePicture90(true) || !d.AddLayer(2, 48, 64, true, 255, kModeNormal) || !p.Undo() || !p.Undo() ||
        !p.Redo() || !p.Redo())
        return false;
    // A new step after an undo drops what could have been redone.
    return d.DuplicateLayer(0) && p.Undo() && d.SetLayerMode(1, kModeScreen) && !p.Redo() &&
           d.SetCanvasSize(50, 70, true, 0) && p.Undo() && p.Redo();
}

// ---- writing -------------------------------------------------------------------------

// Paints one recording and saves it (protected when asked): 0, or the code
// of what failed (-1 when painting was refused).
int Write(const std::string& path, const std::function<bool(Painter&)>& paint, bool isProtected = false)
{
    FixedClock clock;
    Clock* previous = SetClock(&clock);
    Painter painter;
    painter.UseClock(clock);
    int code = -1;
    if (painter.Start() && paint(painter)) {
        EventSaveRequest request;
        code = CodeNumber(isProtected ? SaveProtectedEventFile(path, painter.Doc(), request)
                                      : SaveEventFile(path, painter.Doc(), request));
    }
    SetClock(previous);
    return code;
}

// The stream of an event file with every wet-paint stroke start turned into
// the standard start of the same line mode: the recorder writes the current
// engine's strokes as wet paint, the player still replays standard starts
// (of earlier recordings) through the standard routine.
int WriteAsStandardStrokes(const std::string& from, const std::string& to)
{
    FileReader in;
    CSegmentedStore store;
    StoreSink sink(store);
    EventContainerInfo info;
    if (in.Open(from) != OpenCode::Ok || ReadContainer(in, sink, info) != EventFileCode::Ok)
        return -3;
    std::vector<uint8_t> stream(size_t(store.Position()));
    store.Read(0, stream.data(), int64_t(stream.size()));
    for (size_t at = 0; at < stream.size();) {
        const int64_t n = PayloadLength(std::span(stream).subspan(at));
        if (n < 0)
            return -4;
        const PacketId id = PacketIdOf(stream[at], stream[at + 1]);
        if (id == PacketId::WetStrokeStart || id == PacketId::WetLineStart)
            stream[at] = CategoryOf(id == PacketId::WetStrokeStart ? PacketId::StrokeStart : PacketId::LineStart);
        at += 2 + size_t(n);
    }
    CSegmentedStore out;
    if (!out.Append(stream.data(), int64_t(stream.size())))
        return -5;
    MemoryWriter bytes;
    if (const EventFileCode code = WriteContainer(bytes, out, info); code != EventFileCode::Ok)
        return CodeNumber(code);
    FILE* f = std::fopen(to.c_str(), "wb");
    if (!f)
        return 6;
    const size_t written = std::fwrite(bytes.Bytes().data(), 1, bytes.Bytes().size(), f);
    return std::fclose(f) == 0 && written == bytes.Bytes().size() ? 0 : 8;
}

} // namespace
} // namespace morvane

int main(int argc, char** argv)
{
    using namespace morvane;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_golden_corpus FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    struct Entry {
        const char* name;
        std::function<bool(Painter&)> paint;
        bool isProtected;
    };
    const Entry entries[] = {
        {"document_commands.vd4", DocumentCommands, false}, {"layer_commands.vd4", LayerCommands, false},
        {"link_commands.vd4", LinkCommands, false},         {"strokes_current.vd4", CurrentStrokes, false},
        {"strokes_earlier.vd4", EarlierStrokes, false},     {"undo_redo.vd4", UndoRedo, false},
        {"protected.vd4", LayerCommands, true},
    };
    for (const Entry& e : entries)
        if (const int code = Write(folder + "/" + e.name, e.paint, e.isProtected)) {
            std::fprintf(stderr, "make_golden_corpus: cannot write %s (code %d)\n", e.name, code);
            return 1;
        }
    if (const int code = WriteAsStandardStrokes(folder + "/strokes_current.vd4", folder + "/strokes_standard.vd4")) {
        std::fprintf(stderr, "make_golden_corpus: cannot write strokes_standard.vd4 (code %d)\n", code);
        return 1;
    }
    return 0;
}
