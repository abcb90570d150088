// Render classes that paint one colour through the chain: draw (airbrush, or
// the pencil into the coverage channel), erase, burn and dodge.
#include <algorithm>
#include <cmath>

#include "paint/CPenRender.h"
#include "paint/TStroke.h"
#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

bool CPenRender::StampDraw(TMTC& image)
{
    Paint(image, dabColor, chain_.plot);
    return true;
}

bool CPenRender::StampErase(TMTC& image)
{
    // A protected layer keeps its alpha, so erasing paints its background.
    if (stroke->ProtectAlpha())
        Paint(image, backgroundColour, Plot::Keep);
    else
        Paint(image, dabColor, Plot::Erase);
    return true;
}

bool CPenRender::StampBurnDodge(TMTC& image)
{
    // At exposure 0 the curve is the identity, but the table's 2048 steps
    // and the conversions' truncation would still darken by a level.
    if (method.effect1 == 0)
        return false;
    Paint(image, dabColor, Plot::Lightness);
    return true;
}

void CPenRender::BuildLightnessTable()
{
    PrepareLightness(method.effect1, method.dodge != 0);
}

void CPenRender::PrepareLightness(int32_t exposure, bool dodge)
{
    const double strength = 1.0 + 0.002 * std::clamp(exposure, 0, 100);
    const double k = dodge ? 1.0 / strength : strength;
    lightnessTable.resize(kLightnessEntries);
    for (int32_t i = 0; i < kLightnessEntries; ++i)
        lightnessTable[i] = roundSat(PowUnit(double(i) / (kLightnessEntries - 1), k) * kFixedOne);
}

bool CPenRender::StampCoverage(TChannel& coverage, const PenDab& dab)
{
    if (!strokeReady_)
        return false;
    bool touched = false;
    // Thin pencils are stamped across the segment as well, so a line of
    // small dabs leaves no gaps whichever way it runs. A y-major segment
    // scans that way already, and the same stamp twice keeps the same
    // maximum: once is enough.
    if (dab.radius >= 0.5f && dab.radius < 3.0f && spanAcross == 0 &&
        SetupDab(dab, coverage.Width, coverage.Height, true, true)) {
        PaintCoverage(coverage, 255);
        touched = true;
    }
    if (SetupDab(dab, coverage.Width, coverage.Height, true, spanAcross != 0)) {
        PaintCoverage(coverage, 255);
        touched = true;
    }
    return touched;
}

} // namespace morvane
