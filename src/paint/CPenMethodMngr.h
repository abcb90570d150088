#pragma once
// The brush preset list: presets of the current kinds, the selection, an
// alternate index and five remembered indexes the tool window keeps with
// the list, and an on-change notification for the panels that show it.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paint/CPenMethodObj.h"

namespace morvane {

class CPenMethodMngr {
public:
    static constexpr int kRememberedCount = 5;
    using Remembered = std::array<int32_t, kRememberedCount>;

    // Called after every change of selection, contents, modified flag or file name.
    std::function<void()> onChange;

    // Empties the list; selection and alternate become -1. The remembered
    // indexes stay as they are.
    void Clear();
    int32_t Count() const { return int32_t(items_.size()); }
    // nullptr when out of range.
    CPenMethodObj* Item(int32_t index) const;
    CPenMethodObj* SelectedItem() const { return Item(selected_); }
    int32_t Selected() const { return selected_; }
    // Range-checked: false (nothing changes) outside the list.
    bool Select(int32_t index);
    int32_t Alternate() const { return alternate_; }
    // An index outside the list is clamped into it when `clamp`, else ignored.
    bool SetAlternate(int32_t index, bool clamp);

    // From a file: from now on insertions and deletions move them along.
    void SetRemembered(const Remembered& indexes);
    const Remembered& RememberedIndexes() const { return remembered_; }
    bool RememberedSet() const { return rememberedSet_; }

    // The index of the appended preset, -1 when it cannot be added.
    int32_t Add(std::unique_ptr<CPenMethodObj> item);
    // index may equal Count() (append).
    bool Insert(int32_t index, std::unique_ptr<CPenMethodObj> item);
    // The selection and alternate move to the last preset when they fall off the end.
    bool Delete(int32_t index);

    // True when every current kind (9-17) has a preset.
    bool HasEveryKind() const;
    // Appends a default preset of every current kind the list lacks; true
    // only when all nine were added (the list was empty), and then a
    // selection outside the list becomes the first preset.
    bool AddMissingDefaults();

    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName);

private:
    void Changed() const;
    bool HasKind(PaintKind kind) const;
    // Moves the remembered indexes above `position` by `delta` and clamps
    // them into the list.
    void ShiftRemembered(int32_t position, int32_t delta);
    static std::unique_ptr<CPenMethodObj> DefaultPreset(PaintKind kind);

    std::vector<std::unique_ptr<CPenMethodObj>> items_;
    int32_t selected_ = -1;
    int32_t alternate_ = -1;
    Remembered remembered_ = {0, 0, 0, 0, 0};
    bool rememberedSet_ = false;
    bool modified_ = false;
    std::string fileName_;
};

} // namespace morvane
