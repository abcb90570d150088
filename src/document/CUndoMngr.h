#pragma once
// The undo history: a list of records to undo and one to redo. CUndoMngr is
// the plain manager a layer may carry for itself (lists not counted, no
// slack); CUndoMngrEx is the document's, with counted lists, a slack of light
// records and the event stream kept in step with the history.
#include <cstdint>
#include <memory>
#include <string>

#include "document/CUndoData.h"
#include "document/CUndoList.h"
#include "events/EventRecorder.h"

namespace morvane {

class CLayerMngr;

// What undo needs from the document beyond the layer stack. Records of
// categories 5 and 6 that the framework does not apply itself (stacks, link
// groups, masks) go to ApplyKept, which exchanges the record's kept objects
// with the document's by moving the unique_ptrs; false refuses the record.
class UndoHost {
public:
    virtual ~UndoHost() = default;
    virtual uint32_t CanvasColour() const = 0;
    virtual void SetCanvasColour(uint32_t colour) = 0;
    virtual bool ApplyKept(CUndoData& record, CLayerMngr& layers, bool undo) = 0;
    // The document's stack after a record was applied: a record that
    // exchanges whole stacks leaves another one in place.
    virtual CLayerMngr* DocumentLayers() { return nullptr; }
    // The current selection's mask index and identifier; false without one.
    virtual bool CurrentSelection(int32_t& maskIndex, int32_t& maskId) const = 0;
    // Moves the selection by minus (dx, dy), as CLayerData::Shift moves a
    // layer; false (nothing moved) when the mask at maskIndex no longer has
    // an identifier whose low 16 bits are maskIdLow.
    virtual bool ShiftSelection(int32_t maskIndex, uint16_t maskIdLow, int32_t dx, int32_t dy) = 0;
};

// What an applied record asks the caller to refresh.
struct SUndoOutcome {
    int32_t layerIndex = -1;
    uint16_t flags = 0;
    ExtentRect rect{};
    // The record for the other direction could not be built (memory): the
    // change was reversed but cannot be re-applied.
    bool reverseLost = false;
    // The record's layer was gone: it was dropped unapplied.
    bool dropped = false;
};

// A push of categories 1 (a handed-over image), 5 and 6. Whatever it holds
// belongs to the record once pushed and is freed with it when the push fails.
struct SUndoCommand {
    UndoKind kind = UndoKind::LayerHistory;
    int32_t layerIndex = -1;
    int32_t layerId = -1;
    ExtentRect rect{};
    SUndoValues values;
    SUndoKept kept;
    std::unique_ptr<CBlockVMTC> image; // kind 6: the filter's backup of the layer
};

class CUndoMngr {
public:
    static constexpr int32_t kLayerDepth = 8;

    CUndoMngr(int32_t undoDepth, int32_t redoDepth) : CUndoMngr(undoDepth, redoDepth, false, 0) {}
    virtual ~CUndoMngr();
    CUndoMngr(const CUndoMngr&) = delete;
    CUndoMngr& operator=(const CUndoMngr&) = delete;

    // Drops the oldest undo records beyond depth + slack; returns how many.
    virtual int32_t Trim();
    virtual void InsertUndo(std::unique_ptr<CUndoData> record);
    virtual void InsertRedo(std::unique_ptr<CUndoData> record);

    // The records of each category, built but not pushed: nullptr when
    // nothing can be recorded (the rectangle misses the layer, the kind is of
    // another category) or memory ran out.
    // Categories 1 (pixel copy), 2 (alpha plane) and 3 (nothing kept) of rect
    // of the layer at index.
    std::unique_ptr<CUndoData> MakePixels(CLayerData& layer, int32_t index, const ExtentRect& rect,
                                          UndoKind kind) const;
    // Kinds 12-15: a transform of every (or every visible) layer.
    std::unique_ptr<CUndoData> MakePictureTransform(UndoKind kind, bool visibleOnly, const ExtentRect& rect) const;
    // Category 4: the layer's current value of the kind's attribute and the
    // new one; extra is kind 19's group value or kind 24's second offset.
    std::unique_ptr<CUndoData> MakeAttribute(CLayerData& layer, int32_t index, int32_t newValue, UndoKind kind,
                                             int32_t extra = 0) const;
    std::unique_ptr<CUndoData> MakeCanvasColour(uint32_t newColour) const;
    // Kind 25: the layer's current name and the new one.
    std::unique_ptr<CUndoData> MakeName(const CLayerData& layer, int32_t index, const std::string& newName) const;

    // Each builds its record and pushes it. False when nothing was recorded:
    // as above (memory: the user is told; the history stays usable).
    bool PushPixels(CLayerData& layer, int32_t index, const ExtentRect& rect, UndoKind kind);
    bool PushPictureTransform(UndoKind kind, bool visibleOnly, const ExtentRect& rect);
    bool PushAttribute(CLayerData& layer, int32_t index, int32_t newValue, UndoKind kind, int32_t extra = 0);
    bool PushName(CLayerData& layer, int32_t index, const std::string& newName);
    bool PushCanvasColour(uint32_t newColour);
    // Kind 24: the layer and the current selection moved by minus (dx, dy).
    bool PushMoveWithSelection(CLayerData& layer, int32_t index, int32_t dx, int32_t dy);
    // Kind 24 for the layer and the current selection; nullptr without one.
    std::unique_ptr<CUndoData> MakeMoveWithSelection(CLayerData& layer, int32_t index, int32_t dx, int32_t dy) const;
    bool PushCommand(SUndoCommand command);
    // Pushes a built record (Trim, redo list emptied); a null one means the
    // memory ran out: the user is told and false comes back. Nothing is
    // pushed while the history is off (true).
    virtual bool Push(std::unique_ptr<CUndoData> record);

    // Applies the newest record of the list to the stack and moves its
    // reverse to the other list. False when there is none, its layer is gone
    // (record dropped) or it was refused (undo: the user is told and the
    // history cleared).
    bool Undo(CLayerMngr& layers, SUndoOutcome& out);
    bool Redo(CLayerMngr& layers, SUndoOutcome& out);

    // A depth <= 0 turns the history off (both 0); redo depth <= undo depth.
    bool SetDepth(int32_t undoDepth, int32_t redoDepth);
    bool CanUndo() const { return !undo_.Empty(); }
    bool CanRedo() const { return !redo_.Empty(); }
    int32_t UndoCount() const { return undo_.Size(); }
    int32_t RedoCount() const { return redo_.Size(); }
    bool IsEnabled() const { return undoDepth_ > 0; }
    int32_t UndoDepth() const { return undoDepth_; }
    int32_t RedoDepth() const { return redoDepth_; }
    const CUndoList& UndoList() const { return undo_; }
    const CUndoList& RedoList() const { return redo_; }
    void ClearUndo() { undo_.Clear(); }
    void ClearRedo() { redo_.Clear(); }
    void ClearHistory();
    int64_t HeldBytes() const { return undo_.HeldBytes() + redo_.HeldBytes(); }

    void SetHost(UndoHost* host) { host_ = host; }

protected:
    CUndoMngr(int32_t undoDepth, int32_t redoDepth, bool counted, int32_t slack);
    UndoHost* Host() const { return host_; }

private:
    bool Apply(bool undo, CLayerMngr& layers, SUndoOutcome& out);
    bool ApplyRecord(std::unique_ptr<CUndoData>& record, bool undo, CLayerMngr& layers, SUndoOutcome& out);
    bool ApplyKept(CUndoData& record, bool undo, CLayerMngr& layers);
    void InsertInto(bool undoList, std::unique_ptr<CUndoData> record);

    int32_t undoDepth_ = 0, redoDepth_ = 0;
    CUndoList undo_, redo_;
    int32_t slack_ = 0;
    UndoHost* host_ = nullptr;
};

// The document's manager: counted lists, slack 32, and the event stream
// stepped with every undo and redo.
class CUndoMngrEx : public CUndoMngr {
public:
    static constexpr int32_t kSlack = 32;

    CUndoMngrEx(int32_t undoDepth, int32_t redoDepth, EventRecorder& recorder);

    // The document's undo and redo commands up to the refresh: the event
    // stream is checked against the history first, then the record is
    // applied and the stream stepped. When the stream and the history cannot
    // be brought into line the history is cleared rather than stepping the
    // stream by an event that does not belong to the record; the recording
    // goes on. A record dropped because its layer is gone takes its step of
    // the stream with it.
    bool UndoCommand(CLayerMngr& layers, SUndoOutcome& out);
    bool RedoCommand(CLayerMngr& layers, SUndoOutcome& out);

    bool Push(std::unique_ptr<CUndoData> record) override;

private:
    EventRecorder& recorder_;
};

} // namespace morvane
