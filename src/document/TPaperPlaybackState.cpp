// Replay of the state records: the inverse of what the document hands the
// recorder (TPaperEvents.cpp). Document state goes to the document, pen
// state to the player's pen, nib and brush state to its renderer, the
// stroke-manager values to the document's manager. Tone, gradation and text
// records are decoded and kept for the operations that will use them.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "document/TPaper.h"
#include "document/TPaperPlayback.h"

#include "document/CMaskMngr.h"
#include "document/ColourRange.h"
#include "events/EventPayloads.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/CStrokeMngr.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {
using namespace changehint;
constexpr uint16_t kKeep = 0xFFFF;
constexpr uint32_t kColourBytes = 0x00FFFFFFu;
constexpr int32_t kMethodCount = 9;
// The renderer keeps its effects within 0-100; a record beyond is corrupt.
constexpr int32_t kMaxBrushEffect = 100;
// Before this version DocumentFlags carried the current layer's protect-alpha.
constexpr int32_t kProtectInFlagsBefore = 206;
constexpr uint16_t kUseToneBit = 2, kProtectBit = 4, kUseGradationBit = 8;

// Every setter refuses values that are not finite; a record that holds
// one is corrupt.
bool Finite(std::initializer_list<float> values)
{
    for (float v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// The renderer's air map from the packed AirMap value: curve, then 12-bit
// flat part and floor.
AirMapRecord AirMapOf(uint32_t value)
{
    AirMapRecord air;
    air.curve = uint8_t(value & 0xFF);
    air.flat = int32_t((value >> 8) & 0xFFF);
    air.add = int32_t((value >> 20) & 0xFFF);
    air.Sanitize();
    return air;
}
} // namespace

HandlerResult PaperPlaybackTarget::ApplyState(std::span<const uint8_t> packet)
{
    switch (PacketIdOf(packet[0], packet[1])) {
    case PacketId::AppVersion: {
        AppVersionPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        appVersion_ = int32_t(p.major) * 100 + p.minor;
        return HandlerResult::Executed;
    }
    case PacketId::CanvasColourState: {
        CanvasColourStatePayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        if ((paper_.PaperColour & kColourBytes) == p.colour)
            return HandlerResult::Executed;
        return Ran(paper_.SetPaperColour((paper_.PaperColour & ~kColourBytes) | p.colour, false),
                   kLayerPixels);
    }
    case PacketId::SubColourState: {
        SubColourStatePayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        pen_->subColor = (pen_->subColor & ~kColourBytes) | p.colour;
        // The paper's flags change only while it is white; a refusal is
        // the rule, not a failure.
        paper_.SetPaperMode((p.flags & 1) == 0, (p.flags & 2) != 0);
        return Ran(true, kBrush);
    }
    case PacketId::CurrentLayer: {
        CurrentLayerPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        // The mask part names a mask of the list; one beyond it is corrupt.
        if (p.mask != kKeep && p.mask != paper_.Masks().Current() && !paper_.Masks().SetCurrent(p.mask))
            return HandlerResult::Failed;
        return p.layer == kKeep ? Ran(true, p.mask != kKeep ? changehint::kCurrentMask : 0)
                                : ApplyCurrentLayer(p.layer);
    }
    case PacketId::DocumentFlags: {
        DocumentFlagsPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        pen_->SetUseTone((p.flags & kUseToneBit) != 0);
        pen_->SetUseGradation((p.flags & kUseGradationBit) != 0);
        if (appVersion_ < kProtectInFlagsBefore)
            if (CLayerData* layer = paper_.LayerAt(paper_.CurrentLayer()))
                layer->ProtectAlpha = (p.flags & kProtectBit) != 0;
        return Ran(true, kBrush);
    }
    case PacketId::ColourRangeData: {
        ColourRangePayload p;
        auto range = std::make_shared<SColourRange>();
        if (!p.Decode(packet) || !DecodeColourRange(p.data, *range))
            return HandlerResult::Failed;
        paper_.PlayerColourRange = std::move(range);
        return HandlerResult::Executed;
    }
    case PacketId::EmbeddedNib:
        return StoreNib(packet);
    case PacketId::NibReference:
        return UseStoredNib(packet);
    case PacketId::PenFlags:
    case PacketId::PenColour:
    case PacketId::PenRadius:
    case PacketId::PenEffects:
    case PacketId::StrokeSettings:
        return ApplyPenState(packet);
    case PacketId::NibShape:
    case PacketId::PenColours:
    case PacketId::NibGeometry:
    case PacketId::AirMap:
    case PacketId::BrushMethod:
    case PacketId::BrushValues:
    case PacketId::PenSwitches:
        return ApplyRendererState(packet);
    default:
        // Tones, gradations, text and the filter images are used by
        // operations still to come; they only have to be well formed.
        return DecodePacket(packet) ? HandlerResult::Executed : HandlerResult::Failed;
    }
}

HandlerResult PaperPlaybackTarget::ApplyCurrentLayer(uint16_t layer)
{
    // The state written before the new canvas has no layer to aim at yet;
    // the canvas starts on its first layer.
    if (!canvasMade_)
        return HandlerResult::Executed;
    if (!IsLayer(layer) || paper_.IsStroking())
        return HandlerResult::Failed;
    if (layer == paper_.CurrentLayer())
        return HandlerResult::Executed;
    if (!paper_.SelectLayer(layer))
        return HandlerResult::Failed;
    pen_->SetProtectAlpha(paper_.LayerAt(layer)->ProtectAlpha);
    return Ran(true, kCurrentLayer);
}

HandlerResult PaperPlaybackTarget::ApplyPenState(std::span<const uint8_t> packet)
{
    TStroke& pen = *pen_;
    switch (PacketIdOf(packet[0], packet[1])) {
    case PacketId::PenFlags: {
        PenFlagsPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        pen.SetSoftEdge(p.flags & 1);
        pen.SetPressureSize(p.flags & 2);
        pen.SetPressureDensity(p.flags & 4);
        break;
    }
    case PacketId::PenColour: {
        PenColourPayload p;
        if (!p.Decode(packet) || p.method >= kMethodCount || !Finite({p.density}))
            return HandlerResult::Failed;
        pen.color = (pen.color & ~kColourBytes) | p.colour;
        pen.SetMethod(StrokeMethod(p.method));
        pen.SetOpacity(p.density);
        break;
    }
    case PacketId::PenRadius: {
        PenRadiusPayload p;
        if (!p.Decode(packet) || !Finite({p.radius, p.minimumPercent}))
            return HandlerResult::Failed;
        pen.SetRadius(p.radius);
        pen.SetMinRadiusPercent(p.minimumPercent);
        break;
    }
    case PacketId::PenEffects: {
        PenEffectsPayload p;
        if (!p.Decode(packet) || !Finite({p.effect1, p.effect2, p.effect3, p.gamma, p.spacing}))
            return HandlerResult::Failed;
        pen.SetEffect(1, p.effect1);
        pen.SetEffect(2, p.effect2);
        pen.SetEffect(3, p.effect3);
        pen.SetGamma(p.gamma);
        pen.SetSpacing(p.spacing);
        pen.SetAirMap(p.airMap);
        break;
    }
    default: {
        StrokeSettingsPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        // Without its four values the record only repeats the pen's
        // density; the manager keeps what it has.
        if (p.values[0] == 0 && p.values[1] == 0 && p.values[2] == 0 && p.values[3] == 0)
            return HandlerResult::Executed;
        BrushRecord brush = paper_.StrokeManager().Brush();
        brush.pressureSize = (p.flags & 1) != 0;
        brush.pressureDensity = (p.flags & 2) != 0;
        brush.gamma = p.values[0];
        brush.spacing = p.values[1];
        brush.denseStepRadius = p.values[2];
        brush.subStepRadius = p.values[3];
        brush.Sanitize();
        paper_.StrokeManager().SetBrush(brush);
        break;
    }
    }
    return Ran(true, kBrush);
}

HandlerResult PaperPlaybackTarget::ApplyRendererState(std::span<const uint8_t> packet)
{
    CPenRender& render = *render_;
    switch (PacketIdOf(packet[0], packet[1])) {
    case PacketId::NibShape: {
        NibShapePayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        NibRecord nib = render.Nib();
        nib.aspect = p.value1;
        nib.angle = p.value2;
        nib.Sanitize(render.HasBitmapNib());
        render.SetNib(nib);
        return Ran(true, kNib);
    }
    case PacketId::NibGeometry: {
        NibGeometryPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        NibRecord nib;
        nib.radius = p.values[0];
        nib.aspect = p.values[1];
        nib.angle = p.values[2];
        nib.minRadius = p.values[3];
        nib.Sanitize(p.usesBitmap != 0);
        render.SetNib(nib);
        if (p.usesBitmap == 0 && render.HasBitmapNib())
            render.SetNibPreset(nullptr, false, false, false);
        return Ran(true, kNib);
    }
    case PacketId::AirMap: {
        AirMapPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        render.SetAirMap(AirMapOf(p.value));
        return Ran(true, kNib);
    }
    case PacketId::BrushMethod: {
        BrushMethodPayload p;
        if (!p.Decode(packet) || p.method[0] > uint8_t(RenderClass::BurnDodge))
            return HandlerResult::Failed;
        BrushMethodRecord method = render.Method();
        method.pencil = p.brush != 0;
        method.renderClass = p.method[0];
        method.dodge = p.method[1] != 0;
        method.exact = p.method[2] != 0;
        render.SetMethod(method);
        return Ran(true, kBrush);
    }
    case PacketId::BrushValues: {
        BrushValuesPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        for (int32_t v : p.values)
            if (v < 0 || v > kMaxBrushEffect)
                return HandlerResult::Failed;
        BrushMethodRecord method = render.Method();
        method.effect1 = uint16_t(p.values[0]);
        method.effect2 = uint16_t(p.values[1]);
        method.effect3 = uint16_t(p.values[2]);
        render.SetMethod(method);
        return Ran(true, kBrush);
    }
    default:
        // PenColours and PenSwitches only restate what other records set.
        return DecodePacket(packet) ? HandlerResult::Executed : HandlerResult::Failed;
    }
}

// ---- nibs ----------------------------------------------------------------------------

HandlerResult PaperPlaybackTarget::StoreNib(std::span<const uint8_t> packet)
{
    EmbeddedNibPayload p;
    if (!p.Decode(packet) ||
        !nibs_.Store(p.id, p.width, p.height, std::span(p.bitmap.field).first(p.bitmap.packedSize)))
        return HandlerResult::Failed;
    // Embedded again after the start marks, the id may name another bitmap.
    bitmapNibSource_ = {};
    // The embedding is also the first use: the recorder writes no
    // reference after it.
    return UseNib(p.id, p.scale, p.width, p.height);
}

HandlerResult PaperPlaybackTarget::UseStoredNib(std::span<const uint8_t> packet)
{
    NibReferencePayload p;
    if (!p.Decode(packet))
        return HandlerResult::Failed;
    return UseNib(p.id, int32_t(p.scale), p.width, p.height);
}

HandlerResult PaperPlaybackTarget::UseNib(uint32_t id, int32_t scale, int32_t width, int32_t height)
{
    // The nib in use named again keeps its tables and takes only the scale:
    // rebuilding a large nib for a reference of a few bytes would let a
    // stream buy a fraction of a second with each.
    const NibSource source{id, width, height};
    if (!(bitmapNibSource_ == source && nibs_.Holds(id, width, height))) {
        const TChannel* stored = nibs_.Find(id, width, height);
        if (!stored)
            return HandlerResult::Failed;
        auto copy = std::make_unique<TChannel>(*stored);
        if (!copy->IsValid())
            return HandlerResult::Failed;
        auto nib = std::make_unique<CPenShapeObj>();
        if (!nib->SetBitmap(std::move(copy)))
            return HandlerResult::Failed;
        if (scale != 0)
            nib->SetScale(scale);
        // The renderer keeps a pointer to its preset: the old one goes only
        // after the new one is in.
        render_->SetNibPreset(nib.get(), false, false, false);
        bitmapNib_ = std::move(nib);
        bitmapNibSource_ = source;
        return Ran(true, kNib);
    }
    if (scale != 0)
        bitmapNib_->SetScale(scale);
    render_->SetNibPreset(bitmapNib_.get(), false, false, false);
    return Ran(true, kNib);
}

} // namespace morvane
