#include "events/EventPacketTable.h"

#include <array>

namespace morvane {
namespace {

// The header's row of the described table, found in one step.
struct Table {
    std::span<const PacketKind> rows = DescribedPacketRows();
    std::array<int16_t, 256 * 256> index{};

    Table()
    {
        index.fill(-1);
        for (size_t i = 0; i < rows.size(); ++i)
            for (int c = rows[i].firstCode; c <= rows[i].lastCode; ++c)
                index[size_t(rows[i].category) * 256 + size_t(c)] = int16_t(i);
    }
};

const Table& TheTable()
{
    static const Table table;
    return table;
}

// The length field's value, sign-extended where the field is signed.
int64_t LengthField(const PacketKind& k, std::span<const uint8_t> payload)
{
    uint64_t v = 0;
    for (int i = 0; i < k.lengthWidth; ++i)
        v |= uint64_t(payload[k.lengthOffset + size_t(i)]) << (8 * i);
    if (k.lengthSigned && (v >> (8 * k.lengthWidth - 1)) != 0)
        return -1;
    return int64_t(v);
}

bool LengthRuleHolds(const PacketKind& k, int64_t value)
{
    if (value < 0)
        return false;
    if (k.lengthStep == 0)
        return true;
    return value >= int64_t(k.lengthMin) && value <= int64_t(k.lengthMax) && value % int64_t(k.lengthStep) == 0;
}

} // namespace

std::span<const PacketKind> PacketKinds() { return DescribedPacketRows(); }

const PacketKind* FindPacketKind(uint8_t category, uint8_t code)
{
    const Table& t = TheTable();
    const int16_t i = t.index[size_t(category) * 256 + code];
    return i < 0 ? nullptr : &t.rows[size_t(i)];
}

PacketId PacketIdOf(uint8_t category, uint8_t code)
{
    const PacketKind* kind = FindPacketKind(category, code);
    return kind ? kind->id : PacketId::None;
}

int64_t PayloadLength(uint8_t category, uint8_t code, std::span<const uint8_t> payload, uint64_t remaining)
{
    const PacketKind* k = FindPacketKind(category, code);
    if (k == nullptr)
        return -1;
    const uint64_t fixed = uint64_t(k->fixedSize) + uint64_t(k->perCodeSize) * code;
    if (fixed > remaining)
        return -1;
    uint64_t length = fixed;
    if (k->lengthWidth != 0) {
        if (payload.size() < size_t(k->lengthOffset) + k->lengthWidth)
            return -1;
        const int64_t value = LengthField(*k, payload);
        if (!LengthRuleHolds(*k, value))
            return -1;
        length += uint64_t(value) * k->lengthMultiplier;
    }
    return length <= remaining ? int64_t(length) : -1;
}

int64_t PayloadLength(std::span<const uint8_t> stream)
{
    if (stream.size() < 2)
        return -1;
    return PayloadLength(stream[0], stream[1], stream.subspan(2), stream.size() - 2);
}

bool EndsStep(uint8_t category, uint8_t code)
{
    const PacketKind* k = FindPacketKind(category, code);
    return k != nullptr && k->endsStep;
}

PacketWalk WalkPackets(std::span<const uint8_t> stream, PacketVisitor visit, void* user)
{
    PacketWalk walk;
    uint64_t at = 0;
    while (at < stream.size()) {
        const std::span<const uint8_t> rest = stream.subspan(size_t(at));
        const int64_t n = PayloadLength(rest);
        if (n < 0 || (visit != nullptr && !visit(user, at, rest[0], rest[1], rest.subspan(2, size_t(n))))) {
            walk.ok = false;
            walk.badOffset = at;
            return walk;
        }
        ++walk.packets;
        if (EndsStep(rest[0], rest[1]))
            ++walk.steps;
        at += 2 + uint64_t(n);
    }
    return walk;
}

} // namespace morvane
