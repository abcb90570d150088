// The event stream: walking 64 MiB of recorded packets through the
// recorder's segmented store against a memchr over the same bytes, the
// floor of any pass that looks at a stream.

#include <vector>

#include "BenchSupport.h"
#include "events/CMemSeg.h"
#include "events/EventWalk.h"

namespace morvane::bench {
namespace {

constexpr int64_t kStreamBytes = int64_t(64) << 20;
constexpr uint8_t kAbsentByte = 0xFF;

// splitmix64, one value at a time.
struct Random {
    uint64_t s;
    uint32_t Next()
    {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t(z ^ (z >> 31));
    }
};

void Put(std::vector<uint8_t>& stream, Random& random, uint8_t category, uint8_t code, size_t payload)
{
    stream.push_back(category);
    stream.push_back(code);
    for (size_t i = 0; i < payload; ++i)
        stream.push_back(uint8_t(random.Next() & 0x7F));
}

// A stroke-heavy stream as recording gives it: 80 % full point packets
// {17,16}, 10 % step-ending {18,n}, 10 % state records and commands; a
// DataBlock pads it to exactly 64 MiB. No byte is kAbsentByte.
std::vector<uint8_t> SyntheticStream()
{
    struct Small {
        uint8_t category, code;
        size_t payload;
    };
    constexpr Small smalls[] = {{0, 0, 12}, {0, 2, 4}, {0, 17, 8}, {0, 18, 22},
                                {2, 9, 10}, {4, 1, 4}, {4, 16, 6}};
    constexpr size_t kLargestPacket = 2 + 16 * 12;
    std::vector<uint8_t> stream;
    stream.reserve(size_t(kStreamBytes));
    Random random{42};
    while (stream.size() + kLargestPacket + 6 <= size_t(kStreamBytes)) {
        const uint32_t r = random.Next();
        if (r % 10 < 8) {
            Put(stream, random, 17, 16, 16 * 12);
        } else if (r % 10 == 8) {
            const auto points = uint8_t(1 + (r >> 8) % 16);
            Put(stream, random, 18, points, size_t(points) * 12);
        } else {
            const Small& s = smalls[(r >> 8) % std::size(smalls)];
            Put(stream, random, s.category, s.code, s.payload);
        }
    }
    const auto rest = uint32_t(size_t(kStreamBytes) - stream.size() - 6);
    stream.insert(stream.end(), {1, 0, uint8_t(rest), uint8_t(rest >> 8), 0, 0});
    stream.resize(size_t(kStreamBytes), 0);
    return stream;
}

void WalkSegmented(benchmark::State& state)
{
    CSegmentedStore store;
    const std::vector<uint8_t> bytes = SyntheticStream();
    const uint64_t packets = WalkPackets(bytes).packets;
    if (!store.Append(bytes.data(), int64_t(bytes.size()))) {
        state.SkipWithError("out of memory");
        return;
    }
    TimeEach(state, kStreamBytes, [&] {
        const PacketWalk walk = WalkStorePackets(store, 0, store.Position());
        benchmark::DoNotOptimize(walk.steps);
        return walk.ok && walk.packets == packets;
    });
}

void MemchrAbsent(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = SyntheticStream();
    TimeEach(state, kStreamBytes, [&] {
        const void* found = std::memchr(bytes.data(), kAbsentByte, bytes.size());
        benchmark::DoNotOptimize(found);
        return found == nullptr;
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(event_walk_vs_memchr, WalkSegmented, MemchrAbsent);
