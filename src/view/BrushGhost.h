#pragma once
// The outline of the nib drawn over the window image where the pen would
// paint: an ellipse of the nib's radius, aspect and angle, or the contour
// where a bitmap nib's coverage crosses one half, at the view's scale and
// rotation, with an optional centre mark. It sits on whole window pixels, so
// its pixels are worked out once per nib and view and only moved after; a
// move draws again the small bands that hold the old and the new outline,
// not the whole box of a large one.
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
    // Rectangles of a few rows that together hold every pixel of the
    // outline around a window point, clipped to the client.
    std::vector<EdgeRect> Bands(const CViewState& view, DocPoint centre, bool centreMark) const;
    // What a move from one place to another draws again: the bands of both,
    // those of the same part merged where they meet.
    static std::vector<EdgeRect> MoveBands(const std::vector<EdgeRect>& from, const std::vector<EdgeRect>& to);
    // Draws the outline into the window image (a TTC, rows bottom-up)
    // inside clip only, black over light pixels and white over dark ones.
    void Draw(TMTC& window, const EdgeRect& clip, const CViewState& view, DocPoint centre, bool centreMark) const;

    // The farthest outline point from the centre on screen (tests and the box).
    double ScreenRadius(const CViewState& view) const;

private:
    // The outline's pixels as offsets from the pixel under the centre, each
    // once, row by row, with their bands and box: for one view and mark.
    struct Pattern {
        double ax = 0, ay = 0, bx = 0, by = 0; // the view's linear part
        bool mark = false;
        bool valid = false;
        std::vector<Point> offsets;
        std::vector<EdgeRect> bands;
        EdgeRect box;
    };
    // The segments mapped into window offsets from the centre.
    std::vector<Segment> OnScreen(const CViewState& view) const;
    const Pattern& PatternFor(const CViewState& view, bool centreMark) const;
    void Forget() { pattern_.valid = false; }

    std::vector<Segment> outline_;
    mutable Pattern pattern_;
};

} // namespace morvane
