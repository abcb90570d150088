#pragma once
// The input of one document window: button presses, moves, releases, the
// wheel and tablet packets, routed to the current tool. Painting tools turn
// them into stroke begin, move and end calls on the document; the view
// tools zoom, scroll, rotate and size the brush through the window's view.
// Plain structs in, no toolkit: the desktop window translates its events.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "input/ToolState.h"
#include "input/ViewPort.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane {

class TPaper;

enum InputModifier : uint32_t { kModShift = 1, kModCtrl = 2, kModAlt = 4, kModSpace = 8 };
enum class MouseButton : uint8_t { Left, Right, Middle };
// The keys the tools answer to (the window keeps the others).
enum class InputKey : uint8_t { Space, Escape };

struct PointerEvent {
    PointD at; // window coordinates
    uint32_t modifiers = 0;
    bool doubleClick = false;
};

// The input preferences, read when the window is made or the settings change
// (InputSettingsFrom in the profile).
struct InputSettings {
    int32_t shortcutMode = 0;      // modifier scheme 0 or 1; others swap nothing in
    int32_t middleButton = 0;      // what the middle button does, 0-10
    bool rightButtonPicker = true; // the right button picks colours while painting
    bool autoScroll = false;
};
// The tool the middle button swaps in for its preference 0-10; the hand for
// any other value.
Operation MiddleButtonOperation(int32_t setting);

// What the window knows that decides whether its document may be changed.
struct WindowEditState {
    bool renderMode = false;   // the program renders or views only
    bool playerWindow = false; // the window plays a recording
    bool replaying = false;    // its recording is being replayed now
    bool replayEnded = false;
    bool busy = false;  // the window or the main window runs an operation of its own
    bool modal = false; // a modal pointer operation holds the window
};

struct EditQuery {
    bool evenWhilePlayedBack = true;
    bool checkPlayer = false;
    bool playerMustHaveEnded = true;
};

// Whether a command may change the document now. Pure: false while a stroke
// runs, since a packet recorded then would land inside the stroke.
bool CanEdit(const TPaper* paper, const WindowEditState& window, EditQuery query = {});
// What a stroke or a command does before it runs: the current tool's
// parameter set goes into the pen (with the colours), its brush record into
// the stroke manager, and its method, nib, air map, threshold and bitmap nib
// into the renderer. The document keeps the pen as the one its state records
// describe.
void PrepareEdit(TPaper& paper, ToolState& tools, TStroke& pen);
// The stroke engine a kind paints on: the compatible one for kinds 0-8, the
// current one for the others, never above what the document has reached.
uint8_t EngineForKind(PaintKind kind, uint8_t engineLevelMax);
// The tool classes whose tools are built; the others are refused.
bool ToolClassBuilt(ToolClass toolClass);
// The same for one operation: a built class may still lack some of its tools.
bool OperationBuilt(Operation operation);

// What the window draws over the view while a selection or move gesture
// runs: a polyline in canvas pixel-edge coordinates (pixel x spans x to
// x + 1), closed back to its first point when asked.
struct ToolOutline {
    std::vector<PointD> points;
    bool closed = true;
    bool Empty() const { return points.empty(); }
};

class InputRouter {
public:
    // A stroke ends by itself after this many moves.
    static constexpr int32_t kMaxStrokeMoves = 60000;
    static constexpr int kWheelStep = 120;
    // Auto-scroll margin (window pixels) and the factor of its speed.
    static constexpr int kScrollMargin = 16, kScrollFactor = 4;

    // None is owned; all must outlive the router.
    InputRouter(TPaper& paper, ViewPort& view, ToolState& tools, InputSettings settings = {});

    void Press(MouseButton button, const PointerEvent& event);
    void Move(const PointerEvent& event);
    void Release(MouseButton button, const PointerEvent& event);
    // angleDelta of the wheel (120 a notch); a notch zooms one step about the
    // client centre, Alt without the space bar by 10 percentage points.
    void Wheel(int angleDelta, uint32_t modifiers);

    // A key for the tool: the space bar closes a polygon being clicked,
    // Escape drops it.
    void Key(InputKey key);

    // The outline of the running selection or move gesture; empty when none.
    const ToolOutline& Outline() const { return outline_; }
    // Told whenever the outline or the dragged selection's offset changes.
    std::function<void()> outlineChanged;

    // A tablet packet at a window point. pressure > 0 paints (a stroke only
    // starts when startAllowed: the point lies on this window and it is the
    // active one); pressure 0 ends the stroke or just hovers.
    void TabletPacket(PointD at, float pressure, uint32_t modifiers, bool startAllowed);
    // While the pen is in proximity the mouse does not paint.
    void SetTabletDriving(bool on) { tabletDriving_ = on; }

    // The window lost the pointer (deactivated, closed, hidden, the pen left
    // proximity): the gesture ends as a release would, a stroke with its end.
    void LosePointer();
    // The tool window chose another tool: the running gesture ends first.
    void SelectOperation(Operation operation);
    void SelectEnd(PenEnd end);
    // A gesture or stroke runs, or the window is busy: the tool must not
    // change now.
    bool Busy() const;
    // This window's pen, set up from the tool state before each stroke and
    // command.
    TStroke& Pen() { return pen_; }
    void PrepareEdit() { morvane::PrepareEdit(paper_, tools_, pen_); }

    // The timer of the window calls this while AutoScrolling(); the window
    // hears when a painting drag starts and stops asking for it.
    bool AutoScrolling() const { return autoScroll_; }
    void AutoScrollTick();
    std::function<void(bool on)> autoScrollChanged;

    void SetSettings(const InputSettings& settings) { settings_ = settings; }
    TFlowImage& Flow() { return flow_; }
    // The last pointer position in whole document pixels and the time of the
    // last pointer action.
    PointD LastDocumentPoint() const { return lastDocument_; }
    // The last pointer position in window coordinates, mouse or pen.
    PointD LastWindowPoint() const { return lastWindow_; }
    // The press point while the brush size is being dragged.
    std::optional<PointD> BrushSizeDrag() const;
    uint32_t LastActionTime() const { return lastActionTime_; }

    WindowEditState window;
    bool inputDisabled = false;
    // The cursor position in window coordinates, for auto-scroll.
    std::function<PointD()> cursor;
    // Refused presses are answered with the system's exclamation sound.
    std::function<void()> beep;

private:
    struct Gesture {
        bool held = false;
        MouseButton button = MouseButton::Left;
        PointD press, last;
        bool temporary = false;
        Operation restore;
        double rotationAtPress = 0;
        float sizeAtPress = 0;
        uint32_t modifiersAtPress = 0;
        bool shiftLifted = false; // Shift was let go since the press
        bool moving = false;      // a layer or selection move runs
    };
    // A selection shape being drawn, or a polygon being clicked between
    // presses; points in canvas pixel-edge coordinates.
    struct ShapeDraft {
        bool active = false;
        uint8_t shape = 0;
        CombineMode mode = CombineMode::Replace;
        std::vector<PointD> points;
        PointD pointer; // where the polygon's next edge follows the pointer
    };

    bool Allowed(Operation operation) const;
    void SwapIn(Operation operation);
    // The temporary tool the modifiers name at a press, if any.
    bool TemporaryTool(const PointerEvent& event, MouseButton button, Operation& out) const;
    void Beep();
    void EndGesture(const PointerEvent& event);
    void SetAutoScroll(bool on);

    void ToolDown(const PointerEvent& event);
    void ToolDrag(const PointerEvent& event);
    void ToolUp(const PointerEvent& event);
    void ViewDrag(PointD at);
    void PickColour(PointD at);

    // Selection shapes and moves (InputSelect.cpp).
    bool WantsMiddleMoves() const;
    bool PointerInSelection(PointD at) const;
    CombineMode CombineFor(uint32_t modifiers) const;
    void SelectDown(const PointerEvent& event);
    void SelectDrag(const PointerEvent& event);
    void SelectUp(const PointerEvent& event);
    void PolygonHover(PointD at);
    void ClosePolygon();
    void DropDraft();
    void ShowDraft();
    bool RunShape(const std::vector<PointD>& points);
    void MoveDown();
    void MoveDrag(const PointerEvent& event);
    void MoveUp(const PointerEvent& event);
    // Whole document pixels from the press to at.
    Point MoveDelta(PointD at) const;
    void SetOutline(ToolOutline outline);

    // Freehand painting at a window point (mouse: pressure 1).
    void Paint(PointD at, float pressure, uint32_t modifiers);
    void FinishStroke(PointD at);
    bool DropsPoint(PointD document) const;
    void Remember(PointD document);

    TPaper& paper_;
    ViewPort& view_;
    ToolState& tools_;
    InputSettings settings_;
    TFlowImage flow_;
    TStroke pen_;
    Gesture gesture_;
    ShapeDraft draft_;
    ToolOutline outline_;
    bool tabletDriving_ = false;
    bool autoScroll_ = false;
    int wheelRest_ = 0;
    // The last point handed to the stroke (document coordinates).
    PointD strokeLast_;
    PointD lastDocument_;
    PointD lastWindow_;
    uint32_t lastActionTime_ = 0;
};

} // namespace morvane
