#pragma once
// The outline of the nib drawn over the window image where the pen would
// paint: an ellipse of the nib's radius, aspect and angle, or the contour
// where a bitmap nib's coverage crosses one half, at the view's scale and
// rotation, with an optional centre mark. Only its box needs redrawing when
// it moves.
#include <cstdint>
#include <vector>

#include "storage/Rect.h"
#include "view/CViewState.h"

namespace morvane {

class TMTC;
class TPaintParam;

class BrushGhost {
public:
    // The nib of a parameter set at full pressure (document pixels).
    void SetNib(const TPaintParam& param);
    void SetEllipse(double radius, double aspect, double angleDegrees);
    // coverage: w x h bytes, rows from the top, 255 full.
    void SetBitmap(const uint8_t* coverage, int32_t w, int32_t h, double scale, double aspect, double angleDegrees);

    // The outline's segments in document units around the nib's centre.
    struct Segment {
        DocPoint a, b;
    };
    const std::vector<Segment>& Outline() const { return outline_; }

    // The window pixels the outline (and mark) covers around a window
    // point, clipped to the client; empty without an outline.
    EdgeRect Box(const CViewState& view, DocPoint centre, bool centreMark) const;
    // Draws the outline into the window image (a TTC, rows bottom-up)
    // inside clip only, black over light pixels and white over dark ones.
    void Draw(TMTC& window, const EdgeRect& clip, const CViewState& view, DocPoint centre, bool centreMark) const;

    // The farthest outline point from the centre on screen (tests and the box).
    double ScreenRadius(const CViewState& view) const;

private:
    // The segments mapped into window offsets from the centre.
    std::vector<Segment> OnScreen(const CViewState& view) const;

    std::vector<Segment> outline_;
};

} // namespace morvane
