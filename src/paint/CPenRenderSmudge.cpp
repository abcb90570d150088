// Spread and fingertip: a patch of the picture is picked up at one dab and
// put down at a later one, so paint is dragged along the stroke. The spread
// carries what it has just laid down; the fingertip always puts down the
// patch of the position before, so it starts only once the pen has moved.
#include <algorithm>
#include <cmath>
#include <new>

#include "paint/CPenRender.h"
#include "paint/CPenTC.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "storage/FixedPoint.h"
#include "storage/TMTC.h"

namespace morvane {

void PenTCDelete::operator()(CPenTC* patch) const
{
    delete patch;
}

namespace {

// ChainRow takes spans of at most this many pixels.
constexpr int32_t kSpan = CPenRender::kChainSpan;
// Start positions are kept where a patch centre still fits in 16.16.
constexpr int32_t kReach = 0x7FFF - 1024;

int32_t StartPosition(float v)
{
    return std::clamp(truncSat(std::floor(double(v))), -kReach, kReach);
}

bool Pick(CPenTC& patch, const TMTC& image, int32_t x, int32_t y, int32_t rx, int32_t ry, int32_t reach)
{
    if (patch.Pick(image, x, y, rx, ry, reach))
        return true;
    Diagnose("pen: no memory for a pick-up patch");
    return false;
}

// The start patch into the first one, unless picked already.
bool PickStart(TStroke& stroke, CPenTC& first, const TMTC& image, int32_t rx, int32_t ry, int32_t reach)
{
    if (stroke.pickCounter >= 0)
        return true;
    if (!Pick(first, image, stroke.lastPickX * kFixedOne, stroke.lastPickY * kFixedOne, rx, ry, reach))
        return false;
    stroke.pickCounter = 0;
    return true;
}

// A pick at the dab (integer position cx, cy) when it moved from the last one.
bool Moved(const TStroke& stroke, int32_t cx, int32_t cy)
{
    return cx != stroke.lastPickX || cy != stroke.lastPickY;
}

void NotePick(TStroke& stroke, int32_t cx, int32_t cy)
{
    stroke.lastPickX = cx;
    stroke.lastPickY = cy;
    ++stroke.pickCounter;
}

} // namespace

bool CPenRender::PrepareSmudge(const TMTC& image, float x, float y)
{
    if (!image.IsValid() || image.Width <= 0 || image.Height <= 0)
        return false;
    for (auto& patch : pickup) {
        if (!patch)
            patch.reset(new (std::nothrow) CPenTC);
        if (!patch)
            return false;
        patch->Reset();
    }
    // The start patch is picked by the first dab: until then nothing has
    // painted, so it sees what a pick here would. Every patch is as large as
    // the stroke's largest dab, which pressure may reach only later.
    stroke->lastPickX = StartPosition(x);
    stroke->lastPickY = StartPosition(y);
    stroke->pickCounter = -1;
    pickupIndex = 0;
    return true;
}

void CPenRender::PutDown(TMTC& image, const CPenTC& patch) const
{
    if (!patch.Picked())
        return;
    const int32_t cx = dabX >> 16, cy = dabY >> 16;
    EdgeRect box = DabBox();
    // Patches are sized for the stroke's largest dab; a dab larger still
    // (never from a stroke) puts down only what the patch holds.
    if (!patch.Covers(box, cx, cy)) {
        Diagnose("pen: pick-up patch does not cover the dab box");
        if (!Intersect(box, {cx - patch.hx, cy - patch.hy, cx + patch.hx + 1, cy + patch.hy + 1}, box))
            return;
    }
    const Plot plot = chain_.plot == Plot::Keep ? Plot::Keep : Plot::Mix;
    uint8_t alpha[kSpan];
    uint32_t colours[kSpan];
    for (int32_t y = box.top; y < box.bottom; ++y)
        for (int32_t x = box.left; x < box.right; x += kSpan) {
            const int32_t count = std::min(kSpan, box.right - x);
            NibRow(x, y, count, alpha);
            if (std::all_of(alpha, alpha + count, [](uint8_t a) { return a == 0; }))
                continue;
            const uint32_t* source = patch.RowAt(x - cx, y - cy);
            for (int32_t i = 0; i < count; ++i)
                colours[i] = (source[i] >> 24) != 0 ? source[i] : dabColor;
            ChainRow(image, x, y, count, alpha, colours, dabColor, plot);
        }
}

bool CPenRender::StampSpread(TMTC& image)
{
    CPenTC& patch = *pickup[0];
    if (!PickStart(*stroke, patch, image, dabRadiusX, dabRadiusY, strokeReach))
        return false;
    PutDown(image, patch);
    const int32_t cx = dabX >> 16, cy = dabY >> 16;
    // A failed pick leaves no patch; the next dab picks again where the
    // last pick was.
    if (Moved(*stroke, cx, cy)) {
        if (Pick(patch, image, dabX, dabY, dabRadiusX, dabRadiusY, strokeReach))
            NotePick(*stroke, cx, cy);
        else
            stroke->pickCounter = -1;
    }
    return true;
}

bool CPenRender::StampFingertip(TMTC& image)
{
    if (!PickStart(*stroke, *pickup[0], image, dabRadiusX, dabRadiusY, strokeReach))
        return false;
    const int32_t cx = dabX >> 16, cy = dabY >> 16;
    if (Moved(*stroke, cx, cy)) {
        if (!Pick(*pickup[size_t(pickupIndex ^ 1)], image, dabX, dabY, dabRadiusX, dabRadiusY, strokeReach))
            return false;
        pickupIndex ^= 1;
        NotePick(*stroke, cx, cy);
    }
    if (stroke->pickCounter == 0)
        return false; // not moved yet: nothing to put down
    PutDown(image, *pickup[size_t(pickupIndex ^ 1)]);
    return true;
}

} // namespace morvane
