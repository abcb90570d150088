#pragma once
// Pixel buffers of the core shown by the panels: a copy as an image (the
// byte order of Format_ARGB32 is the buffers' own), rows in picture order.
#include <QImage>

namespace morvane {

class TMTC;

// opaque: the alpha bytes are not shown (a composite keeps none of its own).
QImage ImageOf(const TMTC& buffer, bool opaque = false);
// Any image Qt holds as 32 bits (alpha kept); false for an empty image or
// one past the image limits, checked before anything is allocated.
bool BufferOf(const QImage& image, TMTC& out);

} // namespace morvane
