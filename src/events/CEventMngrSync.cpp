// The state records: each is written only when the state it describes
// changed since the stream last said it, and the packets of each command
// category bring the state they depend on up to date first.
#include <algorithm>

#include "events/CEventMngr.h"
#include "platform/DiagnosticSink.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {
constexpr uint8_t kEmbeddedTone = 36, kToneReference = 37;
constexpr uint8_t kNibReference = 45;
constexpr uint8_t kCurrentLayer = 8;

uint32_t ValidBitOf(uint8_t code)
{
    const PacketKind* kind = FindPacketKind(0, code);
    return kind && kind->validBit >= 0 ? uint32_t(1) << kind->validBit : 0;
}

bool IsStrokeCategory(uint8_t category) { return OneOf(category, {16, 17, 18, 20, 21, 22, 23, 24, 48, 49}); }

bool IsFilterCategory(uint8_t category) { return (category >= 32 && category <= 35) || category == 38; }

// Commands after which the current layer and mask are no longer what the
// last {0,8} said.
bool MovesCurrentLayer(uint8_t category, uint8_t code)
{
    switch (category) {
    case 2: return code >= 24 && code <= 26;
    case 4: return OneOf(code, {0, 1, 3, 4, 5, 10, 11, 18});
    case 10: return OneOf(code, {0, 2, 4, 5, 7, 9, 11, 22, 24});
    case 12:
    case 13: return true;
    default: return false;
    }
}
} // namespace

EventSyncState CEventMngr::CurrentState() const
{
    EventSyncState s;
    if (source_)
        source_(s);
    return s;
}

StateWrite CEventMngr::WriteState(uint8_t code, std::span<const uint8_t> payload)
{
    if (!IsRecording())
        return StateWrite::Unchanged;
    const uint32_t bit = ValidBitOf(code);
    std::vector<uint8_t>& cached = stateCache_[code];
    if (bit != 0 && (validBits_ & bit) && std::ranges::equal(cached, payload))
        return StateWrite::Unchanged;
    if (!WritePacket(0, code, payload)) {
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
bool CEventMngr::SyncRecord(uint8_t code, const Payload& payload)
{
    Payload p = payload;
    p.category = 0;
    p.code = code;
    const std::vector<uint8_t> bytes = p.Encode();
    if (bytes.empty()) {
        Diagnose("CEventMngr: state record " + std::to_string(code) + " is not valid");
        return false;
    }
    return WriteState(code, std::span(bytes).subspan(2)) != StateWrite::Failed;
}

// Start writes the version record from the other source file.
template bool CEventMngr::SyncRecord(uint8_t, const AppVersionPayload&);

template <class Embedded, class Reference>
bool CEventMngr::SyncEmbedded(CMapDD& map, Embedded embedded, PackedPixels Embedded::*packed,
                              std::span<const uint8_t> pixels, uint8_t referenceCode, const Reference& reference)
{
    uint32_t offset = 0;
    if (map.Lookup(embedded.id, offset))
        return SyncRecord(referenceCode, reference);
    const uint8_t code = uint8_t(referenceCode - 1);
    embedded.category = 0;
    embedded.code = code;
    if (!pixels.empty() && !(embedded.*packed).Pack(pixels))
        return false;
    const std::vector<uint8_t> bytes = embedded.Encode();
    Reference ref = reference;
    ref.category = 0;
    ref.code = referenceCode;
    const std::vector<uint8_t> refBytes = ref.Encode();
    if (bytes.empty() || refBytes.empty()) {
        Diagnose("CEventMngr: embedded resource " + std::to_string(code) + " is not valid");
        return false;
    }
    const int64_t at = store_.Position();
    if (!WritePacket(0, code, std::span(bytes).subspan(2)))
        return false;
    if (!map.SetAt(embedded.id, uint32_t(at)))
        return false;
    // The embedding says what the reference would: the next use with the
    // same values writes nothing.
    stateCache_[referenceCode].assign(refBytes.begin() + 2, refBytes.end());
    validBits_ |= ValidBitOf(referenceCode);
    return true;
}

bool CEventMngr::SyncTone(const SyncedTone& tone)
{
    return SyncEmbedded(toneMap_, tone.embedded, &EmbeddedTonePayload::pattern, tone.pixels, kToneReference,
                        tone.reference);
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
    return SyncEmbedded(nibMap_, nib.embedded, &EmbeddedNibPayload::bitmap, pixels, kNibReference, nib.reference);
}

bool CEventMngr::SyncDocumentFrom(const EventSyncState& s)
{
    return SyncRecord(0, s.version) && SyncRecord(2, s.canvasColour) && SyncRecord(3, s.subColour) &&
           SyncRecord(4, s.gradationGeometry) && SyncRecord(5, s.gradationSettings) &&
           SyncRecord(kCurrentLayer, s.currentLayer) && SyncRecord(12, s.documentFlags) &&
           (!s.usesTone || SyncTone(s.tone)) && (!s.usesGradation || SyncRecord(40, s.gradationColours));
}

bool CEventMngr::SyncPenFrom(const EventSyncState& s)
{
    return SyncRecord(13, s.penFlags) && SyncRecord(16, s.penColour) && SyncRecord(17, s.penRadius) &&
           SyncRecord(18, s.penEffects);
}

bool CEventMngr::SyncRendererFrom(const EventSyncState& s)
{
    return SyncRecord(48, s.nibShape) && SyncRecord(50, s.penColours) && SyncRecord(52, s.nibGeometry) &&
           SyncRecord(53, s.airMap) && (!s.bitmapNib || SyncNib(s.nib)) && SyncRecord(56, s.brushMethod) &&
           SyncRecord(57, s.brushValues) && SyncRecord(58, s.penSwitches) && SyncRecord(60, s.strokeSettings);
}

bool CEventMngr::SyncDocument() { return SyncDocumentFrom(CurrentState()); }
bool CEventMngr::SyncPen() { return SyncPenFrom(CurrentState()); }
bool CEventMngr::SyncRenderer() { return SyncRendererFrom(CurrentState()); }

bool CEventMngr::SyncAll()
{
    const EventSyncState s = CurrentState();
    return SyncDocumentFrom(s) && SyncPenFrom(s) && SyncRendererFrom(s);
}

bool CEventMngr::SyncForCategory(uint8_t category)
{
    if (OneOf(category, {2, 4, 5, 10, 12}))
        return SyncDocument();
    if (category == 6 || category == 13 || IsFilterCategory(category))
        return SyncAll();
    return true;
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
    const uint8_t category = p[0], code = p[1];
    // Strokes come as begin, points and end; nothing else may land inside one.
    if ((validBits_ & kStrokeOpen) || IsStrokeCategory(category))
        return false;
    if (category == 0 && ValidBitOf(code) != 0)
        return WriteState(code, p.subspan(2)) != StateWrite::Failed;
    if (!SyncForCategory(category))
        return false;
    if (!(EndsStep(category, code) ? AppendStep(p) : Append(p)))
        return false;
    if (MovesCurrentLayer(category, code))
        InvalidateState(kCurrentLayer);
    return true;
}

void CEventMngr::InvalidateState(uint8_t code) { validBits_ &= ~ValidBitOf(code); }

void CEventMngr::ForgetEmbedded()
{
    toneMap_.RemoveAll();
    nibMap_.RemoveAll();
    InvalidateState(kToneReference);
    InvalidateState(kNibReference);
}

bool CEventMngr::Forget(void* self, uint8_t code, uint32_t identifier)
{
    auto* mngr = static_cast<CEventMngr*>(self);
    // An identifier already forgotten (the start marks clear the maps) is
    // no failure: the next use embeds it again either way.
    (code == kEmbeddedTone ? mngr->toneMap_ : mngr->nibMap_).RemoveKey(identifier);
    return true;
}

} // namespace morvane
