#include "document/FilterOperations.h"

#include <algorithm>
#include <string>
#include <vector>

#include "document/CFlt4Core.h"
#include "document/TPaper.h"
#include "events/EventPackets.h"
#include "filters/RecordBytes.h"
#include "platform/DiagnosticSink.h"

namespace morvane {
namespace {

// Codes earlier generations recorded whose routines nobody has described.
constexpr uint8_t kWithoutRoutine[] = {2, 3, 8, 9, 10, 16, 18, 19, 21, 22, 23, 32, 33, 34, 35, 36, 37, 38, 39};
// Codes replayed through another filter's routine.
constexpr uint8_t kColourBalanceEarlier = 17, kColourBalance = 24;
constexpr uint8_t kLumaEarlier = 52, kLuma = 63;
// From this version on a filter packet runs with the layer's own protection.
constexpr int32_t kProtectFromVersion = 207;

struct DecodedFilter {
    uint8_t code = 0;
    int32_t layer = 0;
    std::vector<uint8_t> record;
    std::vector<uint8_t> data;
};

template <class Payload>
bool DecodeWords(std::span<const uint8_t> packet, DecodedFilter& out)
{
    Payload p;
    if (!p.Decode(packet))
        return false;
    out.layer = p.layer;
    out.record.resize(p.words.size() * 4);
    for (size_t i = 0; i < p.words.size(); ++i)
        PutRecordU32(out.record, 4 * i, p.words[i]);
    return true;
}

bool Decode(PacketId id, std::span<const uint8_t> packet, DecodedFilter& out)
{
    out.code = packet[1];
    switch (id) {
    case PacketId::Filter: {
        FilterPayload p;
        if (!p.Decode(packet))
            return false;
        out.layer = p.layer;
        return true;
    }
    case PacketId::Filter8: return DecodeWords<Filter8Payload>(packet, out);
    case PacketId::Filter16: return DecodeWords<Filter16Payload>(packet, out);
    case PacketId::Filter24: return DecodeWords<Filter24Payload>(packet, out);
    case PacketId::FilterWithData: {
        FilterDataPayload p;
        if (!p.Decode(packet))
            return false;
        out.layer = p.layer;
        out.record.assign(p.record.begin(), p.record.end());
        out.data = std::move(p.data);
        return true;
    }
    default: return false;
    }
}

HandlerResult Declined(const std::string& why)
{
    Diagnose("playback: " + why);
    return HandlerResult::Declined;
}

} // namespace

FilterResult RunFilterOnLayer(TPaper& paper, const FilterDescriptor& filter, int32_t layer,
                              std::span<const uint8_t> record, bool recordEvent, int32_t protect)
{
    std::vector<uint8_t> bytes(record.begin(), record.end());
    if (!ValidateRecord(filter, {bytes}))
        return FilterResult::Refused;
    SanitizeRecord(filter, bytes);
    CFlt4Core run(paper, recordEvent);
    switch (run.Attach(filter, layer)) {
    case FilterAttach::Ready: break;
    case FilterAttach::EmptySelection: return FilterResult::Declined;
    default: return FilterResult::Refused;
    }
    // The protection a replay asks for holds for this run only.
    struct KeepProtection {
        CLayerData& layer;
        bool own = layer.ProtectAlpha;
        ~KeepProtection() { layer.ProtectAlpha = own; }
    } keep{*run.Layer()};
    if (protect >= 0)
        keep.layer.ProtectAlpha = protect != 0;
    return run.Apply({bytes});
}

HandlerResult ReplayFilter(TPaper& paper, PacketId id, std::span<const uint8_t> packet,
                           const FilterReplayState& state, uint8_t& hints)
{
    DecodedFilter f;
    if (packet.size() < 2 || !Decode(id, packet, f))
        return HandlerResult::Failed;
    if (std::find(std::begin(kWithoutRoutine), std::end(kWithoutRoutine), f.code) != std::end(kWithoutRoutine))
        return Declined("no routine for filter code " + std::to_string(f.code));
    if (f.code == kColourBalanceEarlier)
        f.code = kColourBalance;
    if (f.code == kLumaEarlier) {
        f.code = kLuma;
        f.record.assign(8, 0);
        PutRecordU32(f.record, 0, state.penColour & 0x00FFFFFFu); // tint off
    }
    const FilterDescriptor* filter = FilterByCode(f.code);
    if (!filter) {
        Diagnose("playback: filter code " + std::to_string(f.code) + " has no replay yet");
        return HandlerResult::Failed;
    }
    if (filter->data == DataRule::Whole) {
        // The record is the data, of exactly its size; its own record is zero.
        if (id != PacketId::FilterWithData || f.data.size() != filter->recordSize)
            return HandlerResult::Failed;
        f.record = std::move(f.data);
        f.data.clear();
    }
    if (!paper.LayerAt(f.layer))
        return HandlerResult::Failed;
    const int32_t protect =
        state.appVersion >= kProtectFromVersion ? int32_t(paper.LayerAt(f.layer)->ProtectAlpha) : 0;
    switch (RunFilterOnLayer(paper, *filter, f.layer, f.record, false, protect)) {
    case FilterResult::Done: hints |= changehint::kLayerPixels; return HandlerResult::Executed;
    case FilterResult::Declined: return Declined(std::string("filter ") + filter->act + " declined");
    default: return HandlerResult::Failed;
    }
}

} // namespace morvane
