#include "platform/qt/TtcImage.h"

#include <QPainter>

#include "storage/TMTC.h"

namespace morvane {

QImage WrapTtc(const TTC& buffer)
{
    if (!buffer.IsValid())
        return {};
    // Blue, green, red, alpha bytes are exactly Format_ARGB32 on a little-endian machine.
    return QImage(buffer.Bits, buffer.Width, buffer.Height, qsizetype(buffer.Width) * 4, QImage::Format_ARGB32);
}

void DrawTtc(QPainter& painter, QPoint at, const TTC& buffer)
{
    const QImage image = WrapTtc(buffer);
    if (image.isNull())
        return;
    painter.save();
    painter.translate(at.x(), at.y() + buffer.Height);
    painter.scale(1, -1);
    painter.drawImage(0, 0, image);
    painter.restore();
}

} // namespace morvane
