#include "filters/FilterWrites.h"

namespace morvane {

void WriteColourRow(uint32_t* row, const uint32_t* colours, const uint8_t* coverage, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        row[i] = WriteColour(row[i], colours[i], coverage ? coverage[i] : 255u);
}

void WritePixelRow(uint32_t* row, const uint32_t* pixels, const uint8_t* coverage, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        row[i] = WritePixel(row[i], pixels[i], coverage ? coverage[i] : 255u);
}

} // namespace morvane
