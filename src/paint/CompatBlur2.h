#pragma once
// The wet paint of a "blur2" stroke: its dabs only raise the coverage
// channel, and after every move the changed rectangle is rebuilt from the
// layer blurred through that channel as a mask.
#include <cstdint>

#include "paint/PenStampMath.h"
#include "storage/Rect.h"

namespace morvane {

class CBlockVMTC;
class CPenRender;
class TFlowImage;

// Box radius of the blur for the stroke's radius and effect 1 (0-100).
int32_t Blur2Reach(float radius, float effect1);

// rect (store coordinates) of the wet paint gets the layer's pixels back,
// then the (2L + 1)^2 box blur of those pixels blended over them with
// alpha = min(255, coverage x 8), through the renderer's final write for
// blur (mix, or keep colour only on a protected layer). False, nothing
// changed, when the flow image is not loaded, rect misses it, or the
// scratch cannot be had.
bool RebuildBlur2(TFlowImage& flow, const EdgeRect& rect, const CBlockVMTC& store, int32_t L,
                  const CPenRender& render, BlurScratch& scratch);

} // namespace morvane
