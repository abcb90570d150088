// The state records: each is written only when the state it describes
// changed since the stream last said it, and the packets of each command
// category bring the state they depend on up to date first.
#include <algorithm>

#include "events/CEventMngr.h"
#include "platform/DiagnosticSink.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {

uint32_t ValidBitOf(PacketId id)
{
    const int8_t bit = InfoOf(id).validBit;
    return bit >= 0 ? uint32_t(1) << bit : 0;
}

bool IsStrokeKind(PacketId id) { return InfoOf(id).strokeKind >= 0 || InfoOf(id).points; }

} // namespace

EventSyncState CEventMngr::CurrentState() const
{
    EventSyncState s;
    if (source_)
        source_(s);
    return s;
}

StateWrite CEventMngr::WriteState(PacketId id, std::span<const uint8_t> payload)
{
    if (!IsRecording())
        return StateWrite::Unchanged;
    const uint32_t bit = ValidBitOf(id);
    std::vector<uint8_t>& cached = stateCache_[size_t(id)];
    if (bit != 0 && (validBits_ & bit) && std::ranges::equal(cached, payload))
        return StateWrite::Unchanged;
    if (!WritePacket(id, payload)) {
        validBits_ &= ~bit;
        return StateWrite::Failed;
    }
    if (bit != 0) {
        cached.assign(payload.begin(), payload.end());
        validBits_ |= bit;
    }
    return StateWrite::Written;
}

template <class Payload>
bool CEventMngr::SyncRecord(PacketId id, const Payload& payload)
{
    Payload p = payload;
    p.SetKind(id);
    const std::vector<uint8_t> bytes = p.Encode();
    if (bytes.empty()) {
        Diagnose(std::string("CEventMngr: state record ") + InfoOf(id).name + " is not valid");
        return false;
    }
    return WriteState(id, std::span(bytes).subspan(2)) != StateWrite::Failed;
}

// Start writes the version record from the other source file.
template bool CEventMngr::SyncRecord(PacketId, const AppVersionPayload&);

template <class Embedded, class Reference>
bool CEventMngr::SyncEmbedded(CMapDD& map, Embedded embedded, PackedPixels Embedded::*packed,
                              std::span<const uint8_t> pixels, PacketId referenceId, const Reference& reference)
{
    uint32_t offset = 0;
    if (map.Lookup(embedded.id, offset))
        return SyncRecord(referenceId, reference);
    if (!pixels.empty() && !PackPixels(embedded.*packed, pixels))
        return false;
    const std::vector<uint8_t> bytes = embedded.Encode();
    const std::vector<uint8_t> refBytes = reference.Encode();
    if (bytes.empty() || refBytes.empty()) {
        Diagnose(std::string("CEventMngr: embedded resource ") + InfoOf(referenceId).name + " is not valid");
        return false;
    }
    const int64_t at = store_.Position();
    if (!WritePacket(PacketIdOf(bytes[0], bytes[1]), std::span(bytes).subspan(2)))
        return false;
    if (!map.SetAt(embedded.id, uint32_t(at)))
        return false;
    // The embedding says what the reference would: the next use with the
    // same values writes nothing.
    stateCache_[size_t(referenceId)].assign(refBytes.begin() + 2, refBytes.end());
    validBits_ |= ValidBitOf(referenceId);
    return true;
}

bool CEventMngr::SyncTone(const SyncedTone& tone)
{
    return SyncEmbedded(toneMap_, tone.embedded, &EmbeddedTonePayload::pattern, tone.pixels,
                        PacketId::ToneReference, tone.reference);
}

bool CEventMngr::SyncNib(const SyncedNib& nib)
{
    uint32_t offset = 0;
    std::vector<uint8_t> rows;
    if (nib.bitmap && !nibMap_.Lookup(nib.embedded.id, offset)) {
        const TChannel& b = *nib.bitmap;
        rows.resize(size_t(b.Width) * size_t(b.Height));
        for (int32_t y = 0; y < b.Height; ++y)
            std::copy_n(b.PixelPtr(0, y), b.Width, rows.begin() + ptrdiff_t(y) * b.Width);
    }
    const std::span<const uint8_t> pixels = nib.bitmap ? std::span<const uint8_t>(rows) : nib.pixels;
    return SyncEmbedded(nibMap_, nib.embedded, &EmbeddedNibPayload::bitmap, pixels, PacketId::NibReference,
                        nib.reference);
}

bool CEventMngr::SyncDocumentFrom(const EventSyncState& s)
{
    return SyncRecord(PacketId::AppVersion, s.version) && SyncRecord(PacketId::CanvasColourState, s.canvasColour) &&
           SyncRecord(PacketId::SubColourState, s.subColour) &&
           SyncRecord(PacketId::GradationGeometry, s.gradationGeometry) &&
           SyncRecord(PacketId::GradationSettings, s.gradationSettings) &&
           SyncRecord(PacketId::CurrentLayer, s.currentLayer) && SyncRecord(PacketId::DocumentFlags, s.documentFlags) &&
           (!s.usesTone || SyncTone(s.tone)) &&
           (!s.usesGradation || SyncRecord(PacketId::GradationColours, s.gradationColours));
}

bool CEventMngr::SyncPenFrom(const EventSyncState& s)
{
    return SyncRecord(PacketId::PenFlags, s.penFlags) && SyncRecord(PacketId::PenColour, s.penColour) &&
           SyncRecord(PacketId::PenRadius, s.penRadius) && SyncRecord(PacketId::PenEffects, s.penEffects);
}

bool CEventMngr::SyncRendererFrom(const EventSyncState& s)
{
    return SyncRecord(PacketId::NibShape, s.nibShape) && SyncRecord(PacketId::PenColours, s.penColours) &&
           SyncRecord(PacketId::NibGeometry, s.nibGeometry) && SyncRecord(PacketId::AirMap, s.airMap) &&
           (!s.bitmapNib || SyncNib(s.nib)) && SyncRecord(PacketId::BrushMethod, s.brushMethod) &&
           SyncRecord(PacketId::BrushValues, s.brushValues) && SyncRecord(PacketId::PenSwitches, s.penSwitches) &&
           SyncRecord(PacketId::StrokeSettings, s.strokeSettings);
}

bool CEventMngr::SyncDocument() { return SyncDocumentFrom(CurrentState()); }
bool CEventMngr::SyncPen() { return SyncPenFrom(CurrentState()); }
bool CEventMngr::SyncRenderer() { return SyncRendererFrom(CurrentState()); }

bool CEventMngr::SyncAll()
{
    const EventSyncState s = CurrentState();
    return SyncDocumentFrom(s) && SyncPenFrom(s) && SyncRendererFrom(s);
}

bool CEventMngr::SyncBeforePacket(PacketId id)
{
    switch (InfoOf(id).sync) {
    case SyncBefore::Document: return SyncDocument();
    case SyncBefore::All: return SyncAll();
    default: return true;
    }
}

bool CEventMngr::Record(const uint8_t* packet, size_t size)
{
    if (!IsRecording())
        return true;
    if (!packet || size < 2)
        return false;
    const std::span<const uint8_t> p(packet, size);
    if (PayloadLength(p) != int64_t(size - 2)) {
        Diagnose("CEventMngr: refused a malformed packet");
        return false;
    }
    const PacketId id = PacketIdOf(p[0], p[1]);
    const PacketIdInfo& kind = InfoOf(id);
    // Strokes come as begin, points and end; nothing else may land inside one.
    if ((validBits_ & kStrokeOpen) || IsStrokeKind(id))
        return false;
    if (kind.validBit >= 0)
        return WriteState(id, p.subspan(2)) != StateWrite::Failed;
    if (!SyncBeforePacket(id))
        return false;
    if (!(kind.endsStep ? AppendStep(p) : Append(p)))
        return false;
    if (kind.forgets != PacketId::None)
        InvalidateState(kind.forgets);
    return true;
}

void CEventMngr::InvalidateState(PacketId id) { validBits_ &= ~ValidBitOf(id); }

void CEventMngr::ForgetEmbedded()
{
    toneMap_.RemoveAll();
    nibMap_.RemoveAll();
    InvalidateState(PacketId::ToneReference);
    InvalidateState(PacketId::NibReference);
}

bool CEventMngr::Forget(void* self, PacketId embedded, uint32_t identifier)
{
    auto* mngr = static_cast<CEventMngr*>(self);
    // An identifier already forgotten (the start marks clear the maps) is
    // no failure: the next use embeds it again either way.
    (embedded == PacketId::EmbeddedTone ? mngr->toneMap_ : mngr->nibMap_).RemoveKey(identifier);
    return true;
}

} // namespace morvane
