// Operations that give the picture a new size by replacing the layer stack
// whole: crop, canvas size and image size. Every new layer is made before
// anything is recorded or changed; the old stack moves into the history
// without a copy, or, without a history, the new layers replace the old ones
// in place.
#include <algorithm>
#include <cmath>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include "document/CMaskMngr.h"
#include "document/PictureOperations.h"
#include "document/TPaper.h"
#include "platform/UserNotifier.h"
#include "storage/CScaleImage.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr const char* kCropWord = "切り抜き";
constexpr const char* kImageSizeTitle = "解像度を変更しています";
constexpr const char* kFailedGenerally = "メモリ不足により正常に実行できませんでした！";
// The document keeps no "unsaved" flag yet, so the advice to save is always given.
constexpr const char* kGoOnWithoutUndo = "メモリ不足のためアンドゥは実行できませんがよろしいですか?\r* "
                                         "実行前にファイルを保存しておくことをおすすめします *";

int64_t RoundScaled(int64_t v, double f)
{
    return int64_t(std::floor(double(v) * f + 0.5));
}

// The progress dialog of a change that has one, closed however the build ends.
class ProgressScope {
public:
    ProgressScope(DocumentHost& host, const char* title) : host_(title ? &host : nullptr)
    {
        if (host_)
            host_->BeginProgress(title);
    }
    ~ProgressScope()
    {
        if (host_)
            host_->EndProgress();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    void Step(const CLayerData& layer, int32_t i, int32_t n)
    {
        if (host_)
            host_->Progress(layer.Name + "を処理中...", int32_t(int64_t(i) * 100 / std::max(n, 1)));
    }

private:
    DocumentHost* host_;
};

// A layer of the new stack for old, made by plan and filled by change.fill;
// nullptr when memory runs out.
std::unique_ptr<CLayerData> RemakeLayer(const CLayerData& old, const SLayerPlan& plan,
                                        const SStackChange& change, const CLayerMngr& stack)
{
    auto layer = std::make_unique<CLayerData>(old.Position);
    if (!layer->Setup(int32_t(plan.width), int32_t(plan.height), old.Mode, stack.ThumbW, stack.ThumbH))
        return nullptr;
    layer->Store->DefaultUniform = old.Store->DefaultUniform;
    if (change.keepAttributes) {
        layer->CopyAttributes(old);
    } else {
        layer->Name = old.Name;
        layer->Visible = old.Visible;
        layer->Opacity = old.Opacity;
    }
    if (!change.fill(old, *layer->Store))
        return nullptr;
    layer->OriginX = plan.originX;
    layer->OriginY = plan.originY;
    layer->NominalW = change.width;
    layer->NominalH = change.height;
    if (!layer->SizeThumbnail(stack.ThumbW, stack.ThumbH) || !layer->RefreshThumbnail())
        return nullptr;
    return layer;
}

// Every layer's plan; false when a store would be past the store limits (or
// a layer has no store), before anything is allocated.
bool PlanLayers(const CLayerMngr& stack, const SStackChange& change, std::vector<SLayerPlan>& plans)
{
    for (int32_t i = 0; i < stack.Count(); ++i) {
        const CLayerData& old = *stack.At(i);
        if (!old.HasStore())
            return false;
        plans.push_back(change.plan(old));
        if (!IsStoreSizeAllowed(plans.back().width, plans.back().height))
            return false;
    }
    return true;
}

// The new stack, keeping the old one's counters, thumbnail size and current
// layer; nullptr when memory runs out.
std::unique_ptr<CLayerMngr> RemakeStack(const CLayerMngr& old, const std::vector<SLayerPlan>& plans,
                                        const SStackChange& change, DocumentHost& host)
{
    ProgressScope progress(host, change.progressTitle);
    try {
        auto stack = std::make_unique<CLayerMngr>(old.Count());
        stack->NameCounter = old.NameCounter;
        stack->CreatedCount = old.CreatedCount;
        stack->ThumbW = old.ThumbW;
        stack->ThumbH = old.ThumbH;
        stack->PictureW = change.width;
        stack->PictureH = change.height;
        for (int32_t i = 0; i < old.Count(); ++i) {
            progress.Step(*old.At(i), i, old.Count());
            if (!stack->InsertLayer(i, RemakeLayer(*old.At(i), plans[size_t(i)], change, *stack)))
                return nullptr;
        }
        stack->SetCurrent(old.Current());
        return stack;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Whether the composite can take the new size, asked before anything is
// recorded.
bool CompositeFits(int32_t width, int32_t height)
{
    TTC probe(width, height);
    return probe.IsValid();
}
} // namespace

// ---- the stack remade ----------------------------------------------------------------

StackChangeOp::StackChangeOp() = default;
StackChangeOp::StackChangeOp(StackChangeOp&&) noexcept = default;
StackChangeOp::~StackChangeOp() = default;

Verdict StackChangeOp::CheckPlans(OpContext& c)
{
    return IsPictureSizeAllowed(change.width, change.height) && PlanLayers(c.paper.Layers(), change, plans)
               ? Verdict::Go
               : Verdict::Refuse;
}

bool StackChangeOp::Prepare(OpContext& c)
{
    TPaper& paper = c.paper;
    inPlace = !(c.record && paper.UndoEnabled());
    stack = RemakeStack(paper.Layers(), plans, change, paper.Host());
    if (!stack && !inPlace && !change.failedWord) {
        if (Notifier().Ask(kGoOnWithoutUndo, Buttons::OkCancel) != Answer::Ok)
            return false;
        // The user gave the history up: its memory goes to the second try.
        paper.UndoManager()->ClearHistory();
        paper.Events().DiscardRedoSteps();
        inPlace = true;
        stack = RemakeStack(paper.Layers(), plans, change, paper.Host());
    }
    if (!stack || !CompositeFits(change.width, change.height)) {
        if (change.failedWord)
            paper.WarnFailed(change.failedWord);
        else
            Notifier().Warn(kFailedGenerally);
        return false;
    }
    if (change.kind == UndoKind::ImageSize) {
        masks = paper.Masks().Resampled(paper.Width, paper.Height, change.width, change.height);
        if (!masks)
            return false;
    }
    // Only now is the change certain: the stream never holds one the
    // picture did not get.
    return true;
}

HistoryRecord StackChangeOp::History(OpContext&)
{
    if (inPlace)
        return HistoryRecord::None();
    HistoryRecord h;
    h.record = CUndoData::Command(change.kind, -1, -1, {0, 0, change.width, change.height},
                                  {change.shift.x, change.shift.y, 0, 0});
    return h;
}

// The masks follow: shifted with the content, or resampled with it.
bool StackChangeOp::Apply(OpContext& c, CUndoData* record)
{
    TPaper& paper = c.paper;
    const int32_t oldW = paper.Width, oldH = paper.Height;
    if (!paper.SetPictureSize(change.width, change.height))
        return false;
    if (masks) {
        std::unique_ptr<CMaskMngr> former = paper.SwapMasks(std::move(masks));
        if (record && !inPlace)
            record->kept.object = std::move(former);
    } else {
        paper.ShiftMasks(change.shift.x, change.shift.y);
    }
    if (!inPlace) {
        // Without its record the history could not step back over the new
        // size: the driver drops the history when the record is missing.
        std::unique_ptr<CLayerMngr> old = paper.SwapStack(std::move(stack));
        old->PictureW = oldW;
        old->PictureH = oldH;
        if (record)
            record->kept.stack = std::move(old);
        return true;
    }
    // The layers keep their identity; what the history knew of them is gone.
    CLayerMngr& layers = paper.Layers();
    for (int32_t i = 0; i < layers.Count(); ++i) {
        stack->At(i)->Id = layers.At(i)->Id;
        layers.SwapWith(i, *stack, i);
    }
    if (paper.UndoManager())
        paper.UndoManager()->ClearHistory();
    paper.Events().DiscardRedoSteps();
    return true;
}

void StackChangeOp::Refresh(OpContext& c)
{
    c.paper.Host().PictureShifted(change.shift.x, change.shift.y);
    c.paper.RefreshWholePicture();
}

// ---- crop ---------------------------------------------------------------------------

CropOp::CropOp(int32_t l, const EdgeRect& r) : layer(l), rect(r) {}

Verdict CropOp::Check(OpContext& c)
{
    EdgeRect& r = clipped_;
    if (!c.paper.Layers().IsValidIndex(layer) || !Intersect(rect, {0, 0, c.paper.Width, c.paper.Height}, r))
        return Verdict::Refuse;
    change.width = r.right - r.left;
    change.height = r.bottom - r.top;
    change.kind = UndoKind::Crop;
    change.shift = {-r.left, -r.top};
    CropPayload p;
    p.layer = int16_t(layer), p.left = r.left, p.top = r.top, p.right = r.right, p.bottom = r.bottom;
    change.packet = p.Encode();
    change.failedWord = kCropWord;
    change.plan = [this](const CLayerData&) { return SLayerPlan{change.width, change.height, 0, 0}; };
    change.fill = [this](const CLayerData& old, CBlockVMTC& store) {
        return store.CopyStore(*old.Store, {0, 0},
                               {clipped_.left + old.OriginX, clipped_.top + old.OriginY, change.width,
                                change.height});
    };
    return CheckPlans(c);
}

std::optional<CropOp> CropOp::Replayed(OpContext&, PacketId, const CropPayload& p)
{
    if (p.left >= p.right || p.top >= p.bottom)
        return std::nullopt;
    return CropOp(p.layer, {p.left, p.top, p.right, p.bottom});
}

// ---- canvas size ----------------------------------------------------------------------

SetCanvasSizeOp::SetCanvasSizeOp(int32_t w, int32_t h, bool keep, int32_t a)
    : width(w), height(h), anchor(a), keepAttributes(keep)
{
}

Verdict SetCanvasSizeOp::Check(OpContext& c)
{
    if (!IsPictureSizeAllowed(width, height))
        return Verdict::Refuse;
    if (anchor < 0 || anchor > 8)
        anchor = 0;
    const Point offset = TPaper::CanvasOffset(anchor, c.paper.Width, c.paper.Height, width, height);
    // The new canvas in old picture coordinates.
    canvas_ = {-offset.x, -offset.y, width - offset.x, height - offset.y};
    change.width = width;
    change.height = height;
    change.keepAttributes = keepAttributes;
    change.kind = UndoKind::CanvasSize;
    change.shift = offset;
    CanvasSizePayload p;
    p.anchor = uint8_t(anchor), p.option = keepAttributes ? 1 : 0, p.width = width, p.height = height;
    change.packet = p.Encode();
    // Each store covers both its old content and the new canvas.
    change.plan = [this](const CLayerData& old) {
        const EdgeRect u = Union(old.ContentBounds(), canvas_);
        return SLayerPlan{int64_t(u.right) - u.left, int64_t(u.bottom) - u.top, canvas_.left - u.left,
                          canvas_.top - u.top};
    };
    change.fill = [this](const CLayerData& old, CBlockVMTC& store) {
        const EdgeRect u = Union(old.ContentBounds(), canvas_), content = old.ContentBounds();
        return store.CopyStore(*old.Store, {content.left - u.left, content.top - u.top},
                               {0, 0, old.Store->Width, old.Store->Height});
    };
    return CheckPlans(c);
}

std::optional<SetCanvasSizeOp> SetCanvasSizeOp::Replayed(OpContext&, PacketId, const CanvasSizePayload& p)
{
    if (p.anchor > 8)
        return std::nullopt;
    return SetCanvasSizeOp(p.width, p.height, p.option != 0, p.anchor);
}

// ---- image size -----------------------------------------------------------------------

SetImageSizeOp::SetImageSizeOp(int32_t w, int32_t h, bool keep) : width(w), height(h), keepAttributes(keep) {}

Verdict SetImageSizeOp::Check(OpContext& c)
{
    change.width = width;
    change.height = height;
    change.keepAttributes = keepAttributes;
    change.kind = UndoKind::ImageSize;
    ResamplePayload p;
    p.SetKind(PacketId::Resolution);
    p.option = keepAttributes ? 1 : 0, p.width = width, p.height = height;
    change.packet = p.Encode();
    change.progressTitle = kImageSizeTitle;
    // A layer without a nominal size plans no store, which refuses the change.
    change.plan = [this](const CLayerData& old) {
        if (old.NominalW <= 0 || old.NominalH <= 0)
            return SLayerPlan{};
        const double fx = double(width) / old.NominalW, fy = double(height) / old.NominalH;
        SLayerPlan plan{RoundScaled(old.Store->Width, fx), RoundScaled(old.Store->Height, fy), 0, 0};
        if (!IsStoreSizeAllowed(plan.width, plan.height))
            return SLayerPlan{};
        // The picture stays inside the store.
        plan.originX = int32_t(std::clamp(RoundScaled(old.OriginX, fx), -kMaxStoreSide, plan.width - width));
        plan.originY =
            int32_t(std::clamp(RoundScaled(old.OriginY, fy), -kMaxStoreSide, plan.height - height));
        return plan;
    };
    change.fill = [](const CLayerData& old, CBlockVMTC& store) {
        if (!ScaleLayerStore(*old.Store, store))
            return false;
        store.Compact();
        return true;
    };
    return CheckPlans(c);
}

std::optional<SetImageSizeOp> SetImageSizeOp::Replayed(OpContext&, PacketId, const ResamplePayload& p)
{
    return SetImageSizeOp(p.width, p.height, p.option != 0);
}

// ---- the document's side ------------------------------------------------------------

Point TPaper::CanvasOffset(int32_t anchor, int32_t oldW, int32_t oldH, int32_t newW, int32_t newH)
{
    if (anchor < 0 || anchor > 8)
        anchor = 0;
    // Division truncates toward zero, as the anchors are defined.
    const int32_t spans[3][2] = {{0, 0}, {(newW - oldW) / 2, (newH - oldH) / 2}, {newW - oldW, newH - oldH}};
    return {spans[anchor / 3][0], spans[anchor % 3][1]};
}

bool TPaper::Crop(int32_t layer, const EdgeRect& rect, bool record)
{
    return RunOperation(*this, CropOp(layer, rect), record);
}

bool TPaper::SetCanvasSize(int32_t width, int32_t height, bool keepAttributes, int32_t anchor, bool record)
{
    return RunOperation(*this, SetCanvasSizeOp(width, height, keepAttributes, anchor), record);
}

bool TPaper::SetImageSize(int32_t width, int32_t height, bool keepAttributes, bool record)
{
    return RunOperation(*this, SetImageSizeOp(width, height, keepAttributes), record);
}

std::unique_ptr<CLayerMngr> TPaper::SwapStack(std::unique_ptr<CLayerMngr> stack)
{
    std::swap(layers_, stack);
    return stack;
}

bool TPaper::ApplyStackRecord(CUndoData& record, bool undo)
{
    if (!record.kept.stack)
        return false;
    const int32_t oldW = Width, oldH = Height;
    if (!SetPictureSize(record.kept.stack->PictureW, record.kept.stack->PictureH))
        return false;
    std::swap(layers_, record.kept.stack);
    record.kept.stack->PictureW = oldW;
    record.kept.stack->PictureH = oldH;
    const int32_t sign = undo ? -1 : 1;
    if (record.Id() == UndoKind::ImageSize) {
        // The former mask list comes back in exchange.
        auto* kept = dynamic_cast<CMaskMngr*>(record.kept.object.get());
        if (kept) {
            record.kept.object.release();
            record.kept.object = SwapMasks(std::unique_ptr<CMaskMngr>(kept));
        }
    } else {
        ShiftMasks(sign * record.values.a, sign * record.values.b);
    }
    host_.PictureShifted(sign * record.values.a, sign * record.values.b);
    RefreshSelection();
    return true;
}

} // namespace morvane
