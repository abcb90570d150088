// The document's side of the event recording: it makes and starts its own
// manager, and tells it the state its state records describe.
#include <algorithm>

#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "storage/TChannel.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
constexpr uint16_t kKeepMask = 0xFFFF;
constexpr uint32_t kColourBytes = 0x00FFFFFFu;

uint16_t ToU16(int32_t v) { return uint16_t(std::clamp(v, 0, 0xFFFF)); }

void FillPen(const TStroke& pen, EventSyncState& s)
{
    s.penFlags.flags = uint16_t((pen.SoftEdge() ? 1 : 0) | (pen.PressureSize() ? 2 : 0) |
                                (pen.PressureDensity() ? 4 : 0));
    s.penColour.colour = pen.color & kColourBytes;
    s.penColour.method = uint8_t(pen.Method());
    s.penColour.density = pen.Opacity();
    s.penRadius.radius = pen.Radius();
    s.penRadius.minimumPercent = pen.MinRadiusPercent();
    s.penEffects.effect1 = pen.Effect(1);
    s.penEffects.effect2 = pen.Effect(2);
    s.penEffects.effect3 = pen.Effect(3);
    s.penEffects.gamma = pen.Gamma();
    s.penEffects.spacing = pen.EffectiveSpacing();
    s.penEffects.airMap = pen.AirMap();
    s.subColour.colour = pen.subColor & kColourBytes;
    s.penSwitches.flags = uint16_t((pen.UseGradation() ? 1 : 0) | (pen.UseTone() ? 2 : 0));
    s.strokeSettings.densityPermille = roundSat<int16_t>(double(pen.Opacity()) * 1000.0);
    // The renderer takes the pen's colours when the stroke starts, after
    // the state is recorded.
    s.penColours.main = pen.color;
    s.penColours.sub = pen.subColor;
}

// The nib's bitmap goes into the stream the first time a stroke uses it.
void FillBitmapNib(const CPenRender& render, EventSyncState& s)
{
    const CPenShapeObj* nib = render.BitmapNib();
    if (!nib || !nib->Bitmap())
        return;
    const TChannel& bitmap = *nib->Bitmap();
    s.bitmapNib = true;
    s.nib.bitmap = &bitmap;
    s.nib.embedded.id = uint32_t(nib->Id());
    s.nib.embedded.scale = int16_t(std::clamp(nib->Scale(), 0, 0x7FFF));
    s.nib.embedded.width = bitmap.Width;
    s.nib.embedded.height = bitmap.Height;
    s.nib.reference.id = s.nib.embedded.id;
    s.nib.reference.scale = uint16_t(s.nib.embedded.scale);
    s.nib.reference.width = bitmap.Width;
    s.nib.reference.height = bitmap.Height;
}

void FillRenderer(const CPenRender& render, EventSyncState& s)
{
    const NibRecord& nib = render.Nib();
    s.nibShape.shape = render.HasBitmapNib() ? 1 : 0;
    s.nibShape.value1 = ToU16(nib.aspect);
    s.nibShape.value2 = ToU16(nib.angle);
    s.penColours.main = render.MainColour();
    s.penColours.sub = render.SecondColour();
    const int32_t geometry[4] = {nib.radius, nib.aspect, nib.angle, nib.minRadius};
    for (int i = 0; i < 4; ++i)
        s.nibGeometry.values[i] = ToU16(geometry[i]);
    s.nibGeometry.usesBitmap = render.HasBitmapNib() ? 1 : 0;
    const AirMapRecord& air = render.AirMap();
    s.airMap.value = uint32_t(air.curve) | uint32_t(ToU16(air.flat) & 0xFFF) << 8 | uint32_t(ToU16(air.add) & 0xFFF)
                                                                                        << 20;
    const BrushMethodRecord& method = render.Method();
    s.brushMethod.brush = method.pencil ? 1 : 0;
    s.brushMethod.method[0] = method.renderClass;
    s.brushMethod.method[1] = method.dodge ? 1 : 0;
    s.brushMethod.method[2] = method.exact ? 1 : 0;
    s.brushValues.values[0] = method.effect1;
    s.brushValues.values[1] = method.effect2;
    s.brushValues.values[2] = method.effect3;
    FillBitmapNib(render, s);
}

// StrokeSettings: the stroke manager's switches and values, which the current
// engine's strokes read.
void FillStrokeManager(const BrushRecord& brush, EventSyncState& s)
{
    s.strokeSettings.flags = uint16_t((brush.pressureSize ? 1 : 0) | (brush.pressureDensity ? 2 : 0));
    const int32_t values[4] = {brush.gamma, brush.spacing, brush.denseStepRadius, brush.subStepRadius};
    for (int i = 0; i < 4; ++i)
        s.strokeSettings.values[i] = int16_t(std::clamp(values[i], 0, 0x7FFF));
}
} // namespace

void TPaper::MakeEventManager(int32_t steps)
{
    auto mngr = std::make_unique<CEventMngr>();
    mngr->SetSyncSource([this](EventSyncState& s) { FillEventSyncState(s); });
    if (!mngr->Start(steps)) {
        Diagnose("failed to create eventMngr!");
        recorder_ = std::make_unique<NullEventRecorder>();
        return;
    }
    eventMngr_ = mngr.get();
    recorder_ = std::move(mngr);
}

bool TPaper::RecordStartMarks() { return !eventMngr_ || eventMngr_->StartMarks(); }

void TPaper::FillEventSyncState(EventSyncState& s) const
{
    s.canvasColour.colour = PaperColour & kColourBytes;
    s.subColour.flags = uint8_t((OpaquePaper ? 0 : 1) | (CheckerTransparency ? 2 : 0));
    s.currentLayer.layer = ToU16(layers_->Current());
    s.currentLayer.mask = kKeepMask;
    // The tone and gradation switches stay off (and so the DocumentFlags bits)
    // until the document has a tone list and a gradation to embed.
    if (penRenderer_)
        FillRenderer(*penRenderer_, s);
    if (strokePen_)
        FillPen(*strokePen_, s);
    if (strokes_)
        FillStrokeManager(StrokeManager().Brush(), s);
}

} // namespace morvane
