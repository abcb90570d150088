#include "events/EventPayloadsCommands.h"

#include <cmath>

#include "storage/ModeCount.h"
#include "storage/SizeLimits.h"

namespace morvane {

bool IsStoredText(const std::string& text, size_t maxLength)
{
    return text.size() <= maxLength && text.find('\0') == std::string::npos;
}

namespace {

// The first layer of a new canvas: its sides, or 0 x 0 where the paint
// mode does not use them.
bool IsFirstLayerSize(int32_t width, int32_t height)
{
    return (width == 0 && height == 0) || IsStoreSizeAllowed(width, height);
}

} // namespace

bool NewCanvasOldPayload::Validate() const
{
    return IsPictureSizeAllowed(width, height) && IsFirstLayerSize(layerWidth, layerHeight);
}

bool NewCanvasPayload::Validate() const
{
    return IsPictureSizeAllowed(width, height) && IsFirstLayerSize(layerWidth, layerHeight) && resolution >= 0;
}

bool CanvasSizePayload::Validate() const { return IsPictureSizeAllowed(width, height); }

bool ResamplePayload::Validate() const { return IsPictureSizeAllowed(width, height); }

bool CropPayload::Validate() const
{
    return IsPictureSizeAllowed(int64_t(right) - left, int64_t(bottom) - top);
}

bool NewLayerQuickPayload::Validate() const
{
    return layer >= 0 && IsStoreSizeAllowed(width, height) && IsValidMode(mode);
}

bool NewLayerPayload::Validate() const
{
    return layer >= 0 && IsStoreSizeAllowed(width, height) && IsValidMode(mode) && IsStoredText(name);
}

bool LayerLookPayload::Validate() const
{
    return layer >= 0 && IsValidMode(mode) && (code == 21 || (ditherDensity == 0 && ditherValue == 0));
}

bool RotateLayerPayload::Validate() const { return layer >= 0 && std::isfinite(degrees); }

bool LinkLevelsPayload::Validate() const
{
    return layer >= 0 && count >= 0 && unit == 1 && tables == 2 && length == 2 * int32_t(count) &&
           levels.size() == size_t(length);
}

} // namespace morvane
