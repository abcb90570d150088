#include "files/ImageBlock.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "files/ByteStream.h"
#include "storage/CDibCore.h"
#include "storage/Compression.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr uint32_t kTagImage = le::Tag("MTNL");
constexpr size_t kPiece = 16384;
constexpr size_t kFullHead = 8 + ImageBlockHead::kBytes;

// Thumbnails written scrambled: any values do, the reader takes them from the block.
constexpr uint8_t kThumbGroup = 5, kThumbKey = 0x3C, kThumbStride = 7, kThumbTail = 4;

void GroupStep(std::span<uint8_t> piece, size_t group)
{
    if (group < 2)
        return;
    for (size_t at = 0; at + group <= piece.size(); at += group)
        std::reverse(piece.begin() + at, piece.begin() + at + group);
}

void KeyStep(std::span<uint8_t> piece, uint8_t key, size_t stride)
{
    if (key == 0)
        return;
    for (size_t at = 0; at < piece.size(); at += stride + 1)
        piece[at] ^= uint8_t(~key);
}

template <typename Steps> void ForEachPiece(std::span<uint8_t> bytes, Steps steps)
{
    for (size_t at = 0; at < bytes.size(); at += kPiece)
        steps(bytes.subspan(at, std::min(kPiece, bytes.size() - at)));
}

void EncodeHead(const ImageBlockHead& h, uint32_t blockSize, uint8_t* p)
{
    std::memset(p, 0, kFullHead);
    le::Put32(p, kTagImage);
    le::Put32(p + 4, blockSize);
    le::Put16(p + 8, h.kind);
    le::Put16(p + 10, h.format);
    p[12] = h.groupLength;
    p[13] = h.key;
    p[14] = h.stride;
    p[15] = h.tailCount;
    le::Put32(p + 16, uint32_t(h.sourceWidth));
    le::Put32(p + 20, uint32_t(h.sourceHeight));
    le::Put32(p + 24, uint32_t(h.width));
    le::Put32(p + 28, uint32_t(h.height));
    le::Put32(p + 32, h.storedLength);
    le::Put32(p + 36, h.unpackedLength);
}

ImageBlockHead DecodeHead(const uint8_t* p)
{
    ImageBlockHead h;
    h.kind = le::U16(p + 8);
    h.format = le::U16(p + 10);
    h.groupLength = p[12];
    h.key = p[13];
    h.stride = p[14];
    h.tailCount = p[15];
    h.sourceWidth = le::I32(p + 16);
    h.sourceHeight = le::I32(p + 20);
    h.width = le::I32(p + 24);
    h.height = le::I32(p + 28);
    h.storedLength = le::U32(p + 32);
    h.unpackedLength = le::U32(p + 36);
    return h;
}

// Ok when the head describes an image the rules take, else Format.
BlockReadCode CheckGeometry(const ImageBlockHead& h, const ImageBlockRules& rules)
{
    const int bytesPerPixel = rules.bytesPerPixel(h.format);
    if (bytesPerPixel <= 0 || h.width < 1 || h.height < 1 || h.width > rules.maxSide ||
        h.height > rules.maxSide)
        return BlockReadCode::Format;
    const uint64_t expected = uint64_t(h.width) * uint64_t(h.height) * uint64_t(bytesPerPixel);
    return expected == h.unpackedLength ? BlockReadCode::Ok : BlockReadCode::Format;
}

// The stored bytes and their unpacking, once the reader stands on them.
BlockReadCode ReadBody(ByteReader& in, const ImageBlockHead& h, uint64_t rest, std::vector<uint8_t>& pixels)
{
    std::vector<uint8_t> stored;
    try {
        stored.resize(h.storedLength);
        pixels.assign(h.unpackedLength, 0);
    } catch (const std::bad_alloc&) {
        pixels.clear();
        in.Skip(rest);
        return BlockReadCode::NoMemory;
    }
    if (!in.Read(stored.data(), stored.size()) || !in.Skip(rest - h.storedLength))
        return BlockReadCode::ShortRead;
    std::span<uint8_t> packed(stored.data(), stored.size());
    if (h.kind == 2) {
        packed = packed.first(h.storedLength - h.tailCount);
        Descramble(packed, h);
    }
    if (!Decompress(packed, pixels)) {
        pixels.clear();
        return BlockReadCode::ShortRead;
    }
    return BlockReadCode::Ok;
}

} // namespace

int ThumbnailBytesPerPixel(uint16_t format)
{
    return format == 0 ? 4 : 0;
}

void Scramble(std::span<uint8_t> bytes, const ImageBlockHead& head)
{
    ForEachPiece(bytes, [&](std::span<uint8_t> piece) {
        GroupStep(piece, head.groupLength);
        KeyStep(piece, head.key, head.stride);
    });
}

void Descramble(std::span<uint8_t> bytes, const ImageBlockHead& head)
{
    ForEachPiece(bytes, [&](std::span<uint8_t> piece) {
        KeyStep(piece, head.key, head.stride);
        GroupStep(piece, head.groupLength);
    });
}

BlockReadCode ReadImageBlock(ByteReader& in, const ImageBlockRules& rules, ImageBlockHead& head,
                   std::vector<uint8_t>& pixels, uint64_t& blockLength)
{
    blockLength = 0;
    pixels.clear();
    const uint64_t start = in.Position();
    uint8_t raw[kFullHead];
    if (!in.Read(raw, sizeof raw))
        return BlockReadCode::ShortHead;
    if (le::U32(raw) != kTagImage)
        return BlockReadCode::Tag;
    const uint32_t blockSize = le::U32(raw + 4);
    head = DecodeHead(raw);
    // The block must lie within the stream and its data within the block.
    const bool fits =
        blockSize >= ImageBlockHead::kBytes && blockSize - ImageBlockHead::kBytes <= in.Remaining();
    const uint64_t rest = fits ? blockSize - ImageBlockHead::kBytes : 0;
    BlockReadCode code = BlockReadCode::Ok;
    if (head.kind != 1 && head.kind != 2)
        code = BlockReadCode::Kind;
    else if (!fits || head.storedLength > rest || (head.kind == 2 && head.tailCount > head.storedLength))
        code = BlockReadCode::ShortRead;
    else
        code = CheckGeometry(head, rules);
    if (code == BlockReadCode::Ok)
        code = ReadBody(in, head, rest, pixels);
    else if (fits)
        in.Skip(rest);
    if (in.Position() == start + 8 + uint64_t(blockSize))
        blockLength = 8 + uint64_t(blockSize);
    return code;
}

BlockReadCode ReadImageBlockInto(ByteReader& in, const ImageBlockRules& rules, ImageBlockHead& head, CDibCore& image,
                       uint64_t& blockLength)
{
    std::vector<uint8_t> pixels;
    const BlockReadCode code = ReadImageBlock(in, rules, head, pixels, blockLength);
    if (code != BlockReadCode::Ok)
        return code;
    if (rules.bytesPerPixel(head.format) != image.BytesPerPixel())
        return BlockReadCode::Format;
    if (!image.Resize(head.width, head.height))
        return BlockReadCode::NoMemory;
    const size_t rowBytes = size_t(head.width) * size_t(image.BytesPerPixel());
    for (int32_t y = 0; y < head.height; ++y)
        std::memcpy(image.RowPtr(y), pixels.data() + size_t(y) * rowBytes, rowBytes);
    return BlockReadCode::Ok;
}

WriteCode WriteImageBlock(ByteWriter& out, const ImageBlockHead& head, std::span<const uint8_t> pixels)
{
    if (head.kind != 1 && head.kind != 2)
        return WriteCode::Kind;
    if (pixels.size() > UINT32_MAX - 0x10000)
        return WriteCode::NoMemory;
    ImageBlockHead h = head;
    if (h.kind == 1)
        h.groupLength = h.key = h.stride = h.tailCount = 0;
    MemoryCompressSink sink;
    if (!Compress(pixels, sink, kCompressLevelDocument))
        return WriteCode::NoMemory;
    std::vector<uint8_t> stored;
    try {
        stored.assign(sink.Data().begin(), sink.Data().end());
        stored.resize(stored.size() + h.tailCount, 0);
    } catch (const std::bad_alloc&) {
        return WriteCode::NoMemory;
    }
    if (h.kind == 2)
        Scramble(std::span<uint8_t>(stored).first(sink.Data().size()), h);
    h.storedLength = uint32_t(stored.size());
    h.unpackedLength = uint32_t(pixels.size());
    const size_t padding = size_t((4 - (out.Position() + kFullHead + stored.size()) % 4) % 4);
    uint8_t raw[kFullHead];
    EncodeHead(h, uint32_t(ImageBlockHead::kBytes + stored.size() + padding), raw);
    const bool ok =
        out.Write(raw, sizeof raw) && out.Write(stored.data(), stored.size()) && out.WriteZeros(padding);
    return ok ? WriteCode::Ok : WriteCode::ShortWrite;
}

WriteCode WriteImageBlockFrom(ByteWriter& out, const ImageBlockHead& head, const CDibCore& image)
{
    if (!image.IsValid())
        return WriteCode::Format;
    const size_t rowBytes = size_t(image.Width) * size_t(image.BytesPerPixel());
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(rowBytes * size_t(image.Height));
    } catch (const std::bad_alloc&) {
        return WriteCode::NoMemory;
    }
    for (int32_t y = 0; y < image.Height; ++y)
        std::memcpy(pixels.data() + size_t(y) * rowBytes, image.RowPtr(y), rowBytes);
    ImageBlockHead h = head;
    h.width = image.Width;
    h.height = image.Height;
    return WriteImageBlock(out, h, pixels);
}

WriteCode WriteThumbnailBlock(ByteWriter& out, int32_t sourceWidth, int32_t sourceHeight, const TMTC& image,
                        bool scrambled)
{
    ImageBlockHead h;
    h.kind = scrambled ? 2 : 1;
    h.format = 0;
    h.sourceWidth = sourceWidth;
    h.sourceHeight = sourceHeight;
    if (scrambled) {
        h.groupLength = kThumbGroup;
        h.key = kThumbKey;
        h.stride = kThumbStride;
        h.tailCount = kThumbTail;
    }
    return WriteImageBlockFrom(out, h, image);
}

} // namespace morvane
