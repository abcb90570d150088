// BMP files: the 24-bit writer of screen buffers and the reader of BMP data
// held in memory (files and the clipboard).
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/AtomicFile.h"
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
} // namespace

bool TMTC::SaveBmp24(const char* fileName, int dpi) const
{
    if (!IsValid() || Width <= 0 || Height <= 0)
        return false;
    const uint64_t stride = (3 * uint64_t(Width) + 3) & ~uint64_t(3);
    const uint64_t imageBytes = stride * uint64_t(Height);
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
    Put32(header, uint32_t(Width));
    Put32(header, uint32_t(Height)); // positive: rows run bottom-up
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
    for (int32_t y = Height - 1; y >= 0; --y) {
        const uint32_t* src = Row(y);
        for (int32_t x = 0; x < Width; ++x) {
            row[3 * size_t(x)] = uint8_t(src[x]);
            row[3 * size_t(x) + 1] = uint8_t(src[x] >> 8);
            row[3 * size_t(x) + 2] = uint8_t(src[x] >> 16);
        }
        if (!file.Write(row.data(), row.size()))
            return false;
    }
    return file.Commit();
}

} // namespace morvane
