#include "events/EventPayloadsActions.h"

#include <cmath>

#include "storage/Compression.h"
#include "storage/SizeLimits.h"

namespace morvane {
namespace {

bool ArePointsInReach(const std::vector<StreamPoint>& points)
{
    for (const StreamPoint& p : points)
        if (!IsStreamCoordinate(p.x) || !IsStreamCoordinate(p.y))
            return false;
    return true;
}

} // namespace

bool StrokePointsPayload::Validate() const
{
    if (code < 1 || code > 16 || points.size() != code)
        return false;
    for (const Point& p : points)
        if (!IsStreamCoordinate(p.x) || !IsStreamCoordinate(p.y) || !std::isfinite(p.pressure))
            return false;
    return true;
}

bool AreaFillPayload::Validate() const { return ArePointsInReach({first, second}); }

bool PolygonFillPayload::Validate() const
{
    return count >= 0 && points.size() == size_t(count) && ArePointsInReach(points);
}

bool SelectionShapePayload::Validate() const
{
    if (code != 18 && count != 0)
        return false;
    return points.size() == (code == 18 ? count : 2u) && ArePointsInReach(points);
}

int PixelBlockPayload::KindOf(uint8_t code)
{
    switch (code) {
    case 0:
    case 4:
        return 0;
    case 1:
        return 1;
    case 16:
        return 2;
    case 17:
        return 3;
    case 32:
        return 6;
    case 2:
    case 5:
        return 4;
    case 3:
        return 5;
    default:
        return -1;
    }
}

bool PixelBlockPayload::Validate() const
{
    if (kind != KindOf(code) || !IsStoreSizeAllowed(width, height) || !IsImageSizeAllowed(snapWidth, snapHeight))
        return false;
    if (!IsEnlarged(code) && (offsetX != 0 || offsetY != 0))
        return false;
    // The coverage rectangle lies inside the layer.
    if (left < 0 || top < 0 || int64_t(left) + snapWidth > width || int64_t(top) + snapHeight > height)
        return false;
    if (packedSize < 0 || fieldSize != ((uint64_t(packedSize) + 1) & ~uint64_t(1)) || field.size() != fieldSize)
        return false;
    // The frame's header must promise the rectangle; it is unpacked when used.
    return unpackedSize >= 0 && int64_t(unpackedSize) == int64_t(snapWidth) * snapHeight &&
           uint64_t(packedSize) <= field.size() &&
           IsFrameOf(std::span(field).first(size_t(packedSize)), size_t(unpackedSize));
}

bool PixelBlockPayload::Unpack(std::vector<uint8_t>& coverage) const
{
    if (unpackedSize < 0 || int64_t(unpackedSize) != int64_t(snapWidth) * snapHeight || packedSize < 0)
        return false;
    return UnpackField(field, uint64_t(packedSize), uint64_t(unpackedSize), coverage);
}

bool PixelBlockPayload::Pack(std::span<const uint8_t> coverage)
{
    MemoryCompressSink sink;
    if (coverage.size() > uint64_t(kMaxImagePixels) || !Compress(coverage, sink, kCompressLevelEvents))
        return false;
    unpackedSize = int32_t(coverage.size());
    packedSize = int32_t(sink.Data().size());
    fieldSize = (uint32_t(packedSize) + 1) & ~1u;
    field.assign(sink.Data().begin(), sink.Data().end());
    field.resize(fieldSize, 0);
    return true;
}

} // namespace morvane
