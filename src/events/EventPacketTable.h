#pragma once
// Every packet kind of the event stream in one table, generated from the
// description (src/events/EventPackets.txt): the walker, the invalidation
// walk, the payload decoders and the fuzz reference all take a packet's
// length and its step role from here, so they cannot disagree.
#include <cstdint>
#include <span>

#include "events/EventPacketIds.h"

namespace morvane {

// How one packet kind (a category with a run of codes) is laid out.
struct PacketKind {
    PacketId id = PacketId::None;
    uint8_t category = 0;
    uint8_t firstCode = 0, lastCode = 0;
    // Payload bytes the header alone determines; stroke points add
    // perCodeSize for each unit of the code (the point count).
    uint32_t fixedSize = 0;
    uint32_t perCodeSize = 0;
    // The length field inside the fixed part (width 0: none). Its value
    // times the multiplier is the size of the variable part.
    uint8_t lengthOffset = 0;
    uint8_t lengthWidth = 0;
    bool lengthSigned = false; // a negative count makes the packet invalid
    uint32_t lengthMultiplier = 1;
    // Extra rule on the field's value (0: none): value within min..max and a
    // multiple of step.
    uint32_t lengthMin = 0, lengthMax = 0, lengthStep = 0;
    bool endsStep = false;
    // Bit of the recorder's StateValidBits for a StateRecord, -1 for none.
    int8_t validBit = -1;
};

// Every row of the table, in category order.
std::span<const PacketKind> PacketKinds();

// The row for a header, or null when the header is no packet.
const PacketKind* FindPacketKind(uint8_t category, uint8_t code);
// The kind of a header; PacketId::None when the header is no packet.
PacketId PacketIdOf(uint8_t category, uint8_t code);

// The rows as the description gives them (generated).
std::span<const PacketKind> DescribedPacketRows();

// Payload length of the packet whose header is (category, code). `payload`
// holds the bytes after the header as far as they are at hand (the fixed
// part is enough); `remaining` counts every byte of the stream after the
// header. -1: a header outside the table, a fixed part cut short, a length
// field that breaks its rule or a length past the remaining bytes.
int64_t PayloadLength(uint8_t category, uint8_t code, std::span<const uint8_t> payload, uint64_t remaining);
// The same for a packet at the start of `stream` (header included).
int64_t PayloadLength(std::span<const uint8_t> stream);

// True for the packets that close an undoable step.
bool EndsStep(uint8_t category, uint8_t code);

// The outcome of a walk: packets and steps counted up to the end, or up to
// the first packet whose length cannot be found (badOffset, its header).
struct PacketWalk {
    bool ok = true;
    uint64_t packets = 0;
    uint64_t steps = 0;
    uint64_t badOffset = 0;
};

// Called for each packet found, in order, with its offset (header) and its
// payload; returning false stops the walk as a failure at that packet.
using PacketVisitor = bool (*)(void* user, uint64_t offset, uint8_t category, uint8_t code,
                               std::span<const uint8_t> payload);

// Walks a stream held in one piece, packet by packet.
PacketWalk WalkPackets(std::span<const uint8_t> stream, PacketVisitor visit = nullptr, void* user = nullptr);

} // namespace morvane
