// Button routing, temporary tools, the view tools, the wheel and auto-scroll
// of a document window.
#include "input/InputRouter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/TPaper.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {

// Wheel deltas beyond this many notches at once are taken as this many.
constexpr int kMaxWheelNotches = 100;
constexpr int kWheelPoints = 10;

bool IsClass(Operation op, ToolClass c)
{
    return op.toolClass == c;
}

// Drag distance in window pixels to the size control's value, over the
// control's own range (a bitmap nib's scale has another than a radius).
float SizeFor(float atPress, double dx, const SizeControl& size)
{
    const double span = double(size.hi) - double(size.lo);
    const double perPixel = span > 0 ? 100.0 / span : 0.0;
    return float(std::clamp(double(atPress) + dx * perPixel, double(size.lo), double(size.hi)));
}

double AngleDegrees(PointD from, PointD centre)
{
    return std::atan2(from.y - centre.y, from.x - centre.x) * 180.0 / std::numbers::pi;
}

// How far past the inner rectangle (margin inside the client) v lies, as a
// scroll step.
int AutoScrollStep(double v, int size)
{
    const double m = InputRouter::kScrollMargin;
    const double d = v < m ? v - m : v > size - m ? v - (size - m) : 0.0;
    return int(std::clamp(d, -m, m)) * InputRouter::kScrollFactor;
}

} // namespace

InputRouter::InputRouter(TPaper& paper, ViewPort& view, ToolState& tools, InputSettings settings)
    : paper_(paper), view_(view), tools_(tools), settings_(settings)
{
}

// ---- button routing ----

void InputRouter::Press(MouseButton button, const PointerEvent& event)
{
    if (inputDisabled || !IsFinite(event.at))
        return;
    lastWindow_ = event.at;
    if (event.doubleClick) {
        // A double-click closes a polygon being clicked; refused classes
        // still say so.
        if (button != MouseButton::Middle && !Allowed(tools_.Current()))
            Beep();
        else if (button == MouseButton::Left && draft_.active && !gesture_.held)
            ClosePolygon();
        return;
    }
    if (gesture_.held) {
        if (gesture_.button != MouseButton::Middle)
            return;
        EndGesture({gesture_.last, event.modifiers});
    }
    gesture_ = Gesture{};
    gesture_.held = true;
    gesture_.button = button;
    gesture_.press = gesture_.last = event.at;
    gesture_.modifiersAtPress = event.modifiers;
    Operation swap;
    // The middle button's tool drops a polygon being clicked; while one is,
    // the keys swap in no other tool.
    if (button == MouseButton::Middle) {
        DropDraft();
        SwapIn(MiddleButtonOperation(settings_.middleButton));
    } else if (!draft_.active && TemporaryTool(event, button, swap)) {
        SwapIn(swap);
    }
    if (!Allowed(tools_.Current())) {
        Beep();
        EndGesture({gesture_.last, event.modifiers});
        return;
    }
    ToolDown(event);
}

void InputRouter::Move(const PointerEvent& event)
{
    if (inputDisabled || !IsFinite(event.at))
        return;
    lastWindow_ = event.at;
    if (!gesture_.held) {
        if (!event.doubleClick)
            Remember(view_.WindowToDocument(event.at));
        if (draft_.active)
            PolygonHover(event.at);
        return;
    }
    if (!(event.modifiers & kModShift))
        gesture_.shiftLifted = true;
    if (gesture_.button == MouseButton::Middle && !WantsMiddleMoves())
        return;
    ToolDrag(event);
    gesture_.last = event.at;
}

void InputRouter::Release(MouseButton button, const PointerEvent& event)
{
    if (inputDisabled || !gesture_.held || gesture_.button != button)
        return;
    // A release that lost its position ends where the gesture was last seen.
    if (!IsFinite(event.at))
        LosePointer();
    else
        EndGesture(event);
}

void InputRouter::EndGesture(const PointerEvent& event)
{
    ToolUp(event);
    gesture_.held = false;
    SetAutoScroll(false);
    if (gesture_.temporary)
        tools_.Select(gesture_.restore);
    gesture_.temporary = false;
}

void InputRouter::LosePointer()
{
    // A polygon being clicked is dropped; a drag ends as its release would.
    if (!gesture_.held)
        DropDraft();
    // The stroke ends where it was last recorded, whatever the pointer did since.
    if (paper_.IsStroking())
        FinishStroke(strokeLast_);
    if (gesture_.held)
        EndGesture({gesture_.last});
    SetAutoScroll(false);
}

void InputRouter::SelectOperation(Operation operation)
{
    LosePointer();
    DropDraft();
    tools_.Select(operation);
}

void InputRouter::SelectEnd(PenEnd end)
{
    LosePointer();
    tools_.SetEnd(end);
}

std::optional<PointD> InputRouter::BrushSizeDrag() const
{
    if (gesture_.held && tools_.Current() == Operation{ToolClass::View, kViewBrushSize})
        return gesture_.press;
    return std::nullopt;
}

bool InputRouter::Busy() const
{
    return gesture_.held || paper_.IsStroking() || window.busy;
}

bool ToolClassBuilt(ToolClass toolClass)
{
    switch (toolClass) {
    case ToolClass::Freehand:
    case ToolClass::Zoom:
    case ToolClass::ColourPicker:
    case ToolClass::View:
    case ToolClass::Move:
    case ToolClass::Selection:
        return true;
    default:
        // Fills, shapes and text are not built yet.
        return false;
    }
}

bool OperationBuilt(Operation operation)
{
    // Of the moves the layer, the selection and the layer-with-selection moves
    // are built: the gradation and the crop wait for their operations.
    if (operation.toolClass == ToolClass::Move)
        return operation.sub == kMoveLayer || operation.sub == kMoveSelection ||
               operation.sub == kMoveLayerAndSelection;
    return ToolClassBuilt(operation.toolClass);
}

bool InputRouter::Allowed(Operation operation) const
{
    // A player window takes only the tools that leave its document alone.
    const ToolClass c = operation.toolClass;
    const bool changesDocument = c == ToolClass::Freehand || c == ToolClass::Move || c == ToolClass::Selection;
    return OperationBuilt(operation) && !(changesDocument && window.playerWindow);
}

void InputRouter::SwapIn(Operation operation)
{
    gesture_.temporary = true;
    gesture_.restore = tools_.Current();
    tools_.Select(operation);
}

bool InputRouter::TemporaryTool(const PointerEvent& event, MouseButton button, Operation& out) const
{
    const int scheme = settings_.shortcutMode;
    if (scheme != 0 && scheme != 1)
        return false;
    const uint32_t modifiers = event.modifiers;
    const bool ctrl = modifiers & kModCtrl, alt = modifiers & kModAlt, shift = modifiers & kModShift,
               space = modifiers & kModSpace;
    const Operation current = tools_.Current();
    int32_t maskIndex = -1, maskId = 0;
    const bool autoSelectWithSelection =
        current == Operation{ToolClass::SeedFill, kAutoSelect} && paper_.CurrentSelection(maskIndex, maskId);
    const bool excepted = IsClass(current, ToolClass::Selection) || autoSelectWithSelection;
    const bool zoomCurrent = IsClass(current, ToolClass::Zoom);
    if (ctrl && space)
        out = {ToolClass::Zoom, alt ? kZoomOut : kZoomIn};
    else if (ctrl && alt && !excepted)
        out = {ToolClass::View, kViewBrushSize};
    else if (space && !ctrl && !alt)
        out = {ToolClass::View, kViewHand};
    else if (scheme == 0 && alt && space && !ctrl)
        out = {ToolClass::View, kViewRotate};
    else if (scheme == 1 && alt && !ctrl && !shift && !space)
        out = {ToolClass::View, kViewRotate};
    else if (scheme == 0 && alt && !ctrl && !space && !zoomCurrent && !excepted)
        out = {ToolClass::ColourPicker, 0};
    else if (scheme == 1 && shift && !ctrl && !alt && !space && !zoomCurrent &&
             !IsClass(current, ToolClass::View) && !excepted)
        out = {ToolClass::ColourPicker, 0};
    else if (zoomCurrent && (scheme == 0 ? alt : ctrl))
        out = {ToolClass::Zoom, kZoomOut};
    // Pressing inside the selection with a selection tool and no combine
    // key drags the selection instead (the right button swaps in only the
    // view tools).
    else if (button == MouseButton::Left && IsClass(current, ToolClass::Selection) && !shift &&
             !(scheme == 0 ? alt : ctrl) && PointerInSelection(event.at))
        out = {ToolClass::Move, kMoveSelection};
    else
        return false;
    return true;
}

Operation MiddleButtonOperation(int32_t setting)
{
    // Layer move and gradation, rectangle and free-form fill, rectangle and
    // free-form selection: the first and fourth tools of their classes.
    static constexpr Operation kMap[] = {{ToolClass::View, kViewHand},
                                         {ToolClass::View, kViewRotate},
                                         {ToolClass::View, kViewBrushSize},
                                         {ToolClass::Move, 0},
                                         {ToolClass::Move, 3},
                                         {ToolClass::AreaFill, 0},
                                         {ToolClass::AreaFill, 3},
                                         {ToolClass::SeedFill, kSeedFill},
                                         {ToolClass::Selection, 0},
                                         {ToolClass::Selection, 3},
                                         {ToolClass::SeedFill, kAutoSelect}};
    return setting >= 0 && setting < int32_t(std::size(kMap)) ? kMap[setting] : kMap[0];
}

void InputRouter::Beep()
{
    if (beep)
        beep();
}

// ---- the tools ----

void InputRouter::ToolDown(const PointerEvent& event)
{
    const Operation op = tools_.Current();
    const bool right = gesture_.button == MouseButton::Right;
    switch (op.toolClass) {
    case ToolClass::Freehand:
        if (right) {
            if (settings_.rightButtonPicker)
                PickColour(event.at);
        } else if (!tabletDriving_) {
            Paint(event.at, 1.0f, event.modifiers);
        }
        break;
    case ToolClass::Zoom:
        view_.ZoomStep((op.sub == kZoomIn) != right, event.at);
        break;
    case ToolClass::ColourPicker:
        PickColour(event.at);
        break;
    case ToolClass::View:
        gesture_.rotationAtPress = view_.Rotation();
        gesture_.sizeAtPress = tools_.Size().value;
        break;
    case ToolClass::Selection:
        SelectDown(event);
        break;
    case ToolClass::Move:
        if (!right)
            MoveDown();
        break;
    default:
        break;
    }
}

void InputRouter::ToolDrag(const PointerEvent& event)
{
    const bool right = gesture_.button == MouseButton::Right;
    switch (tools_.Current().toolClass) {
    case ToolClass::Freehand:
        if (!right && !tabletDriving_) {
            Paint(event.at, 1.0f, event.modifiers);
            SetAutoScroll(true);
        }
        break;
    case ToolClass::ColourPicker:
        PickColour(event.at);
        break;
    case ToolClass::View:
        ViewDrag(event.at);
        break;
    case ToolClass::Selection:
        SelectDrag(event);
        break;
    case ToolClass::Move:
        if (!right)
            MoveDrag(event);
        break;
    default:
        break;
    }
}

void InputRouter::ToolUp(const PointerEvent& event)
{
    const bool right = gesture_.button == MouseButton::Right;
    switch (tools_.Current().toolClass) {
    case ToolClass::Freehand:
        if (!right)
            FinishStroke(view_.WindowToDocument(event.at));
        break;
    case ToolClass::Selection:
        SelectUp(event);
        break;
    case ToolClass::Move:
        if (!right)
            MoveUp(event);
        break;
    default:
        break;
    }
}

void InputRouter::ViewDrag(PointD at)
{
    const uint8_t sub = tools_.Current().sub;
    const bool right = gesture_.button == MouseButton::Right;
    if (sub == kViewBrushSize) {
        if (!right)
            tools_.SetSize(SizeFor(gesture_.sizeAtPress, at.x - gesture_.press.x, tools_.Size()));
    } else if (sub == kViewHand && !right) {
        view_.ScrollBy(truncSat(std::floor(gesture_.last.x) - std::floor(at.x)),
                       truncSat(std::floor(gesture_.last.y) - std::floor(at.y)));
    } else {
        // The hand rotates with the right button, as the rotation tool does.
        const PointD centre{view_.ClientWidth() / 2.0, view_.ClientHeight() / 2.0};
        const double turn = AngleDegrees(at, centre) - AngleDegrees(gesture_.press, centre);
        view_.SetRotation(std::remainder(gesture_.rotationAtPress + turn, 360.0));
    }
}

void InputRouter::PickColour(PointD at)
{
    const PointD doc = view_.WindowToDocument(at);
    if (!IsFinite(doc))
        return;
    const double x = std::floor(doc.x), y = std::floor(doc.y);
    if (x < 0 || y < 0 || x >= paper_.Width || y >= paper_.Height)
        return;
    const uint32_t pixel = paper_.Composite().GetPixel(int32_t(x), int32_t(y));
    tools_.SetMainColour(0xFF000000u | (pixel & 0x00FFFFFFu));
}

// ---- the wheel and auto-scroll ----

void InputRouter::Wheel(int angleDelta, uint32_t modifiers)
{
    if (inputDisabled)
        return;
    const int limit = kMaxWheelNotches * kWheelStep;
    angleDelta = std::clamp(angleDelta, -limit, limit);
    // A turn the other way starts counting afresh.
    if ((angleDelta > 0 && wheelRest_ < 0) || (angleDelta < 0 && wheelRest_ > 0))
        wheelRest_ = 0;
    wheelRest_ += angleDelta;
    const PointD centre{view_.ClientWidth() / 2.0, view_.ClientHeight() / 2.0};
    const bool alternative = (modifiers & kModAlt) && !(modifiers & kModSpace);
    while (std::abs(wheelRest_) >= kWheelStep) {
        const bool in = wheelRest_ > 0;
        wheelRest_ -= in ? kWheelStep : -kWheelStep;
        const bool zoomed = alternative ? view_.ZoomByPoints(in ? kWheelPoints : -kWheelPoints, centre)
                                        : view_.ZoomStep(in, centre);
        if (!zoomed) {
            wheelRest_ = 0;
            break;
        }
    }
}

void InputRouter::SetAutoScroll(bool on)
{
    if (autoScroll_ == on)
        return;
    autoScroll_ = on;
    if (autoScrollChanged)
        autoScrollChanged(on);
}

void InputRouter::AutoScrollTick()
{
    if (!autoScroll_ || !settings_.autoScroll || !cursor)
        return;
    const PointD at = cursor();
    if (!IsFinite(at))
        return;
    const int dx = AutoScrollStep(at.x, view_.ClientWidth()), dy = AutoScrollStep(at.y, view_.ClientHeight());
    if (dx == 0 && dy == 0)
        return;
    view_.ScrollBy(dx, dy);
    gesture_.press.x -= dx;
    gesture_.press.y -= dy;
}

} // namespace morvane
