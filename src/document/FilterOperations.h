#pragma once
// Filters as document operations: one run of a filter of the table on a
// layer, and the replay of the five filter packet kinds through the same
// table (decode, validate, sanitize, layer, protection, run).
#include <cstdint>
#include <span>

#include "events/EventPacketIds.h"
#include "events/PlaybackTarget.h"
#include "filters/FilterDescriptor.h"

namespace morvane {

class TPaper;

// A run without a dialog: attach, apply with the record (sanitized first),
// free. protect overrides the layer's own protection when >= 0.
FilterResult RunFilterOnLayer(TPaper& paper, const FilterDescriptor& filter, int32_t layer,
                              std::span<const uint8_t> record, bool recordEvent, int32_t protect = -1);

struct FilterReplayState {
    // major x 100 + minor of the recording program.
    int32_t appVersion = 450;
    // The playback pen's colour (0x00RRGGBB), for the colour-less code 52.
    uint32_t penColour = 0;
};

inline constexpr PacketId kFilterPackets[] = {PacketId::Filter, PacketId::Filter8, PacketId::Filter16,
                                              PacketId::Filter24, PacketId::FilterWithData};

// One filter packet replayed with recording off. A filter that declines by
// its own rules, or a code without a routine, counts as executed
// (Declined) and writes a diagnostic line.
HandlerResult ReplayFilter(TPaper& paper, PacketId id, std::span<const uint8_t> packet,
                           const FilterReplayState& state, uint8_t& hints);

} // namespace morvane
