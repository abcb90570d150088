// BMP files of every common kind: 1, 4 and 8-bit palettes (also RLE8 and
// RLE4), 16 and 32 bits with or without colour masks, 24 bits; the core,
// information, V4 and V5 headers; bottom-up and top-down rows.
#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/DecoderSupport.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
constexpr uint32_t kOpaque = 0xFF000000u;

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// One colour channel of a 16 or 32-bit pixel: a run of bits.
struct MaskChannel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    uint32_t Value(uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        const uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return v >> (bits - 8);
        const uint32_t max = (1u << bits) - 1;
        return (v * 255 + max / 2) / max;
    }
};

// A mask must be one run of bits; an empty one gives 0.
bool MakeChannel(uint32_t mask, MaskChannel& channel)
{
    channel = {};
    if (mask == 0)
        return true;
    channel.mask = mask;
    channel.shift = std::countr_zero(mask);
    channel.bits = std::popcount(mask);
    return std::countr_one(mask >> channel.shift) == channel.bits;
}

struct BmpHeader {
    int64_t width = 0;
    int64_t height = 0; // rows, always positive
    bool topDown = false;
    uint32_t bits = 0;
    uint32_t compression = kRgb;
    uint32_t colourCount = 0; // palette entries; 0: as many as the depth allows
    uint32_t masks[4] = {};  // red, green, blue, alpha
    bool useAlphaMask = false;
    uint32_t palette[256];   // every index has a colour; those past the file's palette are black
    int dpi = 0;
};

bool IsInfoHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

// Which compressions go with which depths; everything else is refused.
bool CompressionFits(const BmpHeader& h, uint32_t headerSize)
{
    switch (h.compression) {
    case kRgb:
        return h.bits == 1 || h.bits == 4 || h.bits == 8 || h.bits == 16 || h.bits == 24 || h.bits == 32;
    case kRle8:
        return h.bits == 8;
    case kRle4:
        return h.bits == 4;
    case kBitFields:
    case kAlphaBitFields:
        // The 64-byte header is OS/2's, where 3 means Huffman coding.
        return (h.bits == 16 || h.bits == 32) && headerSize != 64;
    default:
        return false;
    }
}

DecodeResult ReadCoreHeader(SpanReader& in, BmpHeader& h)
{
    uint32_t width, height, planes, bits;
    if (!in.U16LE(width) || !in.U16LE(height) || !in.U16LE(planes) || !in.U16LE(bits))
        return DecodeResult::Truncated;
    h.width = width;
    h.height = height;
    h.bits = bits;
    return DecodeResult::Ok;
}

DecodeResult ReadMasks(SpanReader& in, int count, BmpHeader& h)
{
    for (int i = 0; i < count; ++i)
        if (!in.U32LE(h.masks[i]))
            return DecodeResult::Truncated;
    h.useAlphaMask = count == 4 && h.masks[3] != 0;
    return DecodeResult::Ok;
}

DecodeResult ReadInfoHeader(SpanReader& in, uint32_t headerSize, BmpHeader& h)
{
    const size_t start = in.Position() - 4;
    uint32_t width, height, planes, bits, imageBytes, xppm, yppm;
    if (!in.U32LE(width) || !in.U32LE(height) || !in.U16LE(planes) || !in.U16LE(bits) ||
        !in.U32LE(h.compression) || !in.U32LE(imageBytes) || !in.U32LE(xppm) || !in.U32LE(yppm) ||
        !in.U32LE(h.colourCount))
        return DecodeResult::Truncated;
    h.width = int32_t(width);
    h.topDown = int32_t(height) < 0;
    h.height = h.topDown ? -int64_t(int32_t(height)) : int64_t(height);
    h.bits = bits;
    if (headerSize == 40 || headerSize == 108 || headerSize == 124)
        h.dpi = DpiFromPixelsPerMetre(int32_t(xppm));
    // The masks sit in the header from 52 bytes on (not in OS/2's 64-byte
    // one); a 40-byte header is followed by them when the compression says so.
    const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    if (headerSize >= 52 && headerSize != 64) {
        if (!in.Seek(start + 40) || ReadMasks(in, headerSize >= 56 ? 4 : 3, h) != DecodeResult::Ok)
            return DecodeResult::Truncated;
    }
    if (!in.Seek(start + headerSize))
        return DecodeResult::Truncated;
    if (headerSize == 40 && fields)
        return ReadMasks(in, h.compression == kAlphaBitFields ? 4 : 3, h);
    return DecodeResult::Ok;
}

DecodeResult ReadPalette(SpanReader& in, bool core, BmpHeader& h)
{
    uint32_t colourCount = h.colourCount;
    std::fill(std::begin(h.palette), std::end(h.palette), kOpaque);
    if (h.bits > 8)
        return DecodeResult::Ok;
    const uint32_t capacity = 1u << h.bits;
    if (colourCount == 0)
        colourCount = capacity;
    if (colourCount > capacity)
        return DecodeResult::Corrupt;
    const uint32_t entryBytes = core ? 3 : 4;
    if (uint64_t(colourCount) * entryBytes > in.Remaining())
        return DecodeResult::Truncated;
    const uint8_t* p = in.Here();
    for (uint32_t i = 0; i < colourCount; ++i, p += entryBytes)
        h.palette[i] = kOpaque | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    return DecodeResult::Ok;
}

DecodeResult ReadHeaders(SpanReader& in, BmpHeader& h)
{
    uint32_t b, m, fileSize, reserved, offset, headerSize;
    if (!in.U8(b) || !in.U8(m) || b != 'B' || m != 'M')
        return DecodeResult::UnknownFormat;
    if (!in.U32LE(fileSize) || !in.U32LE(reserved) || !in.U32LE(offset) || !in.U32LE(headerSize))
        return DecodeResult::Truncated;
    const bool core = headerSize == 12;
    if (!core && !IsInfoHeaderSize(headerSize))
        return DecodeResult::Unsupported;
    DecodeResult r = core ? ReadCoreHeader(in, h) : ReadInfoHeader(in, headerSize, h);
    if (r != DecodeResult::Ok)
        return r;
    if (!CompressionFits(h, headerSize))
        return DecodeResult::Unsupported;
    if (h.width <= 0 || h.height <= 0 || (h.topDown && (h.compression == kRle8 || h.compression == kRle4)))
        return DecodeResult::Corrupt;

    if ((r = ReadPalette(in, core, h)) != DecodeResult::Ok)
        return r;
    // The pixels start where the file header says, never inside the headers.
    if (offset < 14 + headerSize)
        return DecodeResult::Corrupt;
    return in.Seek(offset) ? DecodeResult::Ok : DecodeResult::Truncated;
}

uint32_t* OutputRow(TMTC& out, const BmpHeader& h, int64_t fileRow)
{
    return out.Row(int32_t(h.topDown ? fileRow : h.height - 1 - fileRow));
}

// ---- uncompressed rows --------------------------------------------------------

void ConvertIndexed(const uint8_t* src, uint32_t* dst, int64_t width, const BmpHeader& h)
{
    const uint32_t bits = h.bits, perByte = 8 / bits, mask = (1u << bits) - 1;
    for (int64_t x = 0; x < width; ++x) {
        const uint32_t shift = 8 - bits * (uint32_t(x % perByte) + 1);
        dst[x] = h.palette[(src[x / perByte] >> shift) & mask];
    }
}

void Convert24(const uint8_t* src, uint32_t* dst, int64_t width)
{
    for (int64_t x = 0; x < width; ++x, src += 3)
        dst[x] = kOpaque | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
}

struct MaskSet {
    MaskChannel red, green, blue, alpha;
    bool hasAlpha = false;
};

template <int Bytes>
void ConvertMasked(const uint8_t* src, uint32_t* dst, int64_t width, const MaskSet& m)
{
    for (int64_t x = 0; x < width; ++x, src += Bytes) {
        uint32_t p = uint32_t(src[0]) | uint32_t(src[1]) << 8;
        if constexpr (Bytes == 4)
            p |= uint32_t(src[2]) << 16 | uint32_t(src[3]) << 24;
        const uint32_t alpha = m.hasAlpha ? m.alpha.Value(p) : 255;
        dst[x] = alpha << 24 | m.red.Value(p) << 16 | m.green.Value(p) << 8 | m.blue.Value(p);
    }
}

// Without masks a 16-bit file is 5-5-5 and a 32-bit one holds blue, green, red
// bytes and one unused byte.
bool MakeMasks(const BmpHeader& h, MaskSet& m)
{
    const bool fields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    const uint32_t red = fields ? h.masks[0] : h.bits == 16 ? 0x7C00u : 0xFF0000u;
    const uint32_t green = fields ? h.masks[1] : h.bits == 16 ? 0x03E0u : 0xFF00u;
    const uint32_t blue = fields ? h.masks[2] : h.bits == 16 ? 0x001Fu : 0xFFu;
    m.hasAlpha = fields && h.useAlphaMask;
    return MakeChannel(red, m.red) && MakeChannel(green, m.green) && MakeChannel(blue, m.blue) &&
           MakeChannel(m.hasAlpha ? h.masks[3] : 0, m.alpha);
}

int64_t RowStride(const BmpHeader& h) { return (h.width * h.bits + 31) / 32 * 4; }

// What uncompressed rows need; the last row may lack its padding, as some
// writers leave it off.
uint64_t UncompressedBytes(const BmpHeader& h)
{
    return uint64_t(RowStride(h)) * uint64_t(h.height - 1) + uint64_t((h.width * h.bits + 7) / 8);
}

DecodeResult DecodeRows(SpanReader& in, const BmpHeader& h, TMTC& out)
{
    MaskSet masks;
    if (h.bits >= 16 && h.bits != 24 && !MakeMasks(h, masks))
        return DecodeResult::Corrupt;
    const int64_t stride = RowStride(h);
    const uint8_t* src = in.Here();
    for (int64_t row = 0; row < h.height; ++row, src += stride) {
        uint32_t* dst = OutputRow(out, h, row);
        if (h.bits <= 8)
            ConvertIndexed(src, dst, h.width, h);
        else if (h.bits == 24)
            Convert24(src, dst, h.width);
        else if (h.bits == 16)
            ConvertMasked<2>(src, dst, h.width, masks);
        else
            ConvertMasked<4>(src, dst, h.width, masks);
    }
    return DecodeResult::Ok;
}

// ---- RLE8 and RLE4 ---------------------------------------------------------

// The drawing position of a run-length stream: rows count from the bottom of
// the picture; pixels past the right edge are dropped.
class RleCanvas {
public:
    RleCanvas(TMTC& out, const BmpHeader& h) : out_(out), h_(h) {}

    bool Done() const { return row_ >= h_.height; }
    void NextLine()
    {
        x_ = 0;
        ++row_;
    }
    void Move(uint32_t dx, uint32_t dy)
    {
        x_ = std::min<int64_t>(x_ + dx, h_.width);
        row_ += dy;
    }
    void Put(uint32_t index)
    {
        if (x_ < h_.width && !Done())
            OutputRow(out_, h_, row_)[x_] = h_.palette[index];
        x_ = std::min<int64_t>(x_ + 1, h_.width);
    }

private:
    TMTC& out_;
    const BmpHeader& h_;
    int64_t x_ = 0;
    int64_t row_ = 0;
};

// The n-th pixel of a run or a literal: RLE4 packs two pixels a byte.
uint32_t RlePixel(uint32_t byte, uint32_t n, bool rle4)
{
    return rle4 ? (n % 2 ? byte & 15 : byte >> 4) : byte;
}

DecodeResult DecodeRle(SpanReader& in, const BmpHeader& h, TMTC& out)
{
    const bool rle4 = h.compression == kRle4;
    out.FillAll(h.palette[0]); // pixels the stream skips show colour 0
    RleCanvas canvas(out, h);
    while (!canvas.Done()) {
        uint32_t count, value;
        if (!in.U8(count) || !in.U8(value))
            return DecodeResult::Truncated;
        if (count > 0) {
            for (uint32_t n = 0; n < count; ++n)
                canvas.Put(RlePixel(value, n, rle4));
        } else if (value == 0) {
            canvas.NextLine();
        } else if (value == 1) {
            return DecodeResult::Ok;
        } else if (value == 2) {
            uint32_t dx, dy;
            if (!in.U8(dx) || !in.U8(dy))
                return DecodeResult::Truncated;
            canvas.Move(dx, dy);
        } else {
            // A literal run, padded to an even number of bytes.
            const uint32_t bytes = rle4 ? (value + 1) / 2 : value;
            if (bytes + (bytes & 1) > in.Remaining())
                return DecodeResult::Truncated;
            const uint8_t* p = in.Here();
            for (uint32_t n = 0; n < value; ++n)
                canvas.Put(RlePixel(p[rle4 ? n / 2 : n], n, rle4));
            in.Skip(bytes + (bytes & 1));
        }
    }
    return DecodeResult::Ok;
}

DecodeResult ReadBmp(SpanReader& in, BmpHeader& h, TMTC& out, const DecodeLimits& limits)
{
    DecodeResult r = ReadHeaders(in, h);
    if (r != DecodeResult::Ok)
        return r;
    if (!DecodeSizeAllowed(h.width, h.height, limits))
        return DecodeResult::TooLarge;
    // Uncompressed rows are checked against the data before anything is allocated.
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (!rle && UncompressedBytes(h) > in.Remaining())
        return DecodeResult::Truncated;
    if ((r = AllocateImage(out, h.width, h.height, limits)) != DecodeResult::Ok)
        return r;
    return rle ? DecodeRle(in, h, out) : DecodeRows(in, h, out);
}
} // namespace

DecodeResult DecodeBmp(const uint8_t* data, size_t size, TMTC& out, int* dpiOut, const DecodeLimits& limits)
{
    SpanReader in(data, size);
    BmpHeader h;
    const DecodeResult r = ReadBmp(in, h, out, limits);
    return FinishDecode(out, r, h.dpi, dpiOut);
}

} // namespace morvane
