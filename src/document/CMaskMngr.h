#pragma once
// The document's ordered list of masks. Exactly one is current: the
// selection that painting, fills and filters respect. The list primitives
// are what the selection operations and their undo records move masks with;
// the combine rules build a new mask from a coverage and the current one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/CAntPoints.h"
#include "document/CMaskData.h"

namespace morvane {

// How a new coverage C meets the existing mask M.
enum class CombineMode : uint8_t {
    Replace = 0,   // C
    Add = 1,       // max(M, C) over the union of both rectangles
    Subtract = 2,  // min(M, 255 - C) over M's rectangle
    Intersect = 3, // C * M / 255 over the union, 0 outside M
};
inline constexpr int32_t kCombineModeCount = 4;

class CMaskMngr final : public IUndoKept {
public:
    // A stream cannot grow the list without end.
    static constexpr int32_t kMaxMasks = 1000;

    // One empty mask, "マスク1", current.
    CMaskMngr();
    ~CMaskMngr() override;
    CMaskMngr(const CMaskMngr&) = delete;
    CMaskMngr& operator=(const CMaskMngr&) = delete;

    int32_t Count() const { return int32_t(masks_.size()); }
    bool IsIndex(int32_t index) const { return index >= 0 && index < Count(); }
    CMaskData* At(int32_t index) { return IsIndex(index) ? masks_[size_t(index)].get() : nullptr; }
    const CMaskData* At(int32_t index) const { return IsIndex(index) ? masks_[size_t(index)].get() : nullptr; }
    int32_t Current() const { return current_; }
    CMaskData* CurrentMask() { return At(current_); }
    const CMaskData* CurrentMask() const { return At(current_); }
    // -1 resolves to the current index.
    int32_t Resolve(int32_t index) const { return index == -1 ? current_ : index; }
    int32_t IndexOfId(uint32_t maskId) const;
    bool CanAdd() const { return Count() < kMaxMasks; }

    // The next default name: "マスク" and the incremented name counter.
    std::string NextName();
    int32_t NameCounter() const { return nameCounter_; }

    // ---- list primitives ----
    // At index (append when it equals the count); -1, nothing taken, beyond
    // the list or when the list is full.
    int32_t Insert(int32_t index, std::unique_ptr<CMaskData> mask);
    // The former mask comes back; outside the list the mask is appended.
    std::unique_ptr<CMaskData> Replace(int32_t index, std::unique_ptr<CMaskData> mask);
    std::unique_ptr<CMaskData> Remove(int32_t index);
    // An index equal to the count first appends a new empty mask; false
    // for any other index outside the list.
    bool SetCurrent(int32_t index);
    // Moves the mask at from to to; false when either is outside or equal.
    bool Move(int32_t from, int32_t to);
    void Renumber();

    // ---- queries ----
    bool IsMaskValid(int32_t index) const;
    bool HasSelection() const { return IsMaskValid(current_); }
    bool AnyValid() const;
    // The mask is larger than the canvas in either direction.
    bool ExceedsCanvas(int32_t index, int32_t width, int32_t height) const;
    // The mask's rectangle reaches outside the canvas on some side.
    bool ReachesOutside(int32_t index, int32_t width, int32_t height) const;
    int64_t HeldBytes() const override;
    // Every mask resampled (nearest pixel) from a picture of oldW x oldH to
    // one of newW x newH, names, current mask and name counter kept;
    // nullptr when memory runs out or a mask would leave the store limits.
    std::unique_ptr<CMaskMngr> Resampled(int32_t oldW, int32_t oldH, int32_t newW, int32_t newH) const;
    // A manager holding masks read from a file (at most kMaxMasks), with
    // their name counter. No masks give a new manager's one empty mask; a
    // current index outside the list selects a new empty mask appended to
    // it, so that nothing is selected and a current mask still exists.
    static std::unique_ptr<CMaskMngr> FromList(std::vector<std::unique_ptr<CMaskData>> masks, int32_t current,
                                               int32_t nameCounter);

    // The mask the ants outline holds, -1 none, and the outline.
    int32_t OutlineIndex = -1;
    CAntPoints Ants;

private:
    std::vector<std::unique_ptr<CMaskData>> masks_;
    int32_t current_ = 0;
    int32_t nameCounter_ = 0;
};

// The coverage c combined into m (null or empty: nothing selected yet) by
// mode, as a new mask named name. Unchanged (nullptr, unchanged set) when
// an empty m meets subtract or intersect; nullptr with unchanged clear when
// memory runs out.
std::unique_ptr<CMaskData> CombineCoverage(const CMaskData* m, const SCoverage& c, CombineMode mode,
                                           const std::string& name, bool& unchanged);
// The mask c combined into m by the same rules, block by block: where both
// read one value over a block the result's block is that one value, with
// no per-pixel work. Replace gives a copy of c named name.
std::unique_ptr<CMaskData> CombineMasks(const CMaskData* m, const CMaskData& c, CombineMode mode,
                                        const std::string& name, bool& unchanged);
// An added-to mask reaching outside the canvas, rebuilt over its occupied
// area widened to still reach the canvas's right and bottom edges; the mask
// itself when it needs no trim, nullptr when memory runs out.
std::unique_ptr<CMaskData> TrimMargins(std::unique_ptr<CMaskData> mask, int32_t width, int32_t height);

} // namespace morvane
