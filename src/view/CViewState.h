#pragma once
// Where a document sits in its window: the scale (one of seventeen steps or a
// ratio between them), the anchors of the unrotated view, the rotation and the
// client size, with the transforms between window and document points.
// Document coordinates put a pixel's centre on the integer; window pixels are
// whole device pixels.
#include <array>
#include <cstdint>

#include "storage/Rect.h"

namespace morvane {

struct ScaleRatio {
    int32_t num = 1, den = 1;
    bool operator==(const ScaleRatio&) const = default;
};

struct DocPoint {
    double x = 0.0, y = 0.0;
};

inline constexpr std::array<ScaleRatio, 17> kScaleSteps{{{1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 4}, {1, 3},
                                                         {1, 2}, {2, 3}, {1, 1}, {3, 2}, {2, 1}, {3, 1},
                                                         {4, 1}, {6, 1}, {8, 1}, {12, 1}, {16, 1}}};

class CViewState {
public:
    // ---- scale ----
    ScaleRatio Scale() const { return scale_; }
    double ScaleValue() const { return double(scale_.num) / scale_.den; }
    // False, nothing changed, unless both are >= 1; the value is limited to
    // [1/16, 16].
    bool SetScale(int32_t num, int32_t den);
    // The same from a value (wheel steps); false for a value that is not finite.
    bool SetScaleValue(double value);
    bool CanZoomIn() const { return ScaleValue() < 16.0; }
    bool CanZoomOut() const { return ScaleValue() > 1.0 / 16.0; }
    // The next step above / the largest step below the current scale.
    ScaleRatio StepIn() const;
    ScaleRatio StepOut() const;
    // The scale becomes `to` while the window point `at` keeps showing the
    // same document point.
    bool ZoomAt(ScaleRatio to, DocPoint at);
    bool ZoomIn(DocPoint at) { return CanZoomIn() && ZoomAt(StepIn(), at); }
    bool ZoomOut(DocPoint at) { return CanZoomOut() && ZoomAt(StepOut(), at); }
    // The largest step at which the document (rotated: its bounding box) fits
    // the client, centred; 1/16 when none does.
    void Fit();

    // ---- rotation ----
    bool Rotated() const { return rotated_; }
    double Angle() const { return angle_; }
    DocPoint RotationCentre() const { return centre_; }
    // Degrees; a multiple of 360 returns to the unrotated view with the
    // rotation centre kept at the window centre. Entering rotation takes the
    // document point at the window centre as the centre. False for a value
    // that is not finite.
    bool SetRotation(double degrees);
    // Scrolling a rotated view moves its centre; false for a point that is not finite.
    bool SetRotationCentre(DocPoint centre);

    // ---- client and anchors ----
    // Negative sizes count as 0 (a hidden window); huge ones are limited.
    void SetClient(int32_t width, int32_t height);
    void SetDocument(int32_t width, int32_t height);
    int32_t ClientWidth() const { return clientW_; }
    int32_t ClientHeight() const { return clientH_; }
    int32_t DocumentWidth() const { return docW_; }
    int32_t DocumentHeight() const { return docH_; }
    // The window point at which the document anchor shows (unrotated view).
    Point WindowAnchor() const { return winAnchor_; }
    Point DocumentAnchor() const { return docAnchor_; }
    // Sets both anchors as given, then keeps the rule: the window anchor is
    // above 0 only on an axis where the document is smaller than the client,
    // which then shows it centred with the document anchor 0.
    void SetAnchors(Point window, Point document);

    // ---- transforms ----
    DocPoint WindowToDocument(DocPoint window) const;
    DocPoint DocumentToWindow(DocPoint doc) const;
    // The document pixel under the window centre.
    Point WindowCentrePoint() const;
    // The window pixels a document rectangle may touch (rotated: its bounding
    // box), grown by one pixel for rounding and clipped to the client.
    EdgeRect DocumentRectToWindow(const EdgeRect& doc) const;

    // sin and cos of the angle, as the renderer steps them.
    double Sin() const { return sin_; }
    double Cos() const { return cos_; }

private:
    // Anchors that put the document point `doc` at the window point `win`.
    void PlaceUnrotated(DocPoint doc, DocPoint win);
    void PlaceRotated(DocPoint doc, DocPoint win);
    void KeepAnchorRule();

    ScaleRatio scale_;
    Point winAnchor_, docAnchor_;
    bool rotated_ = false;
    double angle_ = 0.0, sin_ = 0.0, cos_ = 1.0;
    DocPoint centre_;
    int32_t clientW_ = 0, clientH_ = 0;
    int32_t docW_ = 0, docH_ = 0;
};

} // namespace morvane
