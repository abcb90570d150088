#include "gui/PixelImages.h"

#include "storage/SizeLimits.h"

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

bool BufferOf(const QImage& image, TMTC& out)
{
    if (image.isNull() || !IsImageSizeAllowed(image.width(), image.height()))
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull() || !out.Resize(argb.width(), argb.height()))
        return false;
    for (int32_t y = 0; y < out.Height; ++y)
        std::memcpy(out.Row(y), argb.constScanLine(y), size_t(out.Width) * 4);
    return true;
}

} // namespace morvane
