#pragma once
// One event packet as the document hands it to the recorder: category, code
// and a little-endian payload written field by field. Fixed-size payloads
// are zero-filled to their size, so fields not written stay 0.
#include <cstdint>
#include <cstring>
#include <vector>

#include "events/EventRecorder.h"

namespace morvane {

class EventPacket {
public:
    EventPacket(uint8_t category, uint8_t code, size_t payloadSize = 0) : bytes_(2 + payloadSize, 0)
    {
        bytes_[0] = category;
        bytes_[1] = code;
    }

    EventPacket& Byte(size_t at, uint8_t v) { return Put(at, v, 1); }
    EventPacket& I16(size_t at, int32_t v) { return Put(at, uint32_t(v), 2); }
    EventPacket& I32(size_t at, int32_t v) { return Put(at, uint32_t(v), 4); }
    EventPacket& U32(size_t at, uint32_t v) { return Put(at, v, 4); }
    EventPacket& F32(size_t at, float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return Put(at, bits, 4);
    }

    // False when the recorder could not keep it: the operation must not go on.
    bool SendTo(EventRecorder& recorder) const { return recorder.Record(bytes_.data(), bytes_.size()); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    // at counts from the start of the payload.
    EventPacket& Put(size_t at, uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            bytes_.at(2 + at + size_t(i)) = uint8_t(v >> (8 * i));
        return *this;
    }

    std::vector<uint8_t> bytes_;
};

} // namespace morvane
