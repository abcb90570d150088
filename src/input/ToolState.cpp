#include "input/ToolState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "files/PresetLocation.h"
#include "paint/CPenShapeObj.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

bool Selectable(PaintKind kind)
{
    return IsPaintKind(int(kind)) && KindInfo(kind).generation != 0;
}

bool KnownOperation(Operation op)
{
    return int(op.toolClass) < kToolClasses;
}

} // namespace

ToolState::ToolState()
{
    ends_[int(PenEnd::Tip)] = {{}, PaintKind::Pencil4};
    ends_[int(PenEnd::Eraser)] = {{}, PaintKind::Eraser4};
    std::fill(std::begin(chosenSlot_), std::end(chosenSlot_), 1);
    for (int k = 0; k < kPaintKinds; ++k)
        ResetKindDefaults(PaintKind(k));
    nibs_.FillBuiltIns();
    brushes_.AddMissingDefaults();
    TakeSlots();
}

ToolState::~ToolState() = default;

// A kind's defaults with the pressure switches and smallest size its stroke
// method starts with.
void ToolState::ResetKindDefaults(PaintKind kind)
{
    TPaintParam& p = ParamFor(kind);
    p.ResetToKind(kind);
    const PenSettingRecord first = PenSlotDefaults(p.Info().strokeMethod);
    p.SetPressureSize(first.pressureSize);
    p.SetPressureDensity(first.pressureDensity);
    p.SetMinRadius(first.minRadius);
}

// ---- the ends of the pen ----

void ToolState::Select(Operation operation)
{
    if (!KnownOperation(operation) || operation == Current())
        return;
    ends_[int(end_)].operation = operation;
    Notify(toolchange::kOperation);
}

bool ToolState::SelectKind(PaintKind kind)
{
    if (!Selectable(kind))
        return false;
    EndTool& tool = ends_[int(end_)];
    const bool changed = tool.kind != kind || tool.operation != Operation{};
    tool = {{}, kind};
    if (changed)
        Notify(toolchange::kOperation | toolchange::kParams);
    return true;
}

void ToolState::SetEnd(PenEnd end)
{
    if (end == end_)
        return;
    end_ = end;
    Notify(toolchange::kOperation | toolchange::kParams);
}

void ToolState::SetTool(PenEnd end, Operation operation, PaintKind kind)
{
    EndTool& tool = ends_[int(end)];
    if (KnownOperation(operation))
        tool.operation = operation;
    if (Selectable(kind))
        tool.kind = kind;
    Notify(toolchange::kOperation | toolchange::kParams);
}

bool ToolState::SetCombine(CombineMode mode)
{
    if (int32_t(mode) >= kCombineModeCount)
        return false;
    if (mode != combine_) {
        combine_ = mode;
        Notify(toolchange::kOperation);
    }
    return true;
}

// ---- parameter sets ----

const TPaintParam& ToolState::ParamOf(PaintKind kind) const
{
    return params_[IsPaintKind(int(kind)) ? size_t(kind) : 0];
}

bool ToolState::Edit(const std::function<bool(TPaintParam&)>& change)
{
    return EditKind(Kind(), change);
}

bool ToolState::EditKind(PaintKind kind, const std::function<bool(TPaintParam&)>& change)
{
    if (!IsPaintKind(int(kind)) || !change(ParamFor(kind)))
        return false;
    KeepInSlot(kind);
    Notify(toolchange::kParams);
    return true;
}

void ToolState::SetParam(const TPaintParam& param)
{
    ParamFor(param.Kind()) = param;
    KeepInSlot(param.Kind());
    Notify(toolchange::kParams);
}

SizeControl ToolState::SizeOf(PaintKind kind) const
{
    const TPaintParam& p = ParamOf(kind);
    const SizeControlLimits limits = p.SizeLimits();
    if (p.HasBitmap())
        return {p.Settings().bitmapScale * 100.0f, limits.minScale * 100.0f, limits.maxScale * 100.0f, true};
    return {p.Settings().radius, limits.minRadius, limits.maxRadius, false};
}

bool ToolState::SetSize(float value)
{
    if (std::isnan(value))
        return false;
    const SizeControl size = Size();
    value = std::clamp(value, size.lo, size.hi);
    return Edit([&](TPaintParam& p) { return size.percent ? p.SetBitmapScale(value / 100.0f) : p.SetRadius(value); });
}

bool ToolState::StepSize(bool up)
{
    const float v = Size().value;
    return SetSize(up ? std::max(v * 1.1f, v + 0.1f) : std::min(v / 1.1f, v - 0.1f));
}

// ---- colours ----

void ToolState::SetMainColour(uint32_t colour)
{
    colour |= kOpaque;
    if (colour == colours_[0])
        return;
    colours_[0] = colour;
    Notify(toolchange::kColours);
}

void ToolState::SetSubColour(uint32_t colour)
{
    colour |= kOpaque;
    if (colour == colours_[1])
        return;
    colours_[1] = colour;
    Notify(toolchange::kColours);
}

void ToolState::SwapColours()
{
    std::swap(colours_[0], colours_[1]);
    Notify(toolchange::kColours);
}

void ToolState::ResetColours()
{
    colours_[0] = kDefaultMain;
    colours_[1] = kDefaultSub;
    Notify(toolchange::kColours);
}

// ---- lists ----

void ToolState::LoadPresets(PresetLocation& brushes, PresetLocation& nibs)
{
    ReadDefaultNibPresetFile(nibs_, nibs, true);
    if (ReadDefaultBrushPresetFile(brushes_, brushes, true))
        TakePresetKinds();
    Notify(toolchange::kBrushes | toolchange::kNibs | toolchange::kParams);
}

// Only presets read from a file stand for their kind: the defaults added
// after a failed read have no pressure switches, which the kinds' own
// defaults have.
void ToolState::TakePresetKinds()
{
    bool taken[kPaintKinds] = {};
    for (int32_t i = 0; i < brushes_.Count(); ++i) {
        const CPenMethodObj* preset = brushes_.Item(i);
        const std::optional<PaintKind> kind = preset ? preset->Kind() : std::nullopt;
        if (!kind || taken[size_t(*kind)])
            continue;
        TPaintParam param(*kind);
        if (preset->ToPaintParam(param)) {
            ParamFor(*kind) = param;
            taken[size_t(*kind)] = true;
        }
    }
}

int ToolState::SlotTool(PaintKind kind)
{
    const std::span<const PaintKind> kinds = PenSlotKinds();
    const auto it = std::find(kinds.begin(), kinds.end(), kind);
    return it == kinds.end() ? -1 : int(it - kinds.begin());
}

void ToolState::TakeSlots()
{
    for (int tool = 0; tool < kPenSlotTools; ++tool) {
        const PaintKind kind = PenSlotKinds()[size_t(tool)];
        if (const PenSettingRecord* slot = slots_.Slot(tool, chosenSlot_[tool]))
            ParamFor(kind).FromPenSetting(*slot, kind);
    }
    Notify(toolchange::kParams | toolchange::kSlots);
}

void ToolState::KeepInSlot(PaintKind kind)
{
    const int tool = SlotTool(kind);
    if (tool < 0)
        return;
    if (PenSettingRecord* slot = slots_.Slot(tool, chosenSlot_[tool]))
        *slot = ParamFor(kind).ToPenSetting();
}

bool ToolState::ChoosePreset(int32_t index)
{
    const CPenMethodObj* preset = brushes_.Item(index);
    const std::optional<PaintKind> kind = preset ? preset->Kind() : std::nullopt;
    if (!kind)
        return false;
    TPaintParam param(*kind);
    if (!preset->ToPaintParam(param))
        return false;
    ParamFor(*kind) = param;
    brushes_.Select(index);
    SelectKind(*kind);
    Notify(toolchange::kParams | toolchange::kBrushes);
    return true;
}

int ToolState::ChosenSlot(PaintKind kind) const
{
    const int tool = SlotTool(kind);
    return tool < 0 ? 0 : chosenSlot_[tool];
}

bool ToolState::ChooseSlot(int slot)
{
    const int tool = SlotTool(Kind());
    const PenSettingRecord* record = tool < 0 ? nullptr : slots_.Slot(tool, slot);
    if (!record)
        return false;
    chosenSlot_[tool] = slot;
    ParamFor(Kind()).FromPenSetting(*record, Kind());
    Notify(toolchange::kParams | toolchange::kSlots);
    return true;
}

void ToolState::SetChosenSlot(PaintKind kind, int slot)
{
    const int tool = SlotTool(kind);
    if (tool >= 0 && slots_.Slot(tool, slot))
        chosenSlot_[tool] = slot;
}

bool ToolState::ChooseNib(int32_t index)
{
    const CPenShapeObj* nib = nibs_.Item(index);
    if (!nib || !nib->valid || !HasCapability(Kind(), paintcap::BitmapNib))
        return false;
    const NibPresetParts parts = nib->PresetParts();
    nibs_.Select(index);
    Edit([&](TPaintParam& p) {
        p.FromNibPreset(parts);
        return true;
    });
    Notify(toolchange::kNibs);
    return true;
}

CPenShapeObj* ToolState::BitmapNib()
{
    const TPaintParam& p = Param();
    if (!p.HasBitmap())
        return nullptr;
    if (!bitmapNib_)
        bitmapNib_ = std::make_unique<CPenShapeObj>();
    // A new bitmap gives the object a new id, which makes every renderer
    // build its nib again; the same bitmap keeps the id and the caches.
    const std::vector<uint8_t>& bits = p.BitmapBits();
    const bool same = bitmapWidth_ == p.BitmapWidth() && bitmapHeight_ == p.BitmapHeight() &&
                      bitmapBits_.size() == bits.size() &&
                      std::memcmp(bitmapBits_.data(), bits.data(), bits.size()) == 0;
    if (!same) {
        std::unique_ptr<TChannel> channel = p.NibBitmapChannel();
        if (!channel || !bitmapNib_->SetBitmap(std::move(channel)))
            return nullptr;
        bitmapBits_ = bits;
        bitmapWidth_ = p.BitmapWidth();
        bitmapHeight_ = p.BitmapHeight();
        bitmapNib_->valid = true;
        bitmapNib_->isBitmap = 1;
    }
    bitmapNib_->SetScale(p.NibScalePercent());
    return bitmapNib_->IsBitmapNib() ? bitmapNib_.get() : nullptr;
}

// ---- listeners ----

int ToolState::Listen(Listener listener)
{
    const int id = nextListener_++;
    listeners_[id] = std::move(listener);
    return id;
}

void ToolState::Forget(int id)
{
    listeners_.erase(id);
}

void ToolState::Notify(uint32_t changes)
{
    // A listener may forget itself or others while it is told.
    std::vector<int> ids;
    for (const auto& [id, listener] : listeners_)
        ids.push_back(id);
    for (int id : ids)
        if (auto it = listeners_.find(id); it != listeners_.end() && it->second)
            it->second(changes);
}

} // namespace morvane
