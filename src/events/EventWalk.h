#pragma once
// Walking the packets of the recorder's segmented store where they lie: a
// packet inside one segment is read in place, one that straddles a segment
// boundary through a small buffer, so a walk never copies the stream.
#include <cstdint>

#include "events/EventPacketTable.h"

namespace morvane {

class CSegmentedStore;

// Walks the packets of bytes [begin, end) of the store (end is cut to its
// position) with the same outcome as WalkPackets over a copy of those bytes:
// offsets, badOffset included, count from begin. The visitor, when given,
// sees each packet's whole payload. A range left empty by the cut walks
// nothing; a negative begin fails at 0.
PacketWalk WalkStorePackets(const CSegmentedStore& store, int64_t begin, int64_t end,
                            PacketVisitor visit = nullptr, void* user = nullptr);

} // namespace morvane
