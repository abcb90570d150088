#pragma once
// The demo picture of the README's run command: a small composition made
// with the pixel buffers' primitives and blends, written as a BMP file.

namespace morvane {

class TMTC;

// Draws the demo into `image` (resized to 640 x 400).
bool DrawDemoPicture(TMTC& image);
bool WriteDemoPicture(const char* fileName);

} // namespace morvane
