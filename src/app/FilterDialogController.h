#pragma once
// The update cycle of a filter dialog without the widgets: the record the
// controls stand for, what changed, and when the preview must follow.
// Numeric changes wait until the user pauses (700 ms after the last one);
// check boxes, lists and buttons update at once. Time comes from the Clock
// seam, so a test steps it.
#include <cstdint>
#include <vector>

#include "filters/FilterDescriptor.h"

namespace morvane {

class CHistogram;
class Clock;

class FilterDialogController {
public:
    static constexpr uint32_t kUpdateDelayMs = 700;
    // What a control change asks for.
    enum class Change : uint8_t { None = 0, Immediate = 1, Debounced = 2 };

    FilterDialogController(const FilterDescriptor& filter, std::vector<uint8_t> initial, bool preview, Clock& clock);

    const FilterDescriptor& Filter() const { return filter_; }
    // The shown value (stored / scale) of a parameter's index-th value.
    double Value(size_t param, int index = 0) const;
    // The control of a parameter moved to a shown value: stored rounded
    // (halves away from zero) and clamped; flags, lists and colours update
    // at once, numbers after the pause.
    Change SetValue(size_t param, int index, double shown);
    Change SetPreview(bool on);
    // Every parameter back to the table's default.
    Change ResetDefaults();
    // The noise and diffuse dialogs' 再作成: a new seed, previewed at once.
    // None for filters without a seed.
    Change Reseed(uint32_t seed);
    bool HasSeed() const;
    // The levels and threshold dialogs' automatic setting from the layer's
    // histogram (levels: red, green and blue stretched from their lowest to
    // highest level; threshold: the middle of the luminance range). None
    // for other filters.
    Change AutoAdjust(const CHistogram& histogram);
    // A debounced update waits; Due when its pause has passed.
    bool TimerPending() const { return pending_; }
    bool TimerDue();
    // The record or the preview box differ from the last update.
    bool NeedsUpdate() const;
    // The current state becomes the applied one (the timer stops).
    void StoreApplied();

    const std::vector<uint8_t>& Current() const { return current_; }
    bool Preview() const { return preview_; }

private:
    Change Changed(Change change);

    const FilterDescriptor& filter_;
    Clock& clock_;
    std::vector<uint8_t> current_, applied_;
    bool preview_, appliedPreview_;
    bool pending_ = false;
    uint32_t lastChange_ = 0;
};

} // namespace morvane
