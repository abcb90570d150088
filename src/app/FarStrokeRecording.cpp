#include "app/FarStrokeRecording.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "document/EventFile.h"
#include "document/TPaper.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/Clock.h"
#include "document/DocumentHost.h"
#include "storage/PortableMath.h"

namespace morvane {
namespace {

// Just inside the reach a stroke point may have.
constexpr double kFar = 1048576.0 - 64.0;

struct Line {
    double x0, y0, x1, y1;
};

// Stroke k: through a point of the canvas, at an angle, from kFar off on one
// side to kFar off on the other (a fixed sequence, no clock or library).
Line FarLine(int k)
{
    const double cx = 100 + (k * 397) % 800, cy = 100 + (k * 541) % 800;
    const SinCos turn = SinCosDegrees((k * 67) % 360 + 0.5);
    return {cx - kFar * turn.cosine, cy - kFar * turn.sine, cx + kFar * turn.cosine, cy + kFar * turn.sine};
}

// The part of the line on the canvas (Liang-Barsky); the line always
// crosses it.
Line Clipped(const Line& l)
{
    double t0 = 0, t1 = 1;
    const double dx = l.x1 - l.x0, dy = l.y1 - l.y0, side = kFarStrokeCanvas;
    const std::pair<double, double> edges[] = {{-dx, l.x0}, {dx, side - l.x0}, {-dy, l.y0}, {dy, side - l.y0}};
    for (const auto& [p, q] : edges) {
        if (p == 0)
            continue;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    return {l.x0 + t0 * dx, l.y0 + t0 * dy, l.x0 + t1 * dx, l.y0 + t1 * dy};
}

// Press at one end, then three moves to the other: the smoothed path runs
// from the first end through the middle towards the second.
bool Stroke(TPaper& paper, TFlowImage& flow, TStroke& pen, FixedClock& clock, const Line& l)
{
    if (!paper.StrokeBegin(flow, pen, true, 1.0f, float(l.y0), float(l.x0)))
        return false;
    for (int i = 0; i < 3; ++i) {
        clock.Advance(8);
        if (!paper.StrokePoint(flow, pen, true, 1.0f, float(l.y1), float(l.x1)))
            return false;
    }
    EdgeRect changed;
    return paper.StrokeEnd(flow, pen, true, changed);
}

} // namespace

int WriteFarStrokeRecording(const std::string& path, FarStrokes form, int strokes)
{
    FixedClock clock;
    Clock* previous = SetClock(&clock);
    RecordingDocumentHost host;
    TPaper paper(host);
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;
    NibRecord nib;
    nib.radius = 600;
    render.SetNib(nib);
    pen.color = 0xFF304070u;
    bool painted = paper.NewPicture("far", false, false, 72, kFarStrokeCanvas, kFarStrokeCanvas, kFarStrokeCanvas,
                                    kFarStrokeCanvas) &&
                   paper.SetPenRenderer(&render);
    for (int k = 0; painted && k < strokes; ++k)
        painted = Stroke(paper, flow, pen, clock, form == FarStrokes::Far ? FarLine(k) : Clipped(FarLine(k)));
    const int code = painted ? CodeNumber(SaveEventFile(path, paper, EventSaveRequest{})) : -1;
    paper.SetPenRenderer(nullptr);
    SetClock(previous);
    return code;
}

} // namespace morvane
