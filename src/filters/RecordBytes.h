#pragma once
// Little-endian fields of a filter's parameter record, read and written in
// place: records are never copied as structs.
#include <bit>
#include <cstdint>
#include <span>

namespace morvane {

inline uint32_t RecordU32(std::span<const uint8_t> b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline int32_t RecordI32(std::span<const uint8_t> b, size_t at) { return int32_t(RecordU32(b, at)); }
inline float RecordF32(std::span<const uint8_t> b, size_t at) { return std::bit_cast<float>(RecordU32(b, at)); }

inline void PutRecordU32(std::span<uint8_t> b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
inline void PutRecordF32(std::span<uint8_t> b, size_t at, float v) { PutRecordU32(b, at, std::bit_cast<uint32_t>(v)); }

} // namespace morvane
