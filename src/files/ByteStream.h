#pragma once
// Sequential byte streams for the file readers and writers. Readers know
// their size, so every length from a file is checked against what remains
// before anything is read or allocated. Writers only append: records whose
// head depends on what follows are built whole before they are written.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads exactly `size` bytes; false (position unspecified) when fewer remain.
    virtual bool Read(void* buffer, size_t size) = 0;
    // Moves forward by `count` bytes; false when fewer remain.
    virtual bool Skip(uint64_t count) = 0;
    // Moves to an absolute position within the stream (readers that hand a
    // failed record back to their caller go back to its start).
    virtual bool Seek(uint64_t position) = 0;
    virtual uint64_t Position() const = 0;
    virtual uint64_t Size() const = 0;
    uint64_t Remaining() const { return Position() < Size() ? Size() - Position() : 0; }
};

class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Read(void* buffer, size_t size) override;
    bool Skip(uint64_t count) override;
    bool Seek(uint64_t position) override;
    uint64_t Position() const override { return position_; }
    uint64_t Size() const override { return bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
    uint64_t position_ = 0;
};

// A file opened for reading.
class FileReader final : public ByteReader {
public:
    FileReader() = default;
    ~FileReader() override;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    OpenCode Open(const std::string& path);
    bool Read(void* buffer, size_t size) override;
    bool Skip(uint64_t count) override;
    bool Seek(uint64_t position) override;
    uint64_t Position() const override { return position_; }
    uint64_t Size() const override { return size_; }

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};

class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    // False once a write fell short; later writes do nothing.
    virtual bool Write(const void* data, size_t size) = 0;
    virtual uint64_t Position() const = 0;
    bool WriteZeros(size_t count);
};

class MemoryWriter final : public ByteWriter {
public:
    bool Write(const void* data, size_t size) override;
    uint64_t Position() const override { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    // Room for n bytes, for callers that know about how much comes.
    void Reserve(size_t n) { bytes_.reserve(n); }

private:
    std::vector<uint8_t> bytes_;
    bool failed_ = false;
};

class AtomicFile;

// Writes through a file that replaces its target only once committed.
class AtomicFileWriter final : public ByteWriter {
public:
    explicit AtomicFileWriter(AtomicFile& file) : file_(file) {}
    bool Write(const void* data, size_t size) override;
    uint64_t Position() const override { return position_; }

private:
    AtomicFile& file_;
    uint64_t position_ = 0;
};

// Little-endian fields of fixed-layout records.
namespace le {
inline uint16_t U16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t U32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int16_t I16(const uint8_t* p)
{
    return int16_t(U16(p));
}
inline int32_t I32(const uint8_t* p)
{
    return int32_t(U32(p));
}
inline void Put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
// Four-character tags compared as little-endian 32-bit numbers.
constexpr uint32_t Tag(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}
} // namespace le

} // namespace morvane
