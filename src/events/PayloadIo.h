#pragma once
// Reading and writing payload fields: explicit little-endian, reserved bytes
// zero. A payload struct lists its fields once, in stream order, in a
// Fields(io) template; the same list encodes and decodes, so the two cannot
// drift. Strings hold the stream's CP932 bytes (codecs/CodePage.h converts).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "events/EventPacketTable.h"

namespace morvane {

// A string field: (len + 2) & ~1 bytes, zero-filled.
constexpr size_t StringFieldSize(size_t length) { return (length + 2) & ~size_t(1); }

// A count taken from a field: a negative one can match no payload.
template <class T>
constexpr size_t FieldCount(T count)
{
    if constexpr (std::is_signed_v<T>)
        if (count < 0)
            return std::numeric_limits<size_t>::max();
    return size_t(count);
}

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
    void Bytes(const uint8_t* v, size_t n) { out_.insert(out_.end(), v, v + n); }
    // Exactly n bytes of v (the checks have compared the sizes).
    void Raw(const std::vector<uint8_t>& v, size_t n)
    {
        const size_t have = std::min(n, v.size());
        out_.insert(out_.end(), v.begin(), v.begin() + std::ptrdiff_t(have));
        Zero(n - have);
    }
    void Text(const std::string& s, size_t field)
    {
        const size_t n = std::min(s.size(), field);
        out_.insert(out_.end(), s.begin(), s.begin() + std::ptrdiff_t(n));
        Zero(field - n);
    }
    template <class R>
    void Records(std::vector<R>& records, size_t, size_t)
    {
        for (R& r : records)
            r.Fields(*this);
    }

private:
    void Put(uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            out_.push_back(uint8_t(v >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

// Reads fields in order; a field past the end marks the read failed (and
// reads as zero), so no count taken from the payload can overrun it or ask
// for more memory than the payload holds.
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
    void Bytes(uint8_t* v, size_t n)
    {
        if (const uint8_t* p = Take(n))
            std::memcpy(v, p, n);
    }
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
    template <class R>
    void Records(std::vector<R>& records, size_t count, size_t recordSize)
    {
        records.clear();
        if (!ok_ || count > (in_.size() - pos_) / recordSize) {
            ok_ = false;
            return;
        }
        records.resize(count);
        for (R& r : records)
            r.Fields(*this);
    }

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
// Serves(category, code), Fields(io) and Failure().
template <class P>
struct PacketPayload {
    uint8_t category = 0;
    uint8_t code = 0;

    // The header of a kind (its first code) this struct serves.
    void SetKind(PacketId id)
    {
        category = CategoryOf(id);
        code = CodeOf(id);
    }

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
    // this struct's, the length disagrees or a check fails.
    bool Decode(std::span<const uint8_t> packet) { return DecodeFailure(packet) == nullptr; }

    // What Decode found wrong, as a short text; nullptr when it decoded.
    const char* DecodeFailure(std::span<const uint8_t> packet)
    {
        P& self = static_cast<P&>(*this);
        if (packet.size() < 2 || !P::Serves(packet[0], packet[1]))
            return "header of another kind";
        if (PayloadLength(packet) != int64_t(packet.size() - 2))
            return "length";
        self = P{};
        category = packet[0];
        code = packet[1];
        PayloadReader r(packet.subspan(2));
        self.Fields(r);
        if (!r.Ok() || !r.AtEnd())
            return "fields do not fill the payload";
        return self.Failure();
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

constexpr bool OneOf(uint8_t code, std::initializer_list<uint8_t> codes)
{
    for (uint8_t c : codes)
        if (c == code)
            return true;
    return false;
}

} // namespace morvane
