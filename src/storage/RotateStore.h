#pragma once
// Turning a layer store by any angle. The result is resampled bilinearly on
// premultiplied alpha in integer fixed point, so a replay gives the same
// bytes and transparent pixels never tint the edges of what they border.
#include <cstdint>
#include <memory>

#include "storage/Rect.h"

namespace morvane {

class CBlockVMTC;

// source turned clockwise (on screen, y down) by degrees about (centreX,
// centreY), both in source coordinates. The new store is the bounding box of
// the turned source, so nothing is cut; topLeft receives where its (0, 0)
// lies in source coordinates. Samples outside the source are transparent.
// nullptr for a non-finite angle or centre, a box past the store limits, or
// when memory runs out.
std::unique_ptr<CBlockVMTC> RotateStore(const CBlockVMTC& source, double centreX, double centreY, double degrees,
                                        Point& topLeft);

} // namespace morvane
