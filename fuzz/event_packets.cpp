// One event packet: whatever decodes has the length PayloadLength gives,
// encodes again to bytes that decode the same, and nothing whose length
// disagrees with the table decodes at all.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "events/EventPacketTable.h"
#include "events/EventPayloads.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> packet(data, size);
    std::vector<uint8_t> again;
    const bool decoded = DecodePacket(packet, &again);
    const bool measured = size >= 2 && PayloadLength(packet) == int64_t(size - 2);
    if (decoded && !measured)
        std::abort();
    if (!decoded)
        return 0;
    // Reserved bytes and text after a terminator are not kept, so the bytes
    // may differ; what they decode to may not.
    std::vector<uint8_t> third;
    if (again.empty() || PayloadLength(again) != int64_t(again.size() - 2) || !DecodePacket(again, &third) ||
        third != again)
        std::abort();
    return 0;
}
