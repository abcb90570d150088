// The event stream.
// event_walk_vs_memchr: walking 64 MiB of recorded packets through the
// recorder's segmented store against a memchr over the same bytes, the
// floor of any pass that looks at a stream.
// packet_walk_vs_memcpy: walking 10^6 packets of a stream in memory and
// decoding each with its payload struct, every check of the description
// included, against a memcpy of the same bytes.

#include <vector>

#include "BenchSupport.h"
#include "events/CMemSeg.h"
#include "events/EventPayloads.h"
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

// ---- packets decoded ------------------------------------------------------------------

constexpr int kPackets = 1000000;

template <class P>
std::vector<uint8_t> Encoded(PacketId id, P p)
{
    p.SetKind(id);
    return p.Encode();
}

// The packets a recording is made of, encoded by their payload structs: the
// points of strokes, the state records before them, and commands.
std::vector<std::vector<uint8_t>> RecordedPackets()
{
    std::vector<std::vector<uint8_t>> packets;
    StrokePointsPayload points;
    points.SetKind(PacketId::MorePoints);
    points.code = 16;
    for (int i = 0; i < 16; ++i)
        points.points.push_back({10.5f + float(i), 200.25f - float(i) * 3, float(i) / 16});
    packets.push_back(points.Encode());
    points.SetKind(PacketId::LastPoints);
    points.code = 5;
    points.points.resize(5);
    packets.push_back(points.Encode());
    PenColourPayload colour;
    colour.colour = 0x3060C0, colour.method = 2, colour.density = 0.75f;
    packets.push_back(Encoded(PacketId::PenColour, colour));
    PenRadiusPayload radius;
    radius.radius = 12, radius.minimumPercent = 30;
    packets.push_back(Encoded(PacketId::PenRadius, radius));
    StrokeStartPayload start;
    start.layer = 2, start.mask = 0xFFFF;
    packets.push_back(Encoded(PacketId::StrokeStart, start));
    LayerLookPayload look;
    look.layer = 1, look.mode = 5, look.opacity = 200, look.flags = 1;
    packets.push_back(Encoded(PacketId::SetLayerOpacity, look));
    LayerIndexPayload index;
    index.layer = 2, index.value = 2;
    packets.push_back(Encoded(PacketId::FlipLayerH, index));
    NewLayerPayload layer;
    layer.layer = 3, layer.width = 1024, layer.height = 768, layer.mode = 3, layer.opacity = 255, layer.name = "layer";
    packets.push_back(Encoded(PacketId::NewLayer, layer));
    return packets;
}

// 10^6 packets: four in five stroke points, the rest records and commands.
std::vector<uint8_t> PacketStream()
{
    const std::vector<std::vector<uint8_t>> kinds = RecordedPackets();
    std::vector<uint8_t> stream;
    Random random{7};
    for (int i = 0; i < kPackets; ++i) {
        const uint32_t r = random.Next();
        const std::vector<uint8_t>& p = r % 5 != 0 ? kinds[0] : kinds[1 + (r >> 8) % (kinds.size() - 1)];
        stream.insert(stream.end(), p.begin(), p.end());
    }
    return stream;
}

// Decodes every packet the walk meets; a packet that fails stops it.
bool DecodeVisited(void*, uint64_t, uint8_t, uint8_t, std::span<const uint8_t> payload)
{
    return DecodePacket(std::span<const uint8_t>(payload.data() - 2, payload.size() + 2));
}

void WalkAndDecode(benchmark::State& state)
{
    const std::vector<uint8_t> stream = PacketStream();
    TimeEach(state, int64_t(stream.size()), [&] {
        const PacketWalk walk = WalkPackets(stream, &DecodeVisited, nullptr);
        benchmark::DoNotOptimize(walk.packets);
        return walk.ok && walk.packets == uint64_t(kPackets);
    });
}

void CopyPackets(benchmark::State& state)
{
    const std::vector<uint8_t> stream = PacketStream();
    std::vector<uint8_t> copy(stream.size());
    TimeEach(state, int64_t(stream.size()), [&] {
        std::memcpy(copy.data(), stream.data(), stream.size());
        benchmark::DoNotOptimize(copy.data());
        return true;
    });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(event_walk_vs_memchr, WalkSegmented, MemchrAbsent);
MORVANE_FIGURE(packet_walk_vs_memcpy, WalkAndDecode, CopyPackets);
