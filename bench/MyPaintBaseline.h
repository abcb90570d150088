#pragma once
// libmypaint as the baseline of the dab figures: the same places and radius
// drawn as hard, opaque dabs on a fixed tiled surface, timed up to and
// including end_atomic, where libmypaint finishes its work.
#include <mypaint-fixed-tiled-surface.h>
#include <mypaint-surface.h>

#include <vector>

#include "BenchSupport.h"

namespace morvane::bench {

struct DabPlace {
    float x, y;
};

inline void TimeMyPaintDabs(benchmark::State& state, int side, const std::vector<DabPlace>& places, float radius)
{
    MyPaintFixedTiledSurface* fixed = mypaint_fixed_tiled_surface_new(side, side);
    if (!fixed) {
        state.SkipWithError("libmypaint could not make the surface");
        return;
    }
    MyPaintSurface* surface = mypaint_fixed_tiled_surface_interface(fixed);
    TimeEach(state, int64_t(places.size()), [&] {
        mypaint_surface_begin_atomic(surface);
        for (const DabPlace& p : places)
            mypaint_surface_draw_dab(surface, p.x, p.y, radius, 0.2f, 0.4f, 0.8f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f,
                                     0.0f, 0.0f);
        MyPaintRectangle roi;
        mypaint_surface_end_atomic(surface, &roi);
        return true;
    });
    mypaint_surface_unref(surface);
}

} // namespace morvane::bench
