#pragma once
// The tool the pen paints with: the current operation, one tool kept for
// each end of the pen, the colour and the default brush. The tool window
// edits it; document windows read it when a gesture begins.
#include <cstdint>

#include "paint/PaintRecords.h"
#include "paint/TStroke.h"

namespace morvane {

// Tool classes of the document window's input.
enum class ToolClass : uint8_t {
    Freehand = 0,
    Zoom = 1,
    ColourPicker = 2,
    View = 3,
    SeedFill = 4,
    Move = 5,
    Shape = 6,
    AreaFill = 7,
    Selection = 8,
    Text = 9
};

// Sub-operations of the view class.
inline constexpr uint8_t kViewHand = 0, kViewRotate = 1, kViewBrushSize = 2;
// Sub-operations of the zoom class.
inline constexpr uint8_t kZoomIn = 0, kZoomOut = 1;
// Sub-operations of the seed-fill class: fill, magic eraser, auto-select.
inline constexpr uint8_t kSeedFill = 0, kMagicEraser = 1, kAutoSelect = 2;

struct Operation {
    ToolClass toolClass = ToolClass::Freehand;
    uint8_t sub = 0;
    bool operator==(const Operation&) const = default;
};

enum class PenEnd : uint8_t { Tip = 0, Eraser = 1 };

class ToolState {
public:
    // The radius range of the size control.
    static constexpr float kMinRadius = 0.1f, kMaxRadius = 200.0f;

    ToolState();

    Operation Current() const { return tools_[int(end_)].operation; }
    void Select(Operation operation) { tools_[int(end_)].operation = operation; }
    // Turning the pen over brings back the tool kept for that end.
    PenEnd End() const { return end_; }
    void SetEnd(PenEnd end);

    float Radius() const { return tools_[int(end_)].radius; }
    // Clamped into the size control's range; NaN keeps the radius.
    void SetRadius(float radius);

    uint32_t colour = 0xFF000000u;
    BrushRecord brush;

    // The stroke that paints, with the current end's radius and the colour
    // taken over (what an edit prepares before it runs).
    TStroke& Pen() { return pen_; }
    void ApplyToPen();

private:
    struct Tool {
        Operation operation;
        float radius = 3.0f;
    };
    Tool tools_[2];
    PenEnd end_ = PenEnd::Tip;
    TStroke pen_;
};

} // namespace morvane
