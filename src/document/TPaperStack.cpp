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

#include "document/EventPacket.h"
#include "document/TPaper.h"
#include "platform/BusyCursor.h"
#include "platform/UserNotifier.h"
#include "storage/CScaleImage.h"
#include "storage/SizeLimits.h"

namespace morvane {

// One layer of the new stack: its store size and where the picture lies in it.
struct SLayerPlan {
    int64_t width = 0, height = 0;
    int32_t originX = 0, originY = 0;
};

struct SStackChange {
    int32_t width = 0, height = 0; // the new picture
    bool keepAttributes = false;
    int kind = 0;
    Point shift;
    EventPacket packet{0, 0};
    // Crop cannot go on without its history: it fails with this word. The
    // sizes (nullptr) ask to go on without one instead.
    const char* failedWord = nullptr;
    const char* progressTitle = nullptr;
    std::function<SLayerPlan(const CLayerData& old)> plan;
    std::function<bool(const CLayerData& old, CBlockVMTC& store)> fill;
};

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

Point TPaper::CanvasOffset(int32_t anchor, int32_t oldW, int32_t oldH, int32_t newW, int32_t newH)
{
    if (anchor < 0 || anchor > 8)
        anchor = 0;
    // Division truncates toward zero, as the anchors are defined.
    const int32_t spans[3][2] = {{0, 0}, {(newW - oldW) / 2, (newH - oldH) / 2}, {newW - oldW, newH - oldH}};
    return {spans[anchor / 3][0], spans[anchor % 3][1]};
}

bool TPaper::ReplaceStack(const SStackChange& change, bool record)
{
    std::vector<SLayerPlan> plans;
    if (!IsPictureSizeAllowed(change.width, change.height) || !PlanLayers(*layers_, change, plans))
        return false;
    BusyCursor busy;
    bool inPlace = !(record && UndoEnabled());
    std::unique_ptr<CLayerMngr> stack = RemakeStack(*layers_, plans, change, host_);
    if (!stack && !inPlace && !change.failedWord) {
        if (Notifier().Ask(kGoOnWithoutUndo, Buttons::OkCancel) != Answer::Ok)
            return false;
        // The user gave the history up: its memory goes to the second try.
        undo_->ClearHistory();
        recorder_->DiscardRedoSteps();
        inPlace = true;
        stack = RemakeStack(*layers_, plans, change, host_);
    }
    if (!stack || !CompositeFits(change.width, change.height)) {
        if (change.failedWord)
            WarnFailed(change.failedWord);
        else
            Notifier().Warn(kFailedGenerally);
        return false;
    }
    // Only now is the change certain: the stream never holds one the
    // picture did not get.
    if (record && !change.packet.SendTo(*recorder_))
        return false;
    // Masks, once the document has them, are shifted or resampled here too.
    if (!inPlace)
        return SwapInStack(std::move(stack), change.kind, change.shift, record);
    if (!SetPictureSize(change.width, change.height))
        return false;
    // The layers keep their identity; what the history knew of them is gone.
    for (int32_t i = 0; i < layers_->Count(); ++i) {
        stack->At(i)->Id = layers_->At(i)->Id;
        layers_->SwapWith(i, *stack, i);
    }
    if (undo_)
        undo_->ClearHistory();
    recorder_->DiscardRedoSteps();
    host_.PictureShifted(change.shift.x, change.shift.y);
    RefreshWholePicture();
    return true;
}

bool TPaper::Crop(int32_t layer, const EdgeRect& rect, bool record)
{
    EdgeRect r;
    if (!layers_->IsValidIndex(layer) || !Intersect(rect, {0, 0, Width, Height}, r))
        return false;
    SStackChange change;
    change.width = r.right - r.left;
    change.height = r.bottom - r.top;
    change.kind = kUndoCrop;
    change.shift = {-r.left, -r.top};
    change.packet =
        EventPacket(2, 6, 18).I16(0, layer).I32(2, r.left).I32(6, r.top).I32(10, r.right).I32(14, r.bottom);
    change.failedWord = kCropWord;
    change.plan = [&](const CLayerData&) { return SLayerPlan{change.width, change.height, 0, 0}; };
    change.fill = [&](const CLayerData& old, CBlockVMTC& store) {
        return store.CopyStore(*old.Store, {0, 0},
                               {r.left + old.OriginX, r.top + old.OriginY, change.width, change.height});
    };
    return ReplaceStack(change, record);
}

bool TPaper::SetCanvasSize(int32_t width, int32_t height, bool keepAttributes, int32_t anchor, bool record)
{
    if (!IsPictureSizeAllowed(width, height))
        return false;
    if (anchor < 0 || anchor > 8)
        anchor = 0;
    const Point offset = CanvasOffset(anchor, Width, Height, width, height);
    // The new canvas in old picture coordinates.
    const EdgeRect canvas{-offset.x, -offset.y, width - offset.x, height - offset.y};
    SStackChange change;
    change.width = width;
    change.height = height;
    change.keepAttributes = keepAttributes;
    change.kind = kUndoCanvasSize;
    change.shift = offset;
    change.packet = EventPacket(2, 2, 10)
                        .Byte(0, uint8_t(anchor))
                        .Byte(1, keepAttributes ? 1 : 0)
                        .I32(2, width)
                        .I32(6, height);
    // Each store covers both its old content and the new canvas.
    auto coverOf = [canvas](const CLayerData& old) { return Union(old.ContentBounds(), canvas); };
    change.plan = [&](const CLayerData& old) {
        const EdgeRect u = coverOf(old);
        return SLayerPlan{int64_t(u.right) - u.left, int64_t(u.bottom) - u.top, canvas.left - u.left,
                          canvas.top - u.top};
    };
    change.fill = [&](const CLayerData& old, CBlockVMTC& store) {
        const EdgeRect u = coverOf(old), content = old.ContentBounds();
        return store.CopyStore(*old.Store, {content.left - u.left, content.top - u.top},
                               {0, 0, old.Store->Width, old.Store->Height});
    };
    return ReplaceStack(change, record);
}

bool TPaper::SetImageSize(int32_t width, int32_t height, bool keepAttributes, bool record)
{
    SStackChange change;
    change.width = width;
    change.height = height;
    change.keepAttributes = keepAttributes;
    change.kind = kUndoImageSize;
    change.packet = EventPacket(2, 9, 10).I16(0, keepAttributes ? 1 : 0).I32(2, width).I32(6, height);
    change.progressTitle = kImageSizeTitle;
    // A layer without a nominal size plans no store, which refuses the change.
    change.plan = [&](const CLayerData& old) {
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
    return ReplaceStack(change, record);
}

bool TPaper::SwapInStack(std::unique_ptr<CLayerMngr> stack, int kind, Point shift, bool record)
{
    const int32_t oldW = Width, oldH = Height;
    if (!stack || !SetPictureSize(stack->PictureW, stack->PictureH))
        return false;
    std::swap(layers_, stack);
    stack->PictureW = oldW;
    stack->PictureH = oldH;
    if (record && undo_) {
        SUndoCommand command;
        command.kind = kind;
        command.rect = {0, 0, Width, Height};
        command.values.a = shift.x;
        command.values.b = shift.y;
        command.kept.stack = std::move(stack);
        // Without its record the history could not step back over the new
        // size: it goes.
        if (!undo_->PushCommand(std::move(command)))
            undo_->ClearHistory();
    }
    host_.PictureShifted(shift.x, shift.y);
    RefreshWholePicture();
    return true;
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
    host_.PictureShifted(sign * record.values.a, sign * record.values.b);
    return true;
}

} // namespace morvane
