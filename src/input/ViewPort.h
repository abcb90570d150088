#pragma once
// What the input of a document window asks of its view: the scale, zoom
// steps about a window point, scrolling, rotation and the window-to-document
// conversion. The desktop window implements it over its view; tests use a
// plain fake.
#include <cmath>

namespace morvane {

struct PointD {
    double x = 0, y = 0;
};

inline bool IsFinite(PointD p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

class ViewPort {
public:
    virtual ~ViewPort() = default;
    // Window pixels per document pixel.
    virtual double Scale() const = 0;
    // One zoom step in or out keeping the document point under anchor (window
    // coordinates) in place; false when the view has no further step.
    virtual bool ZoomStep(bool in, PointD anchor) = 0;
    // The scale moved by points percentage points (10: 100 % -> 110 %);
    // false when the view cannot go further that way.
    virtual bool ZoomByPoints(int points, PointD anchor) = 0;
    // Shows content dx, dy window pixels further right and down.
    virtual void ScrollBy(int dx, int dy) = 0;
    // Degrees, clockwise on screen.
    virtual double Rotation() const = 0;
    virtual void SetRotation(double degrees) = 0;
    virtual PointD WindowToDocument(PointD window) const = 0;
    // Client size in window pixels.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
};

} // namespace morvane
