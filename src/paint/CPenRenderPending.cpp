// Watercolour, blur, spread and fingertip until their own files land: the
// stroke is refused at its start and any dab is skipped, with a line saying
// why. This file goes when CPenRenderWet/Blur/Smudge.cpp arrive.
#include <string>

#include "paint/CPenRender.h"
#include "platform/DiagnosticSink.h"

namespace morvane {
namespace {

bool NotBuilt(const char* what)
{
    Diagnose(std::string("pen: render class ") + what + " is not built yet");
    return false;
}

} // namespace

// No patch is ever made before the spread and fingertip stamps exist.
void PenTCDelete::operator()(CPenTC*) const {}

bool CPenRender::PrepareWatercolour(const TMTC&, float, float) { return NotBuilt("1 (watercolour)"); }
bool CPenRender::StampWatercolour(TMTC&, const PenDab&) { return NotBuilt("1 (watercolour)"); }
bool CPenRender::PrepareBlur() { return NotBuilt("2 (blur)"); }
bool CPenRender::StampBlur(TMTC&) { return NotBuilt("2 (blur)"); }
bool CPenRender::PrepareSmudge(const TMTC&, float, float) { return NotBuilt("4/5 (spread, fingertip)"); }
bool CPenRender::StampSpread(TMTC&) { return NotBuilt("4 (spread)"); }
bool CPenRender::StampFingertip(TMTC&) { return NotBuilt("5 (fingertip)"); }

} // namespace morvane
