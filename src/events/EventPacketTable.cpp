#include "events/EventPacketTable.h"

#include <array>
#include <initializer_list>
#include <vector>

namespace morvane {
namespace {

constexpr bool kEnds = true;
constexpr bool kGoesOn = false;

constexpr PacketKind Fixed(uint8_t category, uint8_t first, uint8_t last, uint32_t size, bool ends)
{
    PacketKind k;
    k.category = category;
    k.firstCode = first;
    k.lastCode = last;
    k.fixedSize = size;
    k.endsStep = ends;
    return k;
}

constexpr PacketKind Sized(PacketKind k, uint8_t offset, uint8_t width, uint32_t multiplier = 1, bool isSigned = false)
{
    k.lengthOffset = offset;
    k.lengthWidth = width;
    k.lengthMultiplier = multiplier;
    k.lengthSigned = isSigned;
    return k;
}

// StateRecords never end a step; validBit is byte * 8 + bit of StateValidBits.
constexpr PacketKind State(uint8_t code, uint32_t size, int8_t validBit)
{
    PacketKind k = Fixed(0, code, code, size, kGoesOn);
    k.validBit = validBit;
    return k;
}

struct Table {
    std::vector<PacketKind> rows;
    std::array<int16_t, 256 * 256> index{};

    void Add(const PacketKind& k) { rows.push_back(k); }
    // One row per code of a sparse list (the filter codes).
    void AddEach(uint8_t category, std::initializer_list<uint8_t> codes, uint32_t size)
    {
        for (uint8_t c : codes)
            Add(Fixed(category, c, c, size, kEnds));
    }

    Table()
    {
        AddStateRecords();
        Add(Sized(Fixed(1, 0, 255, 4, kGoesOn), 0, 4));
        AddDocumentAndLayerCommands();
        AddAreaCommands();
        AddStrokesAndFilters();
        index.fill(-1);
        for (size_t i = 0; i < rows.size(); ++i)
            for (int c = rows[i].firstCode; c <= rows[i].lastCode; ++c)
                index[size_t(rows[i].category) * 256 + size_t(c)] = int16_t(i);
    }

    void AddStateRecords()
    {
        Add(State(0, 12, 0));
        Add(State(2, 4, 1));
        Add(State(3, 4, 2));
        Add(State(4, 16, 3));
        Add(State(5, 12, 4));
        Add(State(8, 4, 5));
        Add(State(12, 2, 6));
        Add(State(13, 2, 7));
        Add(State(16, 8, 8));
        Add(State(17, 8, 9));
        Add(State(18, 22, 10));
        Add(State(32, 68, 11));
        Add(Sized(State(33, 2, 12), 0, 2));
        Add(Sized(State(36, 160, -1), 156, 4));
        Add(State(37, 20, 13));
        // 24 .. 384 in steps of 24: the colour group holds 16 slots.
        PacketKind colours = Sized(State(40, 12, 14), 6, 2);
        colours.lengthMin = 24;
        colours.lengthMax = 384;
        colours.lengthStep = 24;
        Add(colours);
        Add(Sized(State(44, 40, -1), 36, 4));
        Add(State(45, 24, 19));
        Add(State(48, 8, 15));
        Add(State(50, 8, 16));
        Add(State(52, 12, 17));
        Add(State(53, 12, 18));
        Add(State(56, 8, 20));
        Add(State(57, 16, 21));
        Add(State(58, 4, 22));
        Add(State(60, 16, 23));
        Add(Sized(State(128, 22, -1), 12, 4));
        Add(Sized(State(129, 22, -1), 12, 4));
        Add(Sized(State(136, 4, -1), 0, 4));
    }

    void AddDocumentAndLayerCommands()
    {
        const std::pair<uint8_t, uint32_t> document[] = {
            {0, 16}, {1, 4}, {2, 10}, {3, 10}, {4, 0}, {5, 0}, {6, 18}, {7, 0}, {8, 28}, {9, 10}, {10, 12},
            {24, 4}, {25, 4}, {26, 4}, {254, 0}, {255, 0}};
        for (auto [code, size] : document)
            Add(Fixed(2, code, code, size, kEnds));
        Add(Fixed(2, 16, 19, 0, kEnds));
        Add(Fixed(2, 32, 35, 0, kEnds));

        const std::pair<uint8_t, uint32_t> layer[] = {
            {0, 14}, {1, 4}, {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 12}, {7, 12}, {8, 4}, {9, 4}, {10, 12},
            {12, 20}, {13, 20}, {16, 6}, {17, 6}, {18, 6}, {20, 6}, {21, 18}, {24, 4}, {25, 4}, {38, 12}, {39, 12}};
        for (auto [code, size] : layer)
            Add(Fixed(4, code, code, size, kEnds));
        Add(Sized(Fixed(4, 11, 11, 42, kEnds), 40, 2));
        Add(Sized(Fixed(4, 19, 19, 4, kEnds), 2, 2));
        Add(Fixed(4, 32, 37, 4, kEnds));
        Add(Fixed(4, 48, 51, 12, kEnds));

        Add(Sized(Fixed(5, 0, 1, 24, kEnds), 12, 4, 1, true));
        for (uint8_t code : {8, 11, 12, 13, 16})
            Add(Fixed(5, code, code, 12, kEnds));
        Add(Fixed(5, 9, 10, 20, kEnds));
    }

    void AddAreaCommands()
    {
        for (uint8_t code : {0, 1, 2, 3, 5, 6})
            Add(Fixed(6, code, code, 22, kEnds));
        Add(Sized(Fixed(6, 4, 4, 4, kEnds), 2, 2, 8, true));

        for (uint8_t code : {0, 1, 2, 3, 4, 5, 6, 11, 20, 21})
            Add(Fixed(10, code, code, 4, kEnds));
        for (uint8_t code : {7, 8, 9, 10, 13, 14, 22, 24, 25, 26})
            Add(Fixed(10, code, code, 12, kEnds));
        Add(Sized(Fixed(10, 12, 12, 4, kEnds), 2, 2));
        for (uint8_t code : {16, 17, 19})
            Add(Fixed(10, code, code, 22, kEnds));
        Add(Sized(Fixed(10, 18, 18, 8, kEnds), 6, 2, 8));

        Add(Sized(Fixed(12, 1, 2, 22, kEnds), 12, 4));

        for (uint8_t code : {0, 1, 4, 16, 17, 32})
            Add(Sized(Fixed(13, code, code, 54, kEnds), 42, 4));
        for (uint8_t code : {2, 3, 5})
            Add(Sized(Fixed(13, code, code, 72, kEnds), 60, 4));
    }

    void AddStrokesAndFilters()
    {
        for (uint8_t category : {16, 20, 21, 22, 23, 24, 48, 49})
            Add(Fixed(category, 0, 0, 4, kGoesOn));
        PacketKind points = Fixed(17, 1, 16, 0, kGoesOn);
        points.perCodeSize = 12;
        Add(points);
        points.category = 18;
        points.endsStep = kEnds;
        Add(points);

        AddEach(32, {0, 1, 8, 9, 12, 13, 20, 52, 53, 56, 64, 65, 81, 82, 83, 84}, 4);
        AddEach(33, {2, 4, 10, 14, 18, 21, 22, 23, 26, 27, 32, 34, 49, 55, 58, 63, 66, 67, 68, 69, 80, 85}, 12);
        AddEach(34, {3, 17, 19, 24, 25, 33, 36, 48, 50, 57, 59, 61, 62, 70, 71, 73}, 20);
        AddEach(35, {16, 35, 37, 38, 60, 72}, 28);
        Add(Sized(Fixed(38, 0, 255, 50, kEnds), 4, 2));
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

std::span<const PacketKind> PacketKinds() { return TheTable().rows; }

const PacketKind* FindPacketKind(uint8_t category, uint8_t code)
{
    const Table& t = TheTable();
    const int16_t i = t.index[size_t(category) * 256 + code];
    return i < 0 ? nullptr : &t.rows[size_t(i)];
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
