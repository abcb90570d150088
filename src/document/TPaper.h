#pragma once
// The document: one open picture with its size, resolution, paper, layer
// stack, undo history and event recording. Every change to a picture goes
// through one of its operations, in one order: validate, record the event,
// push the undo record, change the layers, recompose the changed rectangle,
// refresh the window. The event player calls the same operations with
// recording off, which is what makes a recording replay to the same picture.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/CLayerMngr.h"
#include "document/CUndoMngr.h"
#include "document/DocumentHost.h"
#include "events/EventRecorder.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

struct HistoryRecord;
class TStroke;
class CPenRender;
class CEventMngr;
struct EventSyncState;
class CStrokeMngr;
class StrokeEngine;
class TFlowImage;
class CMaskMngr;
struct SColourRange;
class CMaskData;
struct SCoverage;
enum class CombineMode : uint8_t;
struct SStrokeState;
struct SWetLayer;
struct SStrokeStateDelete {
    void operator()(SStrokeState* state) const;
};

// What a document takes from the settings when it is made.
struct SPaperSettings {
    int32_t undoCount = 8;
    // Colour of the grid lines; the top byte is their alpha.
    uint32_t gridColour = 0x80000000u;
    // The stroke engine the preference names (1 or 2).
    uint8_t strokeEngine = 2;
};

class TPaper final : public UndoHost {
public:
    static constexpr uint32_t kWhitePaper = 0x00FFFFFFu;
    static constexpr int32_t kLayerCapacity = 24;
    static constexpr int32_t kMinGrid = 2;

    // recorder: nullptr gives the no-op recorder. The host is not owned and
    // must outlive the document.
    explicit TPaper(DocumentHost& host, SPaperSettings settings = {}, std::unique_ptr<EventRecorder> recorder = nullptr);
    ~TPaper() override;
    TPaper(const TPaper&) = delete;
    TPaper& operator=(const TPaper&) = delete;

    // An empty picture of width x height whose first layer has a store of
    // layerWidth x layerHeight. False, with nothing changed, when a size is
    // outside the limits or memory runs out.
    bool NewPicture(const std::string& name, bool layerTransparent, bool transparentPaper, int32_t resolution,
                    int32_t layerWidth, int32_t layerHeight, int32_t width, int32_t height, bool record = true);
    // A picture made from an image: its size is the image's within the
    // picture limits, its first layer (transparent, on an opaque paper) the
    // image's own size holding the image at (0, 0); recorded as a new
    // canvas, the start marks and the image pasted into the first layer
    // with the file's name. Starts no history.
    bool NewPictureFromImage(const std::string& name, const TMTC& image, int32_t resolution,
                             const std::string& fileName, bool record = true);
    // The image as a new layer above the current one (undone as one step).
    bool ImportImageAsLayer(const TMTC& image, const std::string& fileName, bool record = true);
    // False, with nothing changed, for a size outside the picture limits or
    // when the composite cannot get memory.
    bool SetPictureSize(int32_t width, int32_t height);

    int32_t LayerCount() const { return layers_->Count(); }
    int32_t CurrentLayer() const { return layers_->Current(); }
    int32_t TopLayerIndex() const { return layers_->Count() - 1; }
    CLayerData* LayerAt(int32_t i) { return layers_->At(i); }
    const CLayerData* LayerAt(int32_t i) const { return std::as_const(*layers_).At(i); }
    CLayerMngr& Layers() { return *layers_; }
    // The history; nullptr in the oldest engine generation.
    CUndoMngrEx* UndoManager() { return undo_.get(); }
    bool UndoEnabled() const { return undo_ && undo_->IsEnabled(); }
    EventRecorder& Events() { return *recorder_; }
    DocumentHost& Host() { return host_; }
    const TTC& Composite() const { return composite_; }

    // ---- events (src/document/TPaperEvents.cpp) ----
    // The document's own event manager, made and started with it; nullptr
    // when the document was given another recorder or the manager could not
    // be started.
    CEventMngr* EventManager() { return eventMngr_; }
    // What the document holds in memory, in bytes: its layers, its undo
    // history, and all of it (layers, history, composite and recording);
    // every panel that shows these figures asks here.
    struct MemoryFigures {
        int64_t total = 0, layers = 0, undo = 0;
    };
    MemoryFigures MemoryUsed();
    // The state the next state records describe: the document's, and the
    // pen's and renderer's of the running (or last) stroke.
    void FillEventSyncState(EventSyncState& state) const;

    // Generation 0 runs the oldest layer arithmetic and has no undo; 1 and 2
    // are current (the history comes back empty).
    void SetEngineLevel(uint8_t level);
    uint8_t EngineLevel() const { return engineLevel_; }

    // Recomposes rect (picture coordinates, clipped to the picture) of the
    // composite: paper, then every visible layer, then the grid when asked
    // for and on. A running stroke's layer shows its wet paint (wet).
    void RenderRect(const ExtentRect& rect, bool withGrid, const SWetLayer* wet = nullptr);
    void RenderAll(bool withGrid);
    // The union of the composite's rectangles rendered since the last call,
    // then forgotten: what a copy of the picture kept elsewhere (the
    // navigator's) must take again.
    ExtentRect TakePictureChange();
    void InvalidateWindow(bool erase) { host_.InvalidateWindow(erase); }
    // rect of the composite as the screen shows it, into out at (0, 0): on a
    // transparent paper every pixel not wholly opaque is flattened over the
    // checkerboard (anchored at the picture's corner) or over white. False
    // when rect misses the picture or out is too small.
    bool FlattenForDisplay(const ExtentRect& rect, TMTC& out) const;

    // The layer's thumbnail, its tool-window entry (not while playing back)
    // and the picture's thumbnail follow a change of rect of the layer.
    void LayerChanged(int32_t layer, const ExtentRect& rect);
    // False, nothing changed, for an index outside the stack.
    bool SelectLayer(int32_t index);

    // The document's undo and redo: the history is applied, the event stream
    // stepped and the picture refreshed as the record's flags say. The layer
    // concerned and its rectangle (picture coordinates) come back.
    bool Undo(int32_t& layerIndex, ExtentRect& rect);
    bool Redo(int32_t& layerIndex, ExtentRect& rect);
    // Asks first; not while the window replays a recording. True when cleared.
    bool ClearHistoryAsked();
    // The event steps are resized first; when they cannot be, the user is
    // told and the depth stays.
    bool SetUndoCount(int32_t count);

    // ---- whole-layer commands ----
    // Commands 7 flip horizontally, 8 flip vertically, 9 invert colours,
    // 10 rotate 180 degrees, 11 invert opacity, on the layer's whole store.
    // False, nothing changed, for an index outside the stack or another
    // command.
    bool LayerCommand(int32_t layer, int command, bool record = true);
    // The same inside the bounding rectangle of mask maskIndex (-1: the
    // current one); without a mask or with an empty one, LayerCommand.
    bool LayerCommandMasked(int32_t layer, int command, int32_t maskIndex, bool record = true);
    bool FlipLayerH(int32_t layer, bool record = true) { return LayerCommand(layer, 7, record); }
    bool FlipLayerV(int32_t layer, bool record = true) { return LayerCommand(layer, 8, record); }
    bool InvertLayer(int32_t layer, bool record = true) { return LayerCommand(layer, 9, record); }
    bool RotateLayer180(int32_t layer, bool record = true) { return LayerCommand(layer, 10, record); }

    // ---- whole-picture transforms ----
    // Every layer, or only the visible ones.
    bool FlipPictureH(bool allLayers, bool record = true) { return TransformPicture(7, allLayers, record); }
    bool FlipPictureV(bool allLayers, bool record = true) { return TransformPicture(8, allLayers, record); }
    bool InvertPicture(bool allLayers, bool record = true) { return TransformPicture(9, allLayers, record); }
    bool RotatePicture180(bool allLayers, bool record = true) { return TransformPicture(10, allLayers, record); }
    // Every store is rotated into a new one first; only when all of them
    // exist are they swapped in, so a failure leaves the picture as it was.
    bool RotatePicture90(bool clockwise, bool record = true);

    // ---- one layer replaced by a transformed copy (undo kind 36) ----
    bool RotateLayer90(int32_t layer, bool clockwise, bool record = true);
    // Rotated about the picture's centre by degrees (clockwise on screen);
    // the store grows to hold all of the rotated content.
    bool RotateLayerFree(int32_t layer, float degrees, bool record = true);
    // The layer's picture area scaled to width x height, top-left fixed.
    bool ScaleLayer(int32_t layer, int32_t width, int32_t height, bool record = true);
    // The store cut to the picture (origin 0, 0); nothing to do (true) when
    // the store is not larger than the picture.
    bool TrimLayerOutside(int32_t layer, bool record = true);

    // ---- picture size ----
    // The picture becomes rect (picture coordinates); layer is the current
    // layer the event names.
    bool Crop(int32_t layer, const EdgeRect& rect, bool record = true);
    // Anchor 0-8 places the old picture in the new one (column-major from
    // the top-left: 0 top-left, 4 centre, 8 bottom-right); others act as 0.
    bool SetCanvasSize(int32_t width, int32_t height, bool keepAttributes, int32_t anchor, bool record = true);
    // Every layer resampled by the area-averaging resampler.
    bool SetImageSize(int32_t width, int32_t height, bool keepAttributes, bool record = true);

    // ---- layer stack operations: add, delete, duplicate, move, merge ----
    // (src/document/TPaperLayers.cpp) Each refuses, changing nothing, for an
    // index or value out of range or when its packet cannot be recorded.
    // A new layer of width x height and mode at index (past the top: on top),
    // named with the next default name and made current. A negative index is
    // refused with the stack's message.
    bool AddLayer(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                  bool record = true);
    // The new-layer dialog's form: the given name, the store filled with fill
    // (its alpha byte included).
    bool AddLayerNamed(int32_t index, int32_t width, int32_t height, bool visible, int32_t opacity, int32_t mode,
                       const std::string& name, uint32_t fill, bool record = true);
    // The last layer is never deleted.
    bool DeleteLayer(int32_t layer, bool record = true);
    // A copy above the layer, made current.
    bool DuplicateLayer(int32_t layer, bool record = true);
    bool MoveLayer(int32_t from, int32_t to, bool record = true);
    // The layer merged into the one below it, which takes its place;
    // MergeDownWith takes a merge method (CLayerMngr::MergeDown).
    bool MergeDown(int32_t layer, bool record = true) { return MergeLayerDown(layer, 0, false, record); }
    bool MergeDownWith(int32_t layer, int32_t method, bool record = true)
    {
        return MergeLayerDown(layer, method, true, record);
    }
    // The visible layers folded into the bottom one; method -1 for the
    // opaque arithmetic, else 0-3 (see MergeVisible in LayerComposite.h).
    bool MergeVisibleLayers(int32_t method, bool backgroundOnly, bool record = true);
    // Every pixel's alpha := alpha, which must be 0 or 255.
    bool SetLayerAlpha(int32_t layer, int32_t alpha, bool record = true);
    bool InvertAlpha(int32_t layer, bool record = true) { return LayerCommand(layer, 11, record); }
    // Need the current selection: refused while there is none.
    bool MaskIntoAlpha(int32_t layer, bool record = true);
    bool SelectionToLayer(int32_t layer, bool moveContent, bool record = true);

    // ---- layer attributes, visibility, shifts and link groups ----
    // (src/document/TPaperLinks.cpp) Each refuses, changing nothing, for an
    // index or value out of range or when its packet cannot be recorded.
    // A layer that leads a link group takes its linked run along where the
    // operation says so.
    // Setting the visibility a layer already has does nothing (true).
    bool SetLayerVisible(int32_t layer, bool visible, bool record = true);
    bool SetLayerOpacity(int32_t layer, int32_t opacity, bool record = true);
    bool SetLayerDither(int32_t layer, bool dither, int32_t density, bool record = true);
    bool SetLayerMode(int32_t layer, int32_t mode, bool record = true);
    // The layer's transparency protection (painting keeps its alpha).
    bool SetLayerProtectAlpha(int32_t layer, bool protect, bool record = true);
    // Refused when CP932 cannot hold the name exactly (codecs/CodePage.h);
    // the same name again does nothing (true).
    bool RenameLayer(int32_t layer, const std::string& name, bool record = true);
    // Refused when the layer already is the only visible one.
    bool ShowOnlyLayer(int32_t layer, bool record = true);
    // Refused when there is nothing to show (or to hide).
    bool ShowAllLayers(bool show, bool record = true);
    bool InvertLayerVisibility(bool record = true);
    // Moves the content by (dx, dy); a store that would no longer cover the
    // picture is rebuilt larger first, refused past the store limits.
    bool ShiftLayer(int32_t layer, int32_t dx, int32_t dy, bool record = true);
    // The same for the part inside the current selection; without one it is
    // ShiftLayer.
    bool ShiftLayerMasked(int32_t layer, int32_t dx, int32_t dy, bool record = true);
    // Links the layer and its run to the layer below (one level deeper), or
    // unlinks it (one level up).
    bool LinkLayer(int32_t layer, bool link, bool record = true);
    // Layers layer ... layer + count - 1 (at most to the top).
    bool SetLinkGroupVisible(int32_t layer, int32_t count, bool visible, bool record = true);
    // The layer and its run move so that the layer lands at index to.
    bool MoveLinkGroup(int32_t layer, int32_t to, bool record = true);
    // The leader of a link group leaves the stack; its run drops one level.
    bool DeleteLinkLeader(int32_t layer, bool record = true);
    // The leader and its whole run leave the stack; refused when nothing
    // would be left.
    bool DeleteLinkGroup(int32_t layer, bool record = true);

    // ---- masks and selection (src/document/TPaperSelection.cpp) ----
    // Each refuses, changing nothing, for an index outside the mask list,
    // an empty mask where a selection is needed, or when its packet cannot
    // be recorded; mask index -1 is the current mask.
    CMaskMngr& Masks() { return *masks_; }
    const CMaskMngr& Masks() const { return *masks_; }
    // The current mask while it holds a selection and the selection is
    // used; what painting, fills and filters limit themselves to.
    const CMaskData* ActiveSelection() const;
    // An empty mask (or a copy of the current one) after the current one,
    // made current.
    bool NewMask(bool record = true);
    bool DuplicateMask(bool record = true);
    // The only mask is never deleted.
    bool DeleteMask(int32_t index, bool record = true);
    bool SelectMask(int32_t index, bool record = true);
    bool MoveMask(int32_t from, int32_t to, bool record = true);
    // The current mask's name.
    bool RenameMask(const std::string& name, bool record = true);
    // The current layer's whole store becomes the selection.
    bool SelectAll(bool record = true);
    bool CancelSelection(bool record = true);
    bool InvertSelection(bool record = true);
    // Only while the selection reaches outside the canvas.
    bool TrimSelection(bool record = true);
    // By one pixel; the earlier form keeps the mask's rectangle.
    bool GrowSelectionByOne(bool expand, bool currentForm = true, bool record = true);
    // By n = 1 ... 32 pixels.
    bool GrowSelection(int32_t n, bool expand, bool record = true);
    // Mask source combined into mask target.
    bool CombineMasks(int32_t source, int32_t target, CombineMode mode, bool record = true);
    // The selection's origin moves by minus (dx, dy); nothing for (0, 0).
    bool MoveSelection(int32_t dx, int32_t dy, bool record = true);
    // A new mask of the layer's density (or transparency), after the
    // current one; with combine and a selection, added to a copy of it.
    bool MaskFromLayer(int32_t layer, bool transparency, bool combine, bool record = true);
    // A rectangle or ellipse in the box of two corners, or a polygon, in
    // the current layer's coordinates, combined into the selection.
    bool SelectRectangle(PointF c1, PointF c2, CombineMode mode, bool record = true);
    bool SelectEllipse(PointF c1, PointF c2, CombineMode mode, bool record = true);
    bool SelectPolygon(const std::vector<PointF>& points, CombineMode mode, bool record = true);
    // The pixels of the range's source near its colours replace the
    // selection.
    bool SelectColourRange(const SColourRange& range, bool record = true);
    bool SetSelectionBorderShown(bool on, bool record = true);
    bool SetSelectionUsed(bool on, bool record = true);
    // Ants, window and mask list follow a change of the masks.
    void RefreshSelection();
    // For the selection operations: the coverage combined into the current
    // mask by mode, replacing it; unchanged when the combination changes
    // nothing.
    std::unique_ptr<CMaskData> CombinedWithSelection(const SCoverage& coverage, CombineMode mode, bool& unchanged);
    // Every mask moved by (dx, dy) on the canvas (crop, canvas size).
    void ShiftMasks(int32_t dx, int32_t dy);
    // The mask list swapped for another (image size); the former comes back.
    std::unique_ptr<CMaskMngr> SwapMasks(std::unique_ptr<CMaskMngr> masks);
    bool SelectionBorderShown = true;
    bool SelectionUsed = true;
    // AppVersion of the recording a player document replays (major x 100
    // + minor); 0 live.
    int32_t PlayerAppVersion = 0;
    // The settings of the last colour-range record, kept for the coverage
    // packet that follows it.
    std::shared_ptr<const SColourRange> PlayerColourRange;

    // ---- strokes (src/document/TPaperStroke.cpp) ----
    // The pen and renderer of the running (or last) stroke, which the
    // recorder reads for its state records; nullptr before the first stroke.
    const TStroke* RecordingPen() const { return strokePen_; }
    const CPenRender* PenRenderer() const { return penRenderer_; }
    // The renderer strokes stamp through: the application's one (not owned,
    // must outlive the document), or with nullptr the document's own, as a
    // player document has. Refused while a stroke runs.
    bool SetPenRenderer(CPenRender* render);
    // The pen the next stroke paints with becomes the one the state records
    // describe, before any command and not only after a first stroke; the
    // renderer strokes stamp through comes back to be set up for it. While a
    // stroke runs the pen stays the stroke's.
    CPenRender& UsePen(TStroke& pen);
    // The current engine's manager: its brush record and smoother.
    CStrokeMngr& StrokeManager();
    const CStrokeMngr& StrokeManager() const;
    // A stroke on the current layer, in document coordinates: begin, moves,
    // end. Each refuses (false, nothing recorded or drawn) coordinates that
    // are not finite or lie farther than 2^20 px from the picture, a begin
    // while a stroke runs, and a move or end without one; pressure is taken
    // within 0-1 (NaN as 0). End hands back the changed rectangle (picture
    // coordinates) after it reached the layer.
    bool StrokeBegin(TFlowImage& flow, TStroke& stroke, bool record, float pressure, float y, float x);
    bool StrokePoint(TFlowImage& flow, TStroke& stroke, bool record, float pressure, float y, float x);
    bool StrokeEnd(TFlowImage& flow, TStroke& stroke, bool record, EdgeRect& out);
    bool IsStroking() const;
    // Engine 2 (current), 1 (compatible) or 0 (oldest generation; no undo).
    // The engine is the document's engine level; refused while a stroke runs.
    bool SetStrokeEngine(uint8_t engine);
    // The player's per-stroke choice from the stroke version: 4 and above
    // engine 2, else 1; a document on engine 0 keeps it.
    bool SetStrokeEngineForVersion(int32_t version);
    // Shape strokes: the path runs exactly through the points (no smoothing,
    // raw points, no pressure switches) until the stroke ends, when the
    // stroke and the manager get their settings back. Set before the begin.
    bool SetShapeStroke(bool on);
    bool ShapeStroke() const;
    // The event data version a player window replays (watercolour dabs take
    // the brush record's density switch from version 34 on).
    void SetPlayerDataVersion(int32_t version);
    // Dabs the last finished stroke stamped.
    int64_t LastStrokeDabs() const;

    bool SetPaperColour(uint32_t colour, bool record = true);
    // Paper flags change only while the paper is white; true when either changed.
    bool SetPaperMode(bool opaque, bool checker);
    // Spacing below 2 becomes 2.
    void SetGrid(bool on, int32_t spacingX, int32_t spacingY, bool redraw);

    // UndoHost
    uint32_t CanvasColour() const override { return PaperColour; }
    void SetCanvasColour(uint32_t colour) override { PaperColour = colour; }
    bool ApplyKept(CUndoData& record, CLayerMngr& layers, bool undo) override;
    CLayerMngr* DocumentLayers() override { return layers_.get(); }
    bool CurrentSelection(int32_t& maskIndex, int32_t& maskId) const override;
    bool ShiftSelection(int32_t maskIndex, uint16_t maskIdLow, int32_t dx, int32_t dy) override;

    std::string Name;
    uint8_t EngineLevelMax = 1;
    bool OpaquePaper = true;
    bool CheckerTransparency = false;
    uint32_t PaperColour = kWhitePaper;
    uint8_t PlaybackState = 0;
    int32_t Resolution = 0;
    int32_t Width = 0, Height = 0;
    bool EventsDamaged = false, EventsProtected = false;
    bool Ready = false;
    bool GridOn = false;
    int32_t GridX = 25, GridY = 25;
    uint32_t GridColour = 0x80000000u;
    // The navigator's reduced picture; followed only while it has a size.
    TMTC Thumbnail;
    // Told 1 when the document becomes ready and 0 when it goes away.
    std::function<void(int)> ChangeCallback;

    // The offset of the old picture inside a new canvas for an anchor.
    static Point CanvasOffset(int32_t anchor, int32_t oldW, int32_t oldH, int32_t newW, int32_t newH);

    // ---- for the document's operations (PaperOperation.h) ----
    // The packet into the stream; false when it is empty or refused.
    bool RecordPacket(const std::vector<uint8_t>& packet);
    // The history record of a change that went in: pushed; when it could not
    // be built the user is told and the history goes, so that undo never
    // steps the stream back over a step the history lacks.
    void KeepHistory(HistoryRecord&& history);
    // The marks that open the stream of a new canvas.
    bool RecordStartMarks();
    // After a change of several layers or of the size: composite, current
    // layer, tool window.
    void RefreshWholePicture();
    void RefreshStackArea(const EdgeRect& contentBounds);
    // Memory ran out on the way: the user is told and, for a change the user
    // asked for, the history is dropped. Always false.
    bool LayerMemoryFailed(bool record);
    void WarnFailed(const char* what) const;
    // Every store turned a quarter; false, nothing changed, when one cannot be.
    bool RotateAllLayers90(bool clockwise);
    // The stack swapped for another; the former one comes back.
    std::unique_ptr<CLayerMngr> SwapStack(std::unique_ptr<CLayerMngr> stack);

private:
    bool TransformPicture(int command, bool allLayers, bool record);
    bool ApplyStackRecord(CUndoData& record, bool undo);
    // History records of the layer operations that the undo framework does
    // not apply itself: merges (TPaperLayers.cpp), link groups and
    // visibility sets (TPaperLinks.cpp).
    bool ApplyMergeDownRecord(CUndoData& record, bool undo);
    bool ApplyMergeVisibleRecord(CUndoData& record, bool undo);
    bool MergeLayerDown(int32_t upper, int32_t method, bool withMethod, bool record);
    bool ApplyLinkRecord(CUndoData& record, bool undo);
    bool ApplyMaskRecord(CUndoData& record, bool undo);
    bool ApplyHistory(bool undo, int32_t& layerIndex, ExtentRect& rect);
    void RefreshAfterHistory(const SUndoOutcome& out);
    ExtentRect PictureRectOf(const SUndoOutcome& out) const;
    // The picture's thumbnail where the changed rectangle meets it.
    void RefreshPictureThumbnail(const ExtentRect& changed);
    void RenderBand(const ExtentRect& rect, bool withGrid, const SWetLayer* wet);
    void DrawGrid(const ExtentRect& rect);
    void MakeUndo();
    // Without a recorder given, the document records through its own
    // manager; when that cannot start, through none.
    void MakeEventManager(int32_t steps);

    DocumentHost& host_;
    SPaperSettings settings_;
    uint8_t engineLevel_ = 1;
    TTC composite_;
    EdgeRect pictureChange_{};
    std::unique_ptr<CLayerMngr> layers_;
    std::unique_ptr<CMaskMngr> masks_;
    std::unique_ptr<EventRecorder> recorder_;
    CEventMngr* eventMngr_ = nullptr;
    std::unique_ptr<CUndoMngrEx> undo_;
    const TStroke* strokePen_ = nullptr;
    CPenRender* penRenderer_ = nullptr;

    // ---- strokes (TPaperStroke.cpp) ----
    // Makes the stroke engines and takes the preference's engine.
    void StartStrokeEngines();
    // A layer's pixels changed outside a stroke: the wet paint must be taken
    // again before the next stroke paints over it.
    void WetPaintStale() { wetPaintStale_ = true; }
    bool StrokeOnLayer(TFlowImage& flow, TStroke& stroke, bool record, float pressure, float y, float x);
    bool RecordStrokeStart(bool record, float pressure, float y, float x);
    // nullptr when the engine cannot be made.
    StrokeEngine* EngineFor(uint8_t engine);
    CLayerData* StrokeLayer();
    void CommitStroke(TFlowImage& flow, bool record, const EdgeRect& rect);
    void FinishStroke();
    std::unique_ptr<SStrokeState, SStrokeStateDelete> strokes_;
    bool wetPaintStale_ = false;
};

} // namespace morvane
