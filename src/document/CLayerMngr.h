#pragma once
// The stack of layers, index 0 at the bottom. It owns its layers; every
// change renumbers their positions. Failures the user must see go to the
// notifier with the program's own texts.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/CLayerData.h"

namespace morvane {

class CLayerMngr {
public:
    static constexpr int32_t kMaxLayers = 10000;
    // A level may be raised only while the highest one is below this.
    static constexpr int32_t kRaiseLimit = 249;

    explicit CLayerMngr(int32_t capacity = 0);

    int32_t Count() const { return int32_t(items_.size()); }
    // Room for n more layers, so that later insertions cannot fail on memory
    // (std::bad_alloc otherwise).
    void Reserve(int32_t n) { items_.reserve(items_.size() + size_t(std::max(n, 0))); }
    CLayerData* At(int32_t i) { return IsValidIndex(i) ? items_[size_t(i)].get() : nullptr; }
    const CLayerData* At(int32_t i) const { return IsValidIndex(i) ? items_[size_t(i)].get() : nullptr; }

    // "レイヤ" followed by NameCounter + k.
    std::string NextName(int32_t k) const;
    void NameLayer(int32_t i, int32_t step);
    void CopyName(int32_t i, int32_t j);

    // A new layer of width x height and mode, inserted at index when it lies
    // within 0 ... Count() - 1 and appended otherwise; -1 with the user told
    // why when the index is negative, the stack is full or it cannot be made
    // (nothing changes then).
    int32_t AddLayer(int32_t index, int32_t width, bool visible, uint8_t opacity, int mode, int32_t height);
    // Takes ownership; index clamped into 0 ... Count(). False (layer freed)
    // for a null layer or a full stack.
    bool InsertLayer(int32_t index, std::unique_ptr<CLayerData> layer);
    std::unique_ptr<CLayerData> RemoveLayer(int32_t i);
    void DeleteLayer(int32_t i);
    std::unique_ptr<CLayerData> ReplaceLayer(int32_t i, std::unique_ptr<CLayerData> layer);
    // The layer's new index, or -1 when to == from or from is invalid.
    int32_t MoveLayer(int32_t to, int32_t from);
    // Moves count layers from `from` so that the first lands at `to` (clamped);
    // their levels shift so the first takes the level of the layer it lands
    // on, plus one when that layer leads a link group. -1 when nothing moves.
    int32_t MoveBlock(int32_t to, int32_t from, int32_t count);

    void SetCurrent(int32_t i);
    int32_t Current() const { return current_; }
    bool IsValidIndex(int32_t i) const { return i >= 0 && i < Count(); }
    bool CanAdd() const { return Count() < kMaxLayers; }

    int32_t VisibleCount() const;
    void ToggleAllVisible();
    void SetAllVisible(bool visible);
    void ShowOnly(int32_t i);
    // Layers i ... i + n - 1 (at most to the top).
    void SetVisibleRun(int32_t i, int32_t n, bool visible);

    int32_t IndexOfId(int32_t id) const;
    int32_t IdAt(int32_t i) const;
    // Exchanges layer i of this stack with layer j of other.
    bool SwapWith(int32_t i, CLayerMngr& other, int32_t j);
    int64_t MemoryUsed() const;

    // Link groups. The run of layer i: the layers above it of higher level.
    int32_t LinkedRunLength(int32_t i) const;
    bool LeadsLinkGroup(int32_t i) const { return LinkedRunLength(i) > 0; }
    int32_t HighestLevel() const;
    // Raise or lower the level of layer i and its run; false when refused.
    bool RaiseLevel(int32_t i);
    bool LowerLevel(int32_t i);

    // Merges upper into lower (see LayerComposite.h for the arithmetic):
    // method's low 16 bits 0-3; high bit 0 adds "skip transparent", high bit 1
    // lets the merged layer take all of the lower layer's attributes. The upper
    // layer stays in the stack. The replaced lower layer goes to *replaced when
    // keepUpper is set and replaced is given, else it is freed. False, with the
    // user told and the stack unchanged, when the merge cannot be made.
    bool MergeDown(int32_t lower, int32_t upper, bool keepUpper, int32_t method,
                   std::unique_ptr<CLayerData>* replaced = nullptr);

    int32_t PictureW = 0, PictureH = 0;
    int32_t ThumbW = 64, ThumbH = 64;
    int32_t NameCounter = 0;
    // Layers this stack has created: the seed of each new layer's dither.
    uint32_t CreatedCount = 0;

private:
    void Renumber();
    void KeepCurrentInRange();

    std::vector<std::unique_ptr<CLayerData>> items_;
    int32_t current_ = -1;
};

} // namespace morvane
