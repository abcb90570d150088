#pragma once
// The brush preset list: presets of the current kinds, the selection, an
// alternate index and five remembered indexes the tool window keeps with
// the list, and an on-change notification for the panels that show it.
#include <array>
#include <cstdint>
#include <memory>

#include "paint/CPenMethodObj.h"
#include "paint/CPresetList.h"

namespace morvane {

class CPenMethodMngr : public CPresetList<CPenMethodObj> {
public:
    static constexpr int kRememberedCount = 5;
    using Remembered = std::array<int32_t, kRememberedCount>;

    // Clear also sets the alternate to -1; the remembered indexes stay as
    // they are. Delete moves the alternate, like the selection, to the last
    // preset when it falls off the end.

    int32_t Alternate() const { return alternate_; }
    // An index outside the list is clamped into it when `clamp`, else ignored.
    bool SetAlternate(int32_t index, bool clamp);

    // From a file: from now on insertions and deletions move them along.
    void SetRemembered(const Remembered& indexes);
    const Remembered& RememberedIndexes() const { return remembered_; }
    bool RememberedSet() const { return rememberedSet_; }

    // True when every current kind (9-17) has a preset.
    bool HasEveryKind() const;
    // Appends a default preset of every current kind the list lacks; true
    // only when all nine were added (the list was empty), and then a
    // selection outside the list becomes the first preset.
    bool AddMissingDefaults();

private:
    void Inserted(int32_t index) override;
    void Deleted(int32_t index) override;
    bool Cleared() override;
    bool HasKind(PaintKind kind) const;
    // Moves the remembered indexes above `position` by `delta` and clamps
    // them into the list.
    void ShiftRemembered(int32_t position, int32_t delta);
    static std::unique_ptr<CPenMethodObj> DefaultPreset(PaintKind kind);

    int32_t alternate_ = -1;
    Remembered remembered_ = {0, 0, 0, 0, 0};
    bool rememberedSet_ = false;
};

} // namespace morvane
