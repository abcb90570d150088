#pragma once
// Typed event payloads. Each payload struct lists its fields once, in
// stream order, in a Fields(io) template; the same list encodes (explicit
// little-endian, reserved bytes zero) and decodes, so the two cannot drift.
// Strings hold the stream's CP932 bytes (codecs/CodePage.h converts).
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "events/EventPacketTable.h"

namespace morvane {

// A string field: (len + 2) & ~1 bytes, zero-filled.
constexpr size_t StringFieldSize(size_t length) { return (length + 2) & ~size_t(1); }

class PayloadWriter {
public:
    explicit PayloadWriter(std::vector<uint8_t>& out) : out_(out) {}
    void U8(const uint8_t& v) { out_.push_back(v); }
    void U16(const uint16_t& v) { Put(v, 2); }
    void U24(const uint32_t& v) { Put(v, 3); }
    void I16(const int16_t& v) { Put(uint16_t(v), 2); }
    void U32(const uint32_t& v) { Put(v, 4); }
    void I32(const int32_t& v) { Put(uint32_t(v), 4); }
    void F32(const float& v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put(bits, 4);
    }
    void Zero(size_t n) { out_.insert(out_.end(), n, 0); }
    // Exactly n bytes of v (Validate has checked the size).
    void Raw(const std::vector<uint8_t>& v, size_t n)
    {
        out_.insert(out_.end(), v.begin(), v.begin() + std::ptrdiff_t(std::min(n, v.size())));
        Zero(n - std::min(n, v.size()));
    }
    void Text(const std::string& s, size_t field)
    {
        const size_t n = std::min(s.size(), field);
        out_.insert(out_.end(), s.begin(), s.begin() + std::ptrdiff_t(n));
        Zero(field - n);
    }
    void Rest(const std::vector<uint8_t>& v) { out_.insert(out_.end(), v.begin(), v.end()); }

private:
    void Put(uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            out_.push_back(uint8_t(v >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

// Reads fields in order; a field past the end marks the read failed (and
// reads as zero), so no length taken from the payload can overrun it.
class PayloadReader {
public:
    explicit PayloadReader(std::span<const uint8_t> in) : in_(in) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == in_.size(); }

    void U8(uint8_t& v) { v = uint8_t(Get(1)); }
    void U16(uint16_t& v) { v = uint16_t(Get(2)); }
    void U24(uint32_t& v) { v = Get(3); }
    void I16(int16_t& v) { v = int16_t(uint16_t(Get(2))); }
    void U32(uint32_t& v) { v = Get(4); }
    void I32(int32_t& v) { v = int32_t(Get(4)); }
    void F32(float& v)
    {
        const uint32_t bits = Get(4);
        std::memcpy(&v, &bits, 4);
    }
    void Zero(size_t n) { Take(n); }
    void Raw(std::vector<uint8_t>& v, size_t n)
    {
        const uint8_t* p = Take(n);
        v.assign(p, p == nullptr ? p : p + n);
    }
    // Unterminated text ends at its field.
    void Text(std::string& s, size_t field)
    {
        const uint8_t* p = Take(field);
        s.clear();
        for (size_t i = 0; p != nullptr && i < field && p[i] != 0; ++i)
            s.push_back(char(p[i]));
    }
    void Rest(std::vector<uint8_t>& v) { Raw(v, in_.size() - pos_); }

private:
    const uint8_t* Take(size_t n)
    {
        if (!ok_ || n > in_.size() - pos_) {
            ok_ = false;
            return nullptr;
        }
        const uint8_t* p = in_.data() + pos_;
        pos_ += n;
        return p;
    }
    uint32_t Get(int n)
    {
        const uint8_t* p = Take(size_t(n));
        uint32_t v = 0;
        for (int i = 0; p != nullptr && i < n; ++i)
            v |= uint32_t(p[i]) << (8 * i);
        return v;
    }

    std::span<const uint8_t> in_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// The header and the shared Encode/Decode of a payload struct P, which gives
// Serves(category, code), Fields(io) and Validate().
template <class P>
struct PacketPayload {
    uint8_t category = 0;
    uint8_t code = 0;

    // The whole packet; empty when the struct is not valid for its header.
    std::vector<uint8_t> Encode() const
    {
        const P& self = static_cast<const P&>(*this);
        if (!P::Serves(category, code) || !self.Validate())
            return {};
        std::vector<uint8_t> out{category, code};
        PayloadWriter w(out);
        // Fields is one template for both directions; writing leaves it unchanged.
        const_cast<P&>(self).Fields(w);
        if (PayloadLength(out) != int64_t(out.size() - 2))
            return {};
        return out;
    }

    // A whole packet of exactly its length; false when the header is not
    // this struct's, the length disagrees or the content is not valid.
    bool Decode(std::span<const uint8_t> packet)
    {
        P& self = static_cast<P&>(*this);
        if (packet.size() < 2 || !P::Serves(packet[0], packet[1]) ||
            PayloadLength(packet) != int64_t(packet.size() - 2))
            return false;
        self = P{};
        category = packet[0];
        code = packet[1];
        PayloadReader r(packet.subspan(2));
        self.Fields(r);
        return r.Ok() && r.AtEnd() && self.Validate();
    }
};

// A text with its u16 length field in front: the shape of every name.
template <class Io>
void LengthPrefixedText(Io& io, std::string& text)
{
    uint16_t n = uint16_t(StringFieldSize(text.size()));
    io.U16(n);
    io.Text(text, n);
}

// Texts fit their field (at most maxLength bytes) and hold no zero byte.
bool IsStoredText(const std::string& text, size_t maxLength = 65533);

// The first packedSize bytes of field uncompressed to exactly unpackedSize
// bytes (the caller has checked unpackedSize against its cap); false otherwise.
bool UnpackField(std::span<const uint8_t> field, uint64_t packedSize, uint64_t unpackedSize, std::vector<uint8_t>& out);

// A finite stroke or polygon coordinate, at most 2^20 pixels outside any canvas.
bool IsStreamCoordinate(float v);

// Decodes a whole packet with the payload struct of its header; on success
// hands back the struct encoded again. False when no struct takes the
// header or the packet does not decode and validate.
bool DecodePacket(std::span<const uint8_t> packet, std::vector<uint8_t>* reencoded = nullptr);
// How many payload structs take this header (1 for every packet kind).
int PayloadStructsServing(uint8_t category, uint8_t code);

constexpr bool OneOf(uint8_t code, std::initializer_list<uint8_t> codes)
{
    for (uint8_t c : codes)
        if (c == code)
            return true;
    return false;
}

} // namespace morvane
