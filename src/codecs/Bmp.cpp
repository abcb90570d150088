#include "codecs/Bmp.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "codecs/ImageDecoders.h"
#include "platform/AtomicFile.h"
#include "storage/CFixedMemStream.h"
#include "storage/SizeLimits.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

int32_t PixelsPerMetre(int dpi) { return int32_t(std::lround(dpi * 100 / 2.54)); }

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }


constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;

// What LoadBmp needs from the headers once they passed every check.
struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;  // negative height: the first row in the file is the top one
    int bitsPerPixel = 0;
    int64_t stride = 0;
};

bool ReadExactly(CFixedMemStream& in, void* buffer, int64_t count)
{
    return in.Read(buffer, count) == count;
}

// Reads and checks both headers, reports the resolution and leaves the stream
// at the first pixel row. Nothing is allocated here.
bool ReadBmpLayout(CFixedMemStream& in, int* dpiOut, BmpLayout& layout)
{
    uint8_t file[kFileHeaderBytes];
    if (!ReadExactly(in, file, sizeof file) || file[0] != 'B' || file[1] != 'M')
        return false;
    uint8_t info[kInfoHeaderBytes];
    if (!ReadExactly(in, info, sizeof info))
        return false;

    const uint32_t headerSize = Get32(info);
    if (dpiOut) {
        const bool known = headerSize == 40 || headerSize == 108 || headerSize == 124;
        *dpiOut = known ? DpiFromPixelsPerMetre(int32_t(Get32(info + 24))) : 0;
    }
    const int32_t width = int32_t(Get32(info + 4));
    const int32_t height = int32_t(Get32(info + 8));
    const int bits = int(Get16(info + 14));
    const uint32_t compression = Get32(info + 16);
    const uint32_t paletteColours = Get32(info + 32);
    if (headerSize != kInfoHeaderBytes || (bits != 24 && bits != 32))
        return false;

    const int64_t absHeight = std::llabs(int64_t(height));
    if (!IsImageSizeAllowed(width, absHeight))
        return false;

    if (compression == kBitFields && paletteColours == 3) {
        uint8_t masks[12]; // the standard order is assumed, as the rows are copied unchanged
        if (!ReadExactly(in, masks, sizeof masks))
            return false;
    } else if (compression != kRgb) {
        return false;
    }

    // The pixels start where the file header says, which may leave a gap after
    // the headers but may not overlap them.
    const int64_t dataOffset = Get32(file + 10);
    if (dataOffset < in.Position() || in.Seek(dataOffset, CFixedMemStream::Origin::Begin) < 0)
        return false;

    layout.width = width;
    layout.height = int32_t(absHeight);
    layout.topDown = height < 0;
    layout.bitsPerPixel = bits;
    layout.stride = bits == 24 ? (3 * int64_t(width) + 3) & ~int64_t(3) : 4 * int64_t(width);
    return layout.stride * absHeight <= in.Remaining();
}

// One 24-bit file row into 32-bit pixels; the alpha byte is kept or made opaque.
void ConvertRow24(const uint8_t* src, uint32_t* dst, int32_t width, bool keepAlpha)
{
    for (int32_t x = 0; x < width; ++x, src += 3) {
        const uint32_t alpha = keepAlpha ? dst[x] & 0xFF000000u : 0xFF000000u;
        dst[x] = alpha | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
    }
}
} // namespace

bool SaveBmp24(const TMTC& image, const char* fileName, int dpi)
{
    if (!image.IsValid() || image.Width <= 0 || image.Height <= 0)
        return false;
    const uint64_t stride = (3 * uint64_t(image.Width) + 3) & ~uint64_t(3);
    const uint64_t imageBytes = stride * uint64_t(image.Height);
    if (imageBytes + 54 > 0xFFFFFFFFu)
        return false;

    std::vector<uint8_t> header;
    header.reserve(54);
    header.push_back('B');
    header.push_back('M');
    Put32(header, uint32_t(imageBytes + 54));
    Put32(header, 0); // two reserved words
    Put32(header, 54);
    Put32(header, 40);
    Put32(header, uint32_t(image.Width));
    Put32(header, uint32_t(image.Height)); // positive: rows run bottom-up
    Put16(header, 1);
    Put16(header, 24);
    Put32(header, 0);
    Put32(header, uint32_t(imageBytes));
    Put32(header, uint32_t(PixelsPerMetre(dpi)));
    Put32(header, uint32_t(PixelsPerMetre(dpi)));
    Put32(header, 0);
    Put32(header, 0);

    AtomicFile file(fileName);
    if (!file.Write(header.data(), header.size()))
        return false;
    std::vector<uint8_t> row(stride, 0);
    for (int32_t y = image.Height - 1; y >= 0; --y) {
        const uint32_t* src = image.Row(y);
        for (int32_t x = 0; x < image.Width; ++x) {
            row[3 * size_t(x)] = uint8_t(src[x]);
            row[3 * size_t(x) + 1] = uint8_t(src[x] >> 8);
            row[3 * size_t(x) + 2] = uint8_t(src[x] >> 16);
        }
        if (!file.Write(row.data(), row.size()))
            return false;
    }
    return file.Commit();
}

// Accepts uncompressed 24- and 32-bit pictures with a 40-byte information
// header (32-bit ones also with three colour masks). Rows land in rows 0, 1,
// 2 ... in the order a bottom-up file stores them, so an ordinary file arrives
// upside down and callers flip it; a top-down file (negative height) is stored
// the same way round, so the one flip serves both. 24-bit pixels keep the
// alpha bytes of a buffer that already had this size; a buffer that gets a new
// shape gets opaque pixels. Any failure before the resize leaves the buffer
// untouched.
bool LoadBmp(TMTC& image, const uint8_t* data, size_t size, int* dpiOut)
{
    CFixedMemStream in;
    in.CreateReadOnly(data, data ? size : 0);
    BmpLayout layout;
    if (!ReadBmpLayout(in, dpiOut, layout))
        return false;

    const bool keepAlpha = image.IsValid() && image.Width == layout.width && image.Height == layout.height;
    if (!image.Resize(layout.width, layout.height))
        return false;
    // The sizes were checked against the data, so these reads cannot run short.
    std::vector<uint8_t> row(layout.bitsPerPixel == 24 ? size_t(layout.stride) : 0);
    for (int32_t i = 0; i < layout.height; ++i) {
        uint32_t* dst = image.Row(layout.topDown ? layout.height - 1 - i : i);
        if (layout.bitsPerPixel == 32) {
            if (!ReadExactly(in, dst, layout.stride))
                return false;
        } else {
            if (!ReadExactly(in, row.data(), layout.stride))
                return false;
            ConvertRow24(row.data(), dst, layout.width, keepAlpha);
        }
    }
    return true;
}

} // namespace morvane
