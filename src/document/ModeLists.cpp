#include "document/ModeLists.h"

#include <algorithm>

#include "document/SLayerParam.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
constexpr uint32_t kInitialColours[kInitialColourCount] = {0xFFFFFF, 0x000000, 0x7F7F7F};
constexpr const char* kInitialColourWords[kInitialColourCount] = {"白", "黒", "グレー"};
} // namespace

int ModeAtListPosition(int position)
{
    return position >= 0 && position < int(kModeDisplayOrder.size()) ? kModeDisplayOrder[position] : -1;
}

int ListPositionOfMode(int mode)
{
    const auto it = std::find(kModeDisplayOrder.begin(), kModeDisplayOrder.end(), mode);
    return IsValidMode(mode) && it != kModeDisplayOrder.end() ? int(it - kModeDisplayOrder.begin()) : -1;
}

uint8_t PercentToByte(int percent)
{
    // p * 2.55 + 0.5 = (p * 255 + 50) / 100, without 2.55's binary error.
    return uint8_t((std::clamp(percent, 0, 100) * 255 + 50) / 100);
}

int ByteToPercent(uint8_t value) { return (value * 100 + 127) / 255; }

PositionRange PositionLimits(int32_t current, int32_t storeSide)
{
    const int64_t a = std::min<int64_t>(storeSide, 10000 - int64_t{storeSide});
    return {int32_t(std::min<int64_t>(-a, current)), int32_t(std::max<int64_t>(a, current))};
}

int32_t PositionFromField(double value) { return roundAwaySat<int32_t>(value); }

uint32_t InitialColour(int entry)
{
    return entry >= 0 && entry < kInitialColourCount ? kInitialColours[entry] : kInitialColours[0];
}

int NeutralColourEntry(int mode)
{
    const SLayerParam* param = LayerParam(mode);
    if (!param || !(param->Flags & kFlagNeutralFill))
        return -1;
    switch (param->NewLayerColour) {
    case 0xFFFFFF: return 0;
    case 0x000000: return 1;
    default: return 2;
    }
}

std::string InitialColourLabel(int entry, int mode)
{
    if (entry < 0 || entry >= kInitialColourCount)
        return {};
    std::string word = kInitialColourWords[entry];
    if (entry == NeutralColourEntry(mode))
        return word + "( 中性色 )";
    return word;
}

int InitialColourAfterModeChange(int mode) { return std::max(0, NeutralColourEntry(mode)); }

uint32_t NewLayerFill(int entry, bool transparent)
{
    return InitialColour(entry) | (transparent ? 0u : 0xFF000000u);
}

} // namespace morvane
