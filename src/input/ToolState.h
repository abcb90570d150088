#pragma once
// The program's one tool state: the operation and painting kind kept for
// each end of the pen, a parameter set per kind (switching back keeps its
// edits), the main and sub colour, the compatible tools' pen slots and the
// brush and nib lists. The tool window edits it and every document window
// reads it when a gesture or command begins. Every change is told to the
// listeners, whatever made it.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "document/CMaskMngr.h"
#include "paint/CPenMethodMngr.h"
#include "paint/CPenShapeMngr.h"
#include "paint/PenSlots.h"
#include "paint/TPaintParam.h"

namespace morvane {

class CPenShapeObj;
struct PresetLocation;

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
inline constexpr int kToolClasses = 10;

// Sub-operations of the view class.
inline constexpr uint8_t kViewHand = 0, kViewRotate = 1, kViewBrushSize = 2;
// Sub-operations of the zoom class.
inline constexpr uint8_t kZoomIn = 0, kZoomOut = 1;
// Sub-operations of the seed-fill class: fill, magic eraser, auto-select.
inline constexpr uint8_t kSeedFill = 0, kMagicEraser = 1, kAutoSelect = 2;
// Sub-operations of the move class.
inline constexpr uint8_t kMoveLayer = 0, kMoveSelection = 1, kMoveLayerAndSelection = 2, kMoveGradation = 3,
                         kMoveCrop = 4;
// Sub-operations of the selection class.
inline constexpr uint8_t kSelectRectangle = 0, kSelectEllipse = 1, kSelectPolygon = 2, kSelectFreeForm = 3;

struct Operation {
    ToolClass toolClass = ToolClass::Freehand;
    uint8_t sub = 0;
    bool operator==(const Operation&) const = default;
};

enum class PenEnd : uint8_t { Tip = 0, Eraser = 1 };

// What a change touched, as the listeners are told.
namespace toolchange {
inline constexpr uint32_t kOperation = 1;  // operation, kind or pen end
inline constexpr uint32_t kParams = 2;     // the current kind's parameter set
inline constexpr uint32_t kColours = 4;
inline constexpr uint32_t kBrushes = 8;    // the brush list or its selection
inline constexpr uint32_t kNibs = 16;      // the nib list or its selection
inline constexpr uint32_t kSlots = 32;     // a compatible tool's chosen slot
} // namespace toolchange

// The size control: the radius in pixels, or with a bitmap nib its scale in
// percent.
struct SizeControl {
    float value = 1, lo = 0.1f, hi = 200.0f;
    bool percent = false;
};

class ToolState {
public:
    static constexpr uint32_t kDefaultMain = 0xFF000000u, kDefaultSub = 0xFFFFFFFFu;

    // The tip paints with the pencil, the back end erases; each kind starts
    // at its defaults with the pressure switches and smallest size of its
    // stroke method's first use, so a fresh start answers to pressure. The
    // lists hold the built-in nibs and a default brush of every kind until
    // LoadPresets reads the files.
    ToolState();
    ToolState(const ToolState&) = delete;
    ToolState& operator=(const ToolState&) = delete;
    ~ToolState();

    // ---- the ends of the pen ----
    Operation Current() const { return ends_[int(end_)].operation; }
    // Freehand painting keeps the end's kind.
    void Select(Operation operation);
    PaintKind Kind() const { return ends_[int(end_)].kind; }
    // Freehand painting with that kind (Blur2 and unknown values are refused).
    bool SelectKind(PaintKind kind);
    PenEnd End() const { return end_; }
    // Turning the pen over brings back the tool kept for that end.
    void SetEnd(PenEnd end);
    // The tool kept for an end, as stored settings give it back. Unknown
    // classes and kinds leave the end's defaults.
    Operation OperationOf(PenEnd end) const { return ends_[int(end)].operation; }
    PaintKind KindOf(PenEnd end) const { return ends_[int(end)].kind; }
    void SetTool(PenEnd end, Operation operation, PaintKind kind);

    // How the selection tools meet the selection when no key says otherwise
    // (replace at first).
    CombineMode Combine() const { return combine_; }
    // Values outside the four modes are refused.
    bool SetCombine(CombineMode mode);

    // ---- parameter sets ----
    const TPaintParam& Param() const { return params_[size_t(Kind())]; }
    const TPaintParam& ParamOf(PaintKind kind) const;
    // Every edit goes through here: the change runs on the current kind's
    // set (or kind's), the compatible tool's chosen slot follows, and the
    // listeners hear of it when the change reports one.
    bool Edit(const std::function<bool(TPaintParam&)>& change);
    bool EditKind(PaintKind kind, const std::function<bool(TPaintParam&)>& change);
    // A whole parameter set, as stored settings give it back.
    void SetParam(const TPaintParam& param);

    // The size control of the current kind, and setting it through the
    // parameter set's own limits (NaN refused).
    SizeControl Size() const { return SizeOf(Kind()); }
    SizeControl SizeOf(PaintKind kind) const;
    bool SetSize(float value);
    // The [ and ] keys: a tenth larger or smaller, at least a tenth of a
    // pixel (or percent), within the control's range.
    bool StepSize(bool up);

    // ---- colours (0xAARRGGBB, opaque) ----
    uint32_t MainColour() const { return colours_[0]; }
    uint32_t SubColour() const { return colours_[1]; }
    void SetMainColour(uint32_t colour);
    void SetSubColour(uint32_t colour);
    void SwapColours();
    // Black on white.
    void ResetColours();

    // ---- lists ----
    CPenMethodMngr& Brushes() { return brushes_; }
    const CPenMethodMngr& Brushes() const { return brushes_; }
    CPenShapeMngr& Nibs() { return nibs_; }
    const CPenShapeMngr& Nibs() const { return nibs_; }
    PenSlots& Slots() { return slots_; }
    const PenSlots& Slots() const { return slots_; }
    // Reads the default nib and brush files (the places remembered are
    // updated); a failed read leaves the built-ins or defaults. Then every
    // current kind takes the first brush of its kind from a file read.
    void LoadPresets(PresetLocation& brushes, PresetLocation& nibs);
    // After the pen slots were read: each compatible kind takes its slot.
    void TakeSlots();
    // The brush at index becomes its kind's parameter set and the tool.
    bool ChoosePreset(int32_t index);
    // A compatible kind's slot 1-5 (0 for the other kinds).
    int ChosenSlot(PaintKind kind) const;
    // The current compatible kind takes that slot.
    bool ChooseSlot(int slot);
    // The slot a compatible kind will take (stored settings); others ignored.
    void SetChosenSlot(PaintKind kind, int slot);
    // The nib at index becomes the current kind's nib.
    bool ChooseNib(int32_t index);

    // The bitmap nib of the current parameter set as a preset the renderer
    // can build from; nullptr for a round nib. The object stays the same
    // for the state's life (its bitmap follows the set), so a renderer may
    // keep pointing at it.
    CPenShapeObj* BitmapNib();

    // ---- listeners ----
    using Listener = std::function<void(uint32_t changes)>;
    int Listen(Listener listener);
    void Forget(int id);

private:
    struct EndTool {
        Operation operation;
        PaintKind kind;
    };

    void Notify(uint32_t changes);
    TPaintParam& ParamFor(PaintKind kind) { return params_[size_t(kind)]; }
    // The compatible tool's slot table index of a kind, -1 for the others.
    static int SlotTool(PaintKind kind);
    void KeepInSlot(PaintKind kind);
    void TakePresetKinds();
    void ResetKindDefaults(PaintKind kind);

    TPaintParam params_[kPaintKinds];
    EndTool ends_[2];
    PenEnd end_ = PenEnd::Tip;
    CombineMode combine_ = CombineMode::Replace;
    uint32_t colours_[2] = {kDefaultMain, kDefaultSub};
    CPenMethodMngr brushes_;
    CPenShapeMngr nibs_;
    PenSlots slots_;
    int chosenSlot_[kPenSlotTools];
    std::unique_ptr<CPenShapeObj> bitmapNib_;
    std::vector<uint8_t> bitmapBits_;
    int32_t bitmapWidth_ = 0, bitmapHeight_ = 0;
    std::map<int, Listener> listeners_;
    int nextListener_ = 1;
};

} // namespace morvane
