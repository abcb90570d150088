// The merged image of a PSD file: version 1, 8 bits a channel, RGB or
// greyscale, raw or PackBits rows. Layers are not read.
//
// Channels after the colour ones are the file's saved selections unless the
// layer count is negative, which marks the first of them as the merged
// image's transparency. Only then does the image get that alpha: a saved
// selection read as alpha would hide parts of the picture.
#include <algorithm>
#include <new>
#include <vector>

#include "codecs/DecoderSupport.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
constexpr uint32_t kMaxChannels = 56;
constexpr uint32_t kModeGrey = 1, kModeRgb = 3;
constexpr uint32_t kRaw = 0, kPackBits = 1;
constexpr uint32_t kResolutionInfo = 0x03ED;

struct PsdHeader {
    uint32_t channels = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mode = 0;
    uint32_t colourChannels = 0; // 3 for RGB, 1 for grey
    uint32_t usedChannels = 0;   // colour channels and the transparency, if any
    int dpi = 0;
};

// Image resources: "8BIM", id, a Pascal name padded to an even length, a
// length and the data padded to an even length. Only the resolution is used.
int ReadResolution(SpanReader in)
{
    constexpr uint32_t kSignature = 0x3842494D; // "8BIM"
    uint32_t signature, id, nameLength, length;
    while (in.U32BE(signature) && signature == kSignature && in.U16BE(id) && in.U8(nameLength) &&
           in.Skip(nameLength + (~nameLength & 1)) && in.U32BE(length)) {
        uint32_t fixedRes = 0;
        if (id == kResolutionInfo && length >= 4 && SpanReader(in).U32BE(fixedRes))
            return int((uint64_t(fixedRes) + 0x8000) >> 16); // 16.16 pixels per inch
        if (!in.Skip(uint64_t(length) + length % 2))
            break;
    }
    return 0;
}

// The layer section starts with its length and the layer count (16 bits, signed).
bool HasMergedTransparency(SpanReader layers)
{
    uint32_t length, count;
    return layers.U32BE(length) && layers.U16BE(count) && (count & 0x8000) != 0;
}

// Reads a length-prefixed section and leaves the reader after it; a reader
// over the section's content comes back through `section`.
DecodeResult SkipSection(SpanReader& in, SpanReader* section)
{
    uint32_t length;
    if (!in.U32BE(length) || length > in.Remaining())
        return DecodeResult::Truncated;
    if (section)
        *section = SpanReader(in.Here(), length);
    in.Skip(length);
    return DecodeResult::Ok;
}

DecodeResult ReadHeader(SpanReader& in, PsdHeader& h)
{
    uint32_t s0, s1, s2, s3, version, depth;
    if (!in.U8(s0) || !in.U8(s1) || !in.U8(s2) || !in.U8(s3) || s0 != '8' || s1 != 'B' || s2 != 'P' || s3 != 'S')
        return DecodeResult::UnknownFormat;
    if (!in.U16BE(version) || !in.Skip(6) || !in.U16BE(h.channels) || !in.U32BE(h.height) ||
        !in.U32BE(h.width) || !in.U16BE(depth) || !in.U16BE(h.mode))
        return DecodeResult::Truncated;
    if (version != 1 || depth != 8 || (h.mode != kModeGrey && h.mode != kModeRgb))
        return DecodeResult::Unsupported;
    h.colourChannels = h.mode == kModeRgb ? 3 : 1;
    if (h.channels < h.colourChannels || h.channels > kMaxChannels || h.width == 0 || h.height == 0)
        return DecodeResult::Corrupt;

    SpanReader resources(nullptr, 0), layers(nullptr, 0);
    DecodeResult r = SkipSection(in, nullptr); // colour mode data
    if (r == DecodeResult::Ok)
        r = SkipSection(in, &resources);
    if (r == DecodeResult::Ok)
        r = SkipSection(in, &layers);
    h.dpi = ReadResolution(resources);
    const bool transparency = HasMergedTransparency(layers);
    h.usedChannels = std::min(h.channels, h.colourChannels + (transparency ? 1 : 0));
    return r;
}

// ---- channel rows -----------------------------------------------------------

// Where channel c goes in a blue, green, red, alpha pixel; grey fills three.
struct Lanes {
    int first, count;
};

Lanes LanesOf(const PsdHeader& h, uint32_t channel)
{
    if (channel == h.colourChannels)
        return {3, 1};
    if (h.mode == kModeGrey)
        return {0, 3};
    return {int(2 - channel), 1};
}

void StoreRow(const uint8_t* bytes, uint32_t* row, uint32_t width, Lanes lanes)
{
    for (int lane = lanes.first; lane < lanes.first + lanes.count; ++lane) {
        const int shift = 8 * lane;
        const uint32_t keep = ~(0xFFu << shift);
        for (uint32_t x = 0; x < width; ++x)
            row[x] = (row[x] & keep) | uint32_t(bytes[x]) << shift;
    }
}

// One PackBits row; a run reaching past the row or data ending before the
// row is full makes the file corrupt. Bytes left after a full row are ignored.
bool UnpackRow(const uint8_t* src, size_t length, uint8_t* row, uint32_t width)
{
    size_t i = 0;
    uint32_t x = 0;
    while (x < width) {
        if (i >= length)
            return false;
        const int header = int8_t(src[i++]);
        if (header == -128)
            continue;
        const uint32_t count = header >= 0 ? uint32_t(header) + 1 : uint32_t(1 - header);
        const size_t needed = header >= 0 ? count : 1;
        if (count > width - x || needed > length - i)
            return false;
        if (header >= 0)
            std::copy_n(src + i, count, row + x);
        else
            std::fill_n(row + x, count, src[i]);
        i += needed;
        x += count;
    }
    return true;
}

DecodeResult DecodeRaw(SpanReader& in, const PsdHeader& h, TMTC& out)
{
    const uint64_t plane = uint64_t(h.width) * h.height;
    for (uint32_t c = 0; c < h.usedChannels; ++c) {
        const uint8_t* src = in.Here() + c * plane;
        for (uint32_t y = 0; y < h.height; ++y, src += h.width)
            StoreRow(src, out.Row(int32_t(y)), h.width, LanesOf(h, c));
    }
    return DecodeResult::Ok;
}

DecodeResult DecodePackBits(SpanReader& in, const PsdHeader& h, TMTC& out, std::vector<uint8_t>& row)
{
    // The byte counts of every row of every channel come first, then the rows.
    SpanReader counts(in.Here(), size_t(h.channels) * h.height * 2);
    in.Skip(size_t(h.channels) * h.height * 2);
    for (uint32_t c = 0; c < h.usedChannels; ++c) {
        for (uint32_t y = 0; y < h.height; ++y) {
            uint32_t length;
            if (!counts.U16BE(length) || length > in.Remaining())
                return DecodeResult::Truncated;
            if (!UnpackRow(in.Here(), length, row.data(), h.width))
                return DecodeResult::Corrupt;
            in.Skip(length);
            StoreRow(row.data(), out.Row(int32_t(y)), h.width, LanesOf(h, c));
        }
    }
    return DecodeResult::Ok;
}

// The data the rows need must be there before the image is allocated.
DecodeResult CheckDataLength(SpanReader in, const PsdHeader& h, uint32_t compression)
{
    if (compression == kRaw)
        return uint64_t(h.width) * h.height * h.usedChannels <= in.Remaining() ? DecodeResult::Ok
                                                                               : DecodeResult::Truncated;
    const uint64_t available = in.Remaining();
    const uint64_t tableBytes = uint64_t(h.channels) * h.height * 2;
    if (tableBytes > available)
        return DecodeResult::Truncated;
    // A PackBits header covers at most 128 pixels, so a row that claims fewer
    // bytes than that allows cannot fill the row.
    const uint32_t shortest = 2 * ((h.width + 127) / 128);
    uint64_t needed = tableBytes;
    for (uint64_t i = 0; i < uint64_t(h.usedChannels) * h.height; ++i) {
        uint32_t length = 0;
        in.U16BE(length); // the table was checked to be there
        if (length < shortest)
            return DecodeResult::Corrupt;
        needed += length;
    }
    return needed <= available ? DecodeResult::Ok : DecodeResult::Truncated;
}

DecodeResult DecodeImageData(SpanReader& in, const PsdHeader& h, TMTC& out, const DecodeLimits& limits)
{
    uint32_t compression;
    if (!in.U16BE(compression))
        return DecodeResult::Truncated;
    if (compression != kRaw && compression != kPackBits)
        return compression <= 3 ? DecodeResult::Unsupported : DecodeResult::Corrupt; // 2, 3: zip
    if (!DecodeSizeAllowed(h.width, h.height, limits))
        return DecodeResult::TooLarge;
    DecodeResult r = CheckDataLength(in, h, compression);
    if (r != DecodeResult::Ok)
        return r;
    std::vector<uint8_t> row;
    try {
        row.resize(compression == kPackBits ? h.width : 0);
    } catch (const std::bad_alloc&) {
        return DecodeResult::OutOfMemory;
    }
    if ((r = AllocateImage(out, h.width, h.height, limits)) != DecodeResult::Ok)
        return r;
    if (h.usedChannels == h.colourChannels)
        out.FillAll(0xFF000000u);
    return compression == kRaw ? DecodeRaw(in, h, out) : DecodePackBits(in, h, out, row);
}
} // namespace

DecodeResult DecodePsd(const uint8_t* data, size_t size, TMTC& out, int* dpiOut, const DecodeLimits& limits)
{
    SpanReader in(data, size);
    PsdHeader h;
    DecodeResult r = ReadHeader(in, h);
    if (r == DecodeResult::Ok)
        r = DecodeImageData(in, h, out, limits);
    return FinishDecode(out, r, h.dpi, dpiOut);
}

DecodeResult DecodePsdPreview(const uint8_t* data, size_t size, int32_t sizeWanted, TMTC& out,
                              const DecodeLimits& limits)
{
    if (sizeWanted < 1)
        return DecodeFailed(out, DecodeResult::Corrupt);
    TMTC full;
    const DecodeResult r = DecodePsd(data, size, full, nullptr, limits);
    if (r != DecodeResult::Ok)
        return DecodeFailed(out, r);
    const int64_t longer = std::max(full.Width, full.Height);
    const int64_t scale = std::min<int64_t>(sizeWanted, longer);
    const int64_t width = std::max<int64_t>(1, full.Width * scale / longer);
    const int64_t height = std::max<int64_t>(1, full.Height * scale / longer);
    if (!out.Resize(int32_t(width), int32_t(height)))
        return DecodeFailed(out, DecodeResult::OutOfMemory);
    const bool copied = longer <= sizeWanted ? out.CopyAll(full)
                                             : full.ShrinkArea(out, {0, 0, int32_t(width), int32_t(height)});
    return copied ? DecodeResult::Ok : DecodeFailed(out, DecodeResult::OutOfMemory);
}

} // namespace morvane
