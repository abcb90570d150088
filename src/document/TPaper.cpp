#include "document/TPaper.h"

#include <algorithm>
#include <array>

#include "document/CMaskMngr.h"
#include "document/LayerComposite.h"
#include "document/PictureOperations.h"
#include "document/SLayerParam.h"
#include "events/CEventMngr.h"
#include "platform/BusyCursor.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/ShrinkFootprint.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr int32_t kMaxUndoCount = 50;
// The event steps outnumber the undo records by the light records' slack
// and a margin.
constexpr int32_t kEventStepsBeyondUndo = 34;

// Flags of the new-canvas packet are stored inverted: 0 set, 0xFF clear.
uint8_t InvertedFlag(bool set) { return set ? 0x00 : 0xFF; }
} // namespace

TPaper::TPaper(DocumentHost& host, SPaperSettings settings, std::unique_ptr<EventRecorder> recorder)
    : host_(host), settings_(settings), layers_(std::make_unique<CLayerMngr>(kLayerCapacity)),
      masks_(std::make_unique<CMaskMngr>()), recorder_(std::move(recorder))
{
    GridColour = settings_.gridColour;
    settings_.undoCount = std::clamp(settings_.undoCount, 1, kMaxUndoCount);
    const int32_t steps = std::max(8, settings_.undoCount + kEventStepsBeyondUndo);
    if (!recorder_)
        MakeEventManager(steps);
    else if (!recorder_->SetStepCapacity(steps))
        Diagnose("failed to create eventMngr!");
    // The history holds a reference to the recorder, so the recorder is made
    // first and goes last.
    MakeUndo();
    StartStrokeEngines();
}

TPaper::~TPaper()
{
    Ready = false;
    if (ChangeCallback)
        ChangeCallback(0);
    undo_.reset();
    masks_.reset();
    layers_.reset();
    recorder_.reset();
}

void TPaper::MakeUndo()
{
    undo_ = std::make_unique<CUndoMngrEx>(settings_.undoCount, settings_.undoCount, *recorder_);
    undo_->SetHost(this);
}

void TPaper::SetEngineLevel(uint8_t level)
{
    engineLevel_ = std::min<uint8_t>(level, 2);
    EngineLevelMax = std::max(EngineLevelMax, engineLevel_);
    if (engineLevel_ == 0)
        undo_.reset();
    else if (!undo_)
        MakeUndo();
}

// ---- new picture and size ------------------------------------------------------------

// ---- new picture ---------------------------------------------------------------------

Verdict NewPictureOp::Check(OpContext&)
{
    return IsPictureSizeAllowed(width, height) && IsStoreSizeAllowed(layerWidth, layerHeight) ? Verdict::Go
                                                                                              : Verdict::Refuse;
}

bool NewPictureOp::Prepare(OpContext& c)
{
    TPaper& paper = c.paper;
    const bool oldest = paper.EngineLevel() == 0;
    // The new stack is made beside the old one so a failure leaves the
    // picture as it was.
    auto stack = std::make_unique<CLayerMngr>(TPaper::kLayerCapacity);
    stack->PictureW = width;
    stack->PictureH = height;
    const int mode = oldest ? kModeMultiply : kModeNormal;
    if (stack->AddLayer(0, oldest ? width : layerWidth, true, 255, mode, oldest ? height : layerHeight) != 0)
        return false;
    CLayerData& layer = *stack->At(0);
    const bool transparent = layerTransparent && !oldest;
    if (!layer.SetAllAlpha(transparent ? 0 : 255))
        return false;
    layer.ResetThumbnail(transparent);
    stack->NameLayer(0, 1);
    stack->SetCurrent(0);
    if (!paper.SetPictureSize(width, height))
        return false;
    paper.SwapStack(std::move(stack));
    paper.SwapMasks(std::make_unique<CMaskMngr>());
    if (paper.UndoManager())
        paper.UndoManager()->ClearHistory();
    paper.Name = name;
    paper.Resolution = std::max(resolution, 1);
    paper.OpaquePaper = !transparentPaper;
    paper.SelectLayer(0);
    paper.RenderAll(true);
    return true;
}

// The canvas command, then the marks that open the stream; the picture
// stands whether or not they could be kept.
bool NewPictureOp::Record(OpContext& c)
{
    NewCanvasPayload p;
    p.width = width, p.height = height, p.layerWidth = layerWidth, p.layerHeight = layerHeight;
    p.resolution = resolution;
    p.transparentCanvasInverted = InvertedFlag(transparentPaper);
    p.transparentLayerInverted = InvertedFlag(layerTransparent);
    if (c.paper.RecordPacket(p.Encode()))
        c.paper.RecordStartMarks();
    return true;
}

void NewPictureOp::Refresh(OpContext& c)
{
    TPaper& paper = c.paper;
    paper.Ready = true;
    if (paper.ChangeCallback)
        paper.ChangeCallback(1);
    paper.InvalidateWindow(true);
}

std::optional<NewPictureOp> NewPictureOp::Replayed(OpContext& c, PacketId, const NewCanvasOldPayload& p)
{
    NewPictureOp op;
    op.name = c.paper.Name;
    op.layerTransparent = true;
    op.layerWidth = p.layerWidth, op.layerHeight = p.layerHeight, op.width = p.width, op.height = p.height;
    return op;
}

std::optional<NewPictureOp> NewPictureOp::Replayed(OpContext& c, PacketId, const NewCanvasPayload& p)
{
    NewPictureOp op;
    op.name = c.paper.Name;
    op.transparentPaper = p.transparentCanvasInverted == 0;
    op.layerTransparent = p.transparentLayerInverted == 0;
    op.resolution = p.resolution;
    op.layerWidth = p.layerWidth, op.layerHeight = p.layerHeight, op.width = p.width, op.height = p.height;
    return op;
}

bool TPaper::NewPicture(const std::string& name, bool layerTransparent, bool transparentPaper, int32_t resolution,
                        int32_t layerWidth, int32_t layerHeight, int32_t width, int32_t height, bool record)
{
    NewPictureOp op;
    op.name = name;
    op.layerTransparent = layerTransparent, op.transparentPaper = transparentPaper, op.resolution = resolution;
    op.layerWidth = layerWidth, op.layerHeight = layerHeight, op.width = width, op.height = height;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::SetPictureSize(int32_t width, int32_t height)
{
    if (!IsPictureSizeAllowed(width, height))
        return false;
    if (composite_.Width != width || composite_.Height != height) {
        if (!composite_.Resize(width, height))
            return false;
        // An opaque paper never writes the alpha bytes: they must not be
        // whatever the memory held.
        composite_.FillAll(0);
        pictureChange_ = {0, 0, width, height};
    }
    Width = width;
    Height = height;
    layers_->PictureW = width;
    layers_->PictureH = height;
    host_.PictureResized(width, height);
    return true;
}

// ---- layers -------------------------------------------------------------------------

void TPaper::LayerChanged(int32_t index, const ExtentRect& rect)
{
    CLayerData* layer = layers_->At(index);
    if (!layer)
        return;
    WetPaintStale();
    // A whole shrink of a large picture costs far more than the change:
    // only the thumbnail pixels the rectangle meets are made again.
    layer->RefreshThumbnail(rect);
    if (!host_.IsPlayingBack())
        host_.RefreshLayerEntry(index);
    RefreshPictureThumbnail(rect);
}

void TPaper::RefreshPictureThumbnail(const ExtentRect& changed)
{
    if (Thumbnail.IsValid() && composite_.IsValid())
        composite_.ShrinkArea(Thumbnail, ShrinkTargetsMeeting(composite_.Width, composite_.Height, Thumbnail.Width,
                                                              Thumbnail.Height, changed));
}

TPaper::MemoryFigures TPaper::MemoryUsed()
{
    MemoryFigures m;
    m.layers = layers_->MemoryUsed();
    m.undo = undo_ ? undo_->HeldBytes() : 0;
    const int64_t events = eventMngr_ ? eventMngr_->WritePosition() : 0;
    m.total = m.layers + m.undo + composite_.ByteSize() + events;
    return m;
}

bool TPaper::SelectLayer(int32_t index)
{
    if (!layers_->IsValidIndex(index))
        return false;
    layers_->SetCurrent(index);
    host_.ReloadWetPaint(index);
    return true;
}

// ---- paper and grid -----------------------------------------------------------------

std::vector<uint8_t> SetPaperColourOp::Packet(OpContext&) const
{
    CanvasColourPayload p;
    p.colour = colour;
    return p.Encode();
}

HistoryRecord SetPaperColourOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakeCanvasColour(colour);
    return h;
}

bool SetPaperColourOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.PaperColour = colour;
    return true;
}

void SetPaperColourOp::Refresh(OpContext& c)
{
    c.paper.Host().MarkModified();
    c.paper.RenderAll(true);
}

std::optional<SetPaperColourOp> SetPaperColourOp::Replayed(OpContext&, PacketId, const CanvasColourPayload& p)
{
    return SetPaperColourOp{p.colour};
}

bool TPaper::SetPaperColour(uint32_t colour, bool record)
{
    return RunOperation(*this, SetPaperColourOp{colour}, record);
}

bool TPaper::SetPaperMode(bool opaque, bool checker)
{
    if ((PaperColour & 0x00FFFFFFu) != kWhitePaper || (opaque == OpaquePaper && checker == CheckerTransparency))
        return false;
    OpaquePaper = opaque;
    CheckerTransparency = checker;
    RenderAll(true);
    return true;
}

void TPaper::SetGrid(bool on, int32_t spacingX, int32_t spacingY, bool redraw)
{
    GridOn = on;
    GridX = std::max(spacingX, kMinGrid);
    GridY = std::max(spacingY, kMinGrid);
    if (redraw)
        RenderRect({0, 0, Width, Height}, true);
    InvalidateWindow(false);
}

// ---- the operations' driver ---------------------------------------------------------

bool TPaper::RecordPacket(const std::vector<uint8_t>& packet)
{
    return !packet.empty() && recorder_->Record(packet.data(), packet.size());
}

void TPaper::KeepHistory(HistoryRecord&& history)
{
    if (history.none || !undo_)
        return;
    if (undo_->Push(std::move(history.record)))
        return;
    // The change stands and its step is in the stream; without its record the
    // history would step back over the wrong step, so it goes whole.
    undo_->ClearHistory();
    recorder_->DiscardRedoSteps();
}

// ---- undo ---------------------------------------------------------------------------

bool TPaper::Undo(int32_t& layerIndex, ExtentRect& rect) { return ApplyHistory(true, layerIndex, rect); }
bool TPaper::Redo(int32_t& layerIndex, ExtentRect& rect) { return ApplyHistory(false, layerIndex, rect); }

bool TPaper::ClearHistoryAsked()
{
    if (!undo_ || host_.IsPlayingBack())
        return false;
    if (Notifier().Ask("すべての 取り消し/やり直し を破棄してよろしいですか?", Buttons::YesNo) != Answer::Yes)
        return false;
    undo_->ClearHistory();
    recorder_->DiscardRedoSteps();
    return true;
}

bool TPaper::SetUndoCount(int32_t count)
{
    count = std::clamp(count, 1, kMaxUndoCount);
    if (!recorder_->SetStepCapacity(std::max(8, count + kEventStepsBeyondUndo))) {
        Notifier().Warn("アンドゥ回数の変更に失敗しました!");
        return false;
    }
    settings_.undoCount = count;
    if (undo_)
        undo_->SetDepth(count, count);
    return true;
}

bool TPaper::ApplyHistory(bool undo, int32_t& layerIndex, ExtentRect& rect)
{
    // A running stroke owns the stream's open step: history packets must
    // not land inside it.
    if (!undo_ || IsStroking())
        return false;
    SUndoOutcome out;
    if (!(undo ? undo_->UndoCommand(*layers_, out) : undo_->RedoCommand(*layers_, out)))
        return false;
    RefreshAfterHistory(out);
    WetPaintStale();
    host_.ReloadWetPaint(layers_->Current());
    layerIndex = out.layerIndex;
    rect = PictureRectOf(out);
    return true;
}

// Records hold store coordinates; the picture lies at the layer's origin.
ExtentRect TPaper::PictureRectOf(const SUndoOutcome& out) const
{
    const CLayerData* layer = layers_->At(out.layerIndex);
    if (!layer)
        return out.rect;
    return {out.rect.left - layer->OriginX, out.rect.top - layer->OriginY, out.rect.width, out.rect.height};
}

void TPaper::RefreshAfterHistory(const SUndoOutcome& out)
{
    if (out.flags & kUndoFlagSelection) {
        RefreshSelection();
        // A selection record bound to no layer leaves the picture as it is.
        if (!(out.flags & (kUndoFlagLayerAfterSelection | kUndoFlagCanvas)) && !layers_->IsValidIndex(out.layerIndex))
            return;
    }
    if (out.flags & (kUndoFlagLayerList | kUndoFlagLayerAfterSelection))
        host_.RefreshLayerList();
    // A record bound to no layer (the paper colour) changes the whole
    // picture even though its flags only name the layer list.
    if ((out.flags & (kUndoFlagCanvas | kUndoFlagCanvasSize)) || !layers_->IsValidIndex(out.layerIndex)) {
        RenderAll(true);
        SelectLayer(layers_->IsValidIndex(out.layerIndex) ? out.layerIndex : layers_->Current());
        return;
    }
    const ExtentRect picture = PictureRectOf(out);
    RenderRect(picture, true);
    host_.InvalidateRect(picture);
    LayerChanged(out.layerIndex, picture);
}

void TPaper::RefreshWholePicture()
{
    host_.MarkModified();
    RenderAll(true);
    RefreshPictureThumbnail({0, 0, Width, Height});
    SelectLayer(layers_->Current());
    host_.RefreshLayerList();
}

void TPaper::WarnFailed(const char* what) const
{
    Notifier().Warn(std::string("メモリ不足により") + what + "の実行に失敗しました！");
}

// Records of kept masks and link tables come with the operations that make
// them; refusing the others keeps the history from applying half a change.
bool TPaper::ApplyKept(CUndoData& record, CLayerMngr&, bool undo)
{
    switch (record.Id()) {
    case UndoKind::RotateCanvas90: return RotateAllLayers90((record.values.a != 0) != undo);
    case UndoKind::CanvasSize:
    case UndoKind::ImageSize:
    case UndoKind::Crop: return ApplyStackRecord(record, undo);
    case UndoKind::MergeDown: return ApplyMergeDownRecord(record, undo);
    case UndoKind::MergeVisible: return ApplyMergeVisibleRecord(record, undo);
    case UndoKind::MoveResizeWithSelection:
    case UndoKind::LinkGroup:
    case UndoKind::DeleteLinkedLayer:
    case UndoKind::DeleteLinkGroup:
    case UndoKind::MoveLinkGroup:
    case UndoKind::MoveLinked:
    case UndoKind::MoveLinkedWithSelection:
    case UndoKind::ShowOnly:
    case UndoKind::ShowAll:
    case UndoKind::InvertVisibility:
    case UndoKind::LinkGroupVisible: return ApplyLinkRecord(record, undo);
    case UndoKind::NewMask:
    case UndoKind::MaskFromLayer:
    case UndoKind::DeleteMask:
    case UndoKind::MaskPixels:
    case UndoKind::CurrentMask:
    case UndoKind::MoveMask:
    case UndoKind::InvertSelection:
    case UndoKind::MoveSelection:
    case UndoKind::SelectionDisplay:
    case UndoKind::CombineMasks:
    case UndoKind::MaskName: return ApplyMaskRecord(record, undo);
    // Selection copies and link-group merges push no records yet.
    default: return false;
    }
}


} // namespace morvane
