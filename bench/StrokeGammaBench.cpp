// stroke_gamma_own_vs_libm, our side: the stroke of StrokeGammaScene.h with
// the project's own powers and angles (see StrokeGammaLibmBench.cpp).
#include "StrokeGammaScene.h"

namespace morvane::bench {
namespace {
[[maybe_unused]] const bool registered = RegisterSide(kStrokeGammaFigure, "ours", TimeStrokeGamma);
} // namespace
} // namespace morvane::bench
