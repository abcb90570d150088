#include "gui/PixelImages.h"

#include <cstring>

#include "storage/TMTC.h"

namespace morvane {

QImage ImageOf(const TMTC& buffer, bool opaque)
{
    if (!buffer.IsValid())
        return {};
    QImage image(buffer.Width, buffer.Height, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    for (int32_t y = 0; y < buffer.Height; ++y)
        std::memcpy(image.scanLine(y), buffer.Row(y), size_t(buffer.Width) * 4);
    return image;
}

} // namespace morvane
