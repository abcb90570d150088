#pragma once
// The stroke of the figure stroke_gamma_own_vs_libm, shared by its two
// programs: StrokeGammaBench runs it with the project's own powers and
// angles, StrokeGammaLibmBench with the C library's put in their place at
// link time. Each stroke curves its pressure by a gamma of 2.2 (two powers a
// segment), changes the air map to the curve p(0.5) = 0.3 so its 2 x 2048
// entries are rebuilt (a power each), and paints with a turned elliptical
// nib whose grids are built for every new size pressure gives.
#include <array>
#include <cmath>
#include <vector>

#include "BenchSupport.h"
#include "document/TPaper.h"
#include "paint/CPenRender.h"
#include "paint/CStrokeMngr.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "document/DocumentHost.h"

namespace morvane::bench {

inline constexpr const char* kStrokeGammaFigure = "stroke_gamma_own_vs_libm";

struct StrokeGammaScene {
    static constexpr int32_t kCanvas = 1024;
    static constexpr int kPoints = 400;

    SilentDocumentHost host;
    TPaper paper{host};
    TStroke stroke;
    CPenRender render{stroke};
    TFlowImage flow;
    std::vector<std::array<float, 3>> path; // x, y, pressure
    bool ready = false;
    int32_t strokes = 0;

    StrokeGammaScene()
    {
        if (!paper.NewPicture("g", false, false, 72, kCanvas, kCanvas, kCanvas, kCanvas, false) ||
            !paper.SetStrokeEngine(2) || !paper.SetPenRenderer(&render))
            return;
        BrushMethodRecord method;
        method.renderClass = uint8_t(RenderClass::Draw);
        render.SetMethod(method);
        NibRecord nib;
        nib.radius = 1600;
        nib.aspect = 500;
        nib.angle = 300;
        nib.minRadius = 200;
        render.SetNib(nib);
        stroke.color = 0xFF3060C0;
        BrushRecord brush;
        brush.pressureSize = brush.pressureDensity = true;
        brush.gamma = 220;
        paper.StrokeManager().SetBrush(brush);
        // Across the canvas and back in waves; the pressure swells and fades.
        for (int i = 0; i < kPoints; ++i) {
            const float t = float(i) / float(kPoints - 1);
            path.push_back({40 + t * (kCanvas - 80), kCanvas / 2 + 300 * std::sin(t * 12.0f),
                            0.1f + 0.9f * std::fabs(std::sin(t * 7.0f))});
        }
        ready = true;
    }

    bool Run()
    {
        // A new air map every stroke: the flat part alternates.
        AirMapRecord airMap;
        airMap.curve = 4;
        airMap.flat = (strokes++ & 1) * 100;
        render.SetAirMap(airMap);
        if (!ready || !paper.StrokeBegin(flow, stroke, false, path[0][2], path[0][1], path[0][0]))
            return false;
        for (size_t i = 1; i < path.size(); ++i)
            paper.StrokePoint(flow, stroke, false, path[i][2], path[i][1], path[i][0]);
        EdgeRect out;
        return paper.StrokeEnd(flow, stroke, false, out);
    }
};

inline void TimeStrokeGamma(benchmark::State& state)
{
    StrokeGammaScene scene;
    TimeEach(state, 0, [&] { return scene.Run(); });
}

} // namespace morvane::bench
