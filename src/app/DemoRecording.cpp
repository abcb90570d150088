#include "app/DemoRecording.h"

#include <vector>

#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "paint/CPenRender.h"
#include "paint/PaintKind.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/Clock.h"
#include "storage/PortableMath.h"

namespace morvane {
namespace {

constexpr int32_t kWidth = 480, kHeight = 360;

using Sample = DemoSample;

std::vector<Sample> Wave(float x0, float y0, float length, float amplitude, int points)
{
    return DemoWave(x0, y0, length, amplitude, points);
}

} // namespace

bool PaintDemoPath(TPaper& document, TFlowImage& flow, TStroke& pen, FixedClock& clock,
                   const std::vector<DemoSample>& path)
{
    if (path.empty() || !document.StrokeBegin(flow, pen, true, path[0].pressure, path[0].y, path[0].x))
        return false;
    for (size_t i = 1; i < path.size(); ++i) {
        clock.Advance(8);
        if (!document.StrokePoint(flow, pen, true, path[i].pressure, path[i].y, path[i].x))
            return false;
    }
    EdgeRect changed;
    return document.StrokeEnd(flow, pen, true, changed);
}

// A wave across the picture whose pressure swells and fades. The sines are
// the project's own, so every machine records the same points.
std::vector<DemoSample> DemoWave(float x0, float y0, float length, float amplitude, int points)
{
    std::vector<DemoSample> path;
    for (int i = 0; i < points; ++i) {
        const float t = float(i) / float(points - 1);
        const float wave = float(SinCosDegrees(double(t) * 360.0).sine);
        const float swell = float(SinCosDegrees(double(t) * 180.0).sine);
        path.push_back({x0 + length * t, y0 + amplitude * wave, 0.2f + 0.8f * swell});
    }
    return path;
}

class DemoPainter {
public:
    explicit DemoPainter(TPaper& document) : document_(document)
    {
        NibRecord nib;
        nib.radius = 800;
        nib.minRadius = 300;
        render_.SetNib(nib);
    }

    ~DemoPainter() { document_.SetPenRenderer(nullptr); }

    // Everything the recording takes from the clock comes from a fixed one.
    bool Paint()
    {
        Clock* previous = SetClock(&clock_);
        const bool painted = PaintAll();
        SetClock(previous);
        return painted;
    }

private:
    bool PaintAll()
    {
        return document_.NewPicture("demo", false, false, 72, kWidth, kHeight, kWidth, kHeight) &&
               document_.SetPenRenderer(&render_) && Background() && BlendedLayers() && Methods() && CompatibleStrokes() &&
               LayerCommands();
    }
    bool Stroke(const std::vector<Sample>& path) { return PaintDemoPath(document_, flow_, pen_, clock_, path); }
    void Pen(RenderMethod method, uint32_t colour, float radius, bool pencil = false)
    {
        BrushMethodRecord record;
        record.renderClass = uint8_t(method);
        record.pencil = record.exact = pencil;
        record.effect1 = record.effect2 = record.effect3 = 50;
        pen_.color = colour;
        pen_.subColor = 0xFFF4E8D0u;
        // Both setters answer whether anything changed, not whether it worked.
        render_.SetMethod(record);
        pen_.SetRadius(radius);
    }

    bool Background()
    {
        Pen(RenderMethod::Draw, 0xFF3060B0u, 24.0f);
        for (int i = 0; i < 4; ++i)
            if (!Stroke(Wave(20, 60.0f + 80.0f * float(i), 440, 30, 48)))
                return false;
        return true;
    }
    // One filled layer per blend mode, each crossed by a stroke of its own.
    bool BlendedLayers()
    {
        const int modes[] = {kModeMultiply, kModeScreen, kModeOverlay, kModeDifference, kModeColour};
        const uint32_t fills[] = {0x80E08040u, 0x6040A0F0u, 0xA0C02060u, 0x7020C080u, 0x90F0D020u};
        for (int i = 0; i < 5; ++i) {
            const int32_t index = document_.LayerCount();
            const float x = 20.0f + 90.0f * float(i);
            if (!document_.AddLayerNamed(index, kWidth, kHeight, true, 160 + 15 * i, modes[i],
                                         "demo " + std::to_string(i), fills[i]))
                return false;
            Pen(RenderMethod::Draw, fills[i] | 0xFF000000u, 14.0f, i % 2 == 1);
            if (!Stroke(Wave(x, 20, 60, 20, 24)) || !Stroke({{x, 40, 1}, {x + 40, 320, 0.6f}, {x + 70, 200, 1}}))
                return false;
        }
        return true;
    }
    // Every render method of the current engine on the top layer, and a
    // shape.
    bool Methods()
    {
        const RenderMethod methods[] = {RenderMethod::WaterColor, RenderMethod::Blur,     RenderMethod::Erase,
                                        RenderMethod::Spread,     RenderMethod::FingerTip, RenderMethod::BurnDodge};
        float y = 40;
        for (RenderMethod method : methods) {
            Pen(method, 0xFFC04010u, 12.0f);
            if (!Stroke(Wave(30, y, 400, 15, 40)))
                return false;
            y += 50;
        }
        // A shape stroke runs through its vertices.
        Pen(RenderMethod::Draw, 0xFF101010u, 3.0f, true);
        return document_.SetShapeStroke(true) &&
               Stroke({{60, 60, 1}, {420, 80, 1}, {380, 300, 1}, {90, 280, 1}, {60, 60, 1}});
    }
    // The compatible engine's methods, as documents made for it paint; the
    // document then goes back to the current engine.
    bool CompatibleStrokes()
    {
        if (!document_.SetStrokeEngine(1))
            return false;
        const StrokeMethod methods[] = {StrokeMethod::Pen, StrokeMethod::AirBrush, StrokeMethod::WaterColor,
                                        StrokeMethod::Darken};
        float y = 300;
        for (StrokeMethod method : methods) {
            Pen(RenderMethod::Draw, 0xFF208040u, 6.0f);
            pen_.SetMethod(method);
            const bool drawn = Stroke(Wave(40, y, 380, 10, 30));
            pen_.SetMethod(StrokeMethod::Pen);
            if (!drawn)
                return false;
            y += 12;
        }
        return document_.SetStrokeEngine(2);
    }
    bool LayerCommands()
    {
        TPaper& d = document_;
        return d.FlipLayerH(1) && d.SetLayerOpacity(2, 200) && d.SetLayerMode(3, kModeSoftLight) &&
               d.DuplicateLayer(4) && d.ShiftLayer(5, 12, -8) && d.SetLayerVisible(4, false) && d.MergeDown(2);
    }

    TPaper& document_;
    FixedClock clock_;
    TStroke pen_{4};
    CPenRender render_{pen_};
    TFlowImage flow_;
};

DemoRecording::DemoRecording(TPaper& document) : document_(document) {}

DemoRecording::~DemoRecording() = default;

bool DemoRecording::Paint()
{
    painter_ = std::make_unique<DemoPainter>(document_);
    return painter_->Paint();
}

int WriteDemoRecording(const std::string& path)
{
    RecordingDocumentHost host;
    TPaper document(host);
    DemoRecording demo(document);
    if (!demo.Paint())
        return -1;
    FixedClock clock;
    Clock* previous = SetClock(&clock);
    const int code = CodeNumber(SaveEventFile(path, document, EventSaveRequest{}));
    SetClock(previous);
    return code;
}

} // namespace morvane
