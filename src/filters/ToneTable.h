#pragma once
// A 256-entry table per pixel byte (blue, green, red, alpha) and the tables
// of the tone filters. Every builder takes the record as the routine gets it
// (sanitized, of the right size) and computes integers only from the
// portable powers, so a replay rebuilds the same table on every machine.
#include <array>
#include <cstdint>
#include <span>

#include "filters/FilterContext.h"

namespace morvane {

struct ToneTable {
    std::array<uint8_t, 256> blue{}, green{}, red{}, alpha{};

    static ToneTable Identity();
    // The colour columns from one curve; alpha stays the identity.
    static ToneTable FromCurve(const std::array<uint8_t, 256>& curve);
    uint32_t Map(uint32_t pixel) const
    {
        return blue[pixel & 0xFF] | uint32_t(green[(pixel >> 8) & 0xFF]) << 8 |
               uint32_t(red[(pixel >> 16) & 0xFF]) << 16 | uint32_t(alpha[pixel >> 24]) << 24;
    }
    bool operator==(const ToneTable&) const = default;
};

// Every covered pixel of the WorkRect mapped through the table and written
// back with WriteColour; false when a block could not get memory.
bool ApplyToneTable(const FilterContext& context, const ToneTable& table);

// Y = (R * 19595 + G * 38469 + B * 7472) >> 16.
inline uint32_t Luminance(uint32_t pixel)
{
    return (((pixel >> 16) & 0xFF) * 19595u + ((pixel >> 8) & 0xFF) * 38469u + (pixel & 0xFF) * 7472u) >> 16;
}

ToneTable SolarizeTable();
ToneTable PosterizeTable(int32_t levels);
ToneTable ColourBalanceTable(float red, float green, float blue);
ToneTable BrightnessContrastTable(int32_t brightness, int32_t contrast, bool linear);
// The 24-byte levels record.
ToneTable LevelsTable(std::span<const uint8_t> record);

} // namespace morvane
