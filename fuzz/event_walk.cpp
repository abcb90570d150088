// Event streams: the walker against a plain reference walk. Both must agree
// on every packet; a length taken from the fixed part alone (what a reader
// of a segmented store has at hand) must equal the one taken from the whole
// rest; a complete walk covers the input exactly.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "events/EventPacketTable.h"

using namespace morvane;

namespace {

struct Seen {
    std::vector<uint64_t> offsets;
};

bool Keep(void* user, uint64_t offset, uint8_t, uint8_t, std::span<const uint8_t>)
{
    static_cast<Seen*>(user)->offsets.push_back(offset);
    return true;
}

// The length from no more payload bytes than the fixed part.
int64_t LengthFromFixedPart(std::span<const uint8_t> rest)
{
    const PacketKind* k = FindPacketKind(rest[0], rest[1]);
    const size_t fixed = k == nullptr ? 0 : size_t(k->fixedSize) + size_t(k->perCodeSize) * rest[1];
    const std::span<const uint8_t> payload = rest.subspan(2);
    return PayloadLength(rest[0], rest[1], payload.first(std::min(fixed, payload.size())), payload.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> stream(data, size);
    Seen seen;
    const PacketWalk walk = WalkPackets(stream, Keep, &seen);

    uint64_t at = 0, steps = 0;
    std::vector<uint64_t> offsets;
    while (at < size) {
        const std::span<const uint8_t> rest = stream.subspan(size_t(at));
        const int64_t n = PayloadLength(rest);
        if (rest.size() >= 2 && LengthFromFixedPart(rest) != n)
            std::abort();
        if (n < 0)
            break;
        if (uint64_t(n) > rest.size() - 2)
            std::abort();
        offsets.push_back(at);
        steps += EndsStep(rest[0], rest[1]) ? 1 : 0;
        at += 2 + uint64_t(n);
    }
    const bool complete = at == size;
    if (walk.ok != complete || seen.offsets != offsets || walk.packets != offsets.size() || walk.steps != steps)
        std::abort();
    if (!walk.ok && walk.badOffset != at)
        std::abort();
    return 0;
}
