#pragma once
// The registry of the document operations that record an event: the
// player replays a packet through the operation the registry names for its
// kind, and the tests walk the registry so that a new operation is tested by
// adding its row.
#include <cstdint>
#include <span>

#include "document/UndoKind.h"
#include "events/EventPacketIds.h"
#include "events/PlaybackTarget.h"

namespace morvane {

class TPaper;

struct OperationEntry {
    const char* name;
    // The kinds it writes (live) and replays.
    std::span<const PacketId> packets;
    std::span<const UndoKind> undoKinds;
    // The main window's commands that run it.
    std::span<const char* const> commands;
    // One packet of a kind above, replayed with recording off; hints gets
    // the operation's change hints when it ran. Null for an operation the
    // player drives itself (strokes).
    HandlerResult (*replay)(TPaper& paper, PacketId id, std::span<const uint8_t> packet, uint8_t& hints);
};

std::span<const OperationEntry> PaperOperations();
// The operation that replays a kind; nullptr when none does.
const OperationEntry* OperationReplaying(PacketId id);
const OperationEntry* FindOperation(const char* name);

} // namespace morvane
