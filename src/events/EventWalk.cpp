#include "events/EventWalk.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "events/CMemSeg.h"

namespace morvane {
namespace {

// The whole size of each header's packet when the header alone gives it (no
// length field), 0 for the others and for headers outside the table; indexed
// by the header read as a little-endian u16. Built from the packet table once.
struct FixedSize {
    uint16_t size;
    uint16_t endsStep;
};
using FixedSizes = std::array<FixedSize, 256 * 256>;

const FixedSizes& TheFixedSizes()
{
    static const FixedSizes sizes = [] {
        FixedSizes s{};
        for (size_t header = 0; header < s.size(); ++header) {
            const auto code = uint8_t(header >> 8);
            const PacketKind* kind = FindPacketKind(uint8_t(header), code);
            if (!kind || kind->lengthWidth != 0)
                continue;
            const uint32_t size = 2 + kind->fixedSize + kind->perCodeSize * code;
            if (size <= UINT16_MAX)
                s[header] = {uint16_t(size), uint16_t(kind->endsStep ? 1 : 0)};
        }
        return s;
    }();
    return sizes;
}

constexpr ptrdiff_t kPrefetchDistance = 4096;
constexpr ptrdiff_t kCacheLine = 64;

class StoreWalk {
public:
    StoreWalk(const CSegmentedStore& store, int64_t begin, int64_t end, PacketVisitor visit, void* user)
        : store_(store), begin_(begin), end_(end), visit_(visit), user_(user)
    {
    }

    PacketWalk Run()
    {
        int64_t at = begin_;
        std::span<const uint8_t> piece;
        while (at < end_) {
            if (piece.empty())
                piece = Piece(at);
            if (!visit_) {
                const size_t fixed = WalkFixed(piece);
                at += int64_t(fixed);
                piece = piece.subspan(fixed);
                if (piece.empty())
                    continue;
            }
            const int64_t size = Step(at, piece);
            if (size < 0) {
                walk_.ok = false;
                walk_.badOffset = uint64_t(at - begin_);
                break;
            }
            at += size;
            // Past the piece: the next packet starts in a later segment.
            piece = size < int64_t(piece.size()) ? piece.subspan(size_t(size)) : std::span<const uint8_t>{};
        }
        return walk_;
    }

private:
    std::span<const uint8_t> Piece(int64_t at) const
    {
        const std::span<const uint8_t> piece = store_.PieceAt(at);
        return piece.first(size_t(std::min<int64_t>(int64_t(piece.size()), end_ - at)));
    }

    // Counts the packets at the start of the piece that lie wholly in it and
    // whose header gives their size: the walk of a stroke-heavy stream does
    // little else. Bytes walked over.
    size_t WalkFixed(std::span<const uint8_t> piece)
    {
        const uint8_t* p = piece.data();
        const uint8_t* const last = p + piece.size();
        uint64_t packets = 0, steps = 0;
        // Each header's address comes from the one before it, too late for
        // a load to wait on memory: the lines ahead are asked for in order.
        const uint8_t* ahead = p;
        while (last - p >= 2) {
            for (const uint8_t* far = std::min(p + kPrefetchDistance, last); ahead < far; ahead += kCacheLine)
                __builtin_prefetch(ahead);
            const FixedSize& entry = sizes_[size_t(p[0]) | size_t(p[1]) << 8];
            const auto size = ptrdiff_t(entry.size);
            if (size == 0 || size > last - p)
                break;
            ++packets;
            steps += entry.endsStep;
            p += size;
        }
        walk_.packets += packets;
        walk_.steps += steps;
        return size_t(p - piece.data());
    }

    // The first n bytes at `at`: in place when the piece holds them,
    // otherwise read across the boundary into the buffer.
    std::span<const uint8_t> Bytes(int64_t at, std::span<const uint8_t> piece, int64_t n)
    {
        if (n <= int64_t(piece.size()))
            return piece.first(size_t(n));
        buffer_.resize(size_t(n));
        if (store_.Read(at, buffer_.data(), n) != n)
            return {};
        return buffer_;
    }

    // The packet at `at` (piece starts there): its size with the header, or
    // -1 when its length cannot be found or the visitor refuses it.
    int64_t Step(int64_t at, std::span<const uint8_t> piece)
    {
        const int64_t remaining = end_ - at;
        if (remaining < 2)
            return -1;
        const std::span<const uint8_t> header = Bytes(at, piece, 2);
        if (header.empty())
            return -1;
        const uint8_t category = header[0], code = header[1];
        const PacketKind* kind = FindPacketKind(category, code);
        if (!kind)
            return -1;
        const int64_t fixed = int64_t(kind->fixedSize) + int64_t(kind->perCodeSize) * code;
        const std::span<const uint8_t> head = Bytes(at, piece, std::min(2 + fixed, remaining));
        if (head.empty())
            return -1;
        const int64_t length = PayloadLength(category, code, head.subspan(2), uint64_t(remaining - 2));
        if (length < 0)
            return -1;
        if (visit_) {
            const std::span<const uint8_t> packet = Bytes(at, piece, 2 + length);
            if (packet.empty() || !visit_(user_, uint64_t(at - begin_), category, code, packet.subspan(2)))
                return -1;
        }
        ++walk_.packets;
        if (kind->endsStep)
            ++walk_.steps;
        return 2 + length;
    }

    const CSegmentedStore& store_;
    const int64_t begin_, end_;
    const PacketVisitor visit_;
    void* const user_;
    const FixedSizes& sizes_ = TheFixedSizes();
    PacketWalk walk_;
    std::vector<uint8_t> buffer_;
};

} // namespace

PacketWalk WalkStorePackets(const CSegmentedStore& store, int64_t begin, int64_t end, PacketVisitor visit,
                            void* user)
{
    if (begin < 0)
        return {false, 0, 0, 0};
    end = std::min(end, store.Position());
    return StoreWalk(store, begin, end, visit, user).Run();
}

} // namespace morvane
