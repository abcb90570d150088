#include "app/FilterDialogController.h"

#include <algorithm>
#include <cmath>

#include "filters/CHistogram.h"
#include "platform/Clock.h"

namespace morvane {

FilterDialogController::FilterDialogController(const FilterDescriptor& filter, std::vector<uint8_t> initial,
                                               bool preview, Clock& clock)
    : filter_(filter), clock_(clock), current_(std::move(initial)), preview_(preview), appliedPreview_(!preview)
{
    if (current_.size() != filter_.recordSize || !ValidateRecord(filter_, {current_}))
        current_ = DefaultRecord(filter_);
    SanitizeRecord(filter_, current_);
    // Nothing is applied yet: the first update always runs.
    applied_.assign(current_.size(), 0);
    if (!applied_.empty())
        applied_[0] = uint8_t(~current_[0]);
    lastChange_ = clock_.Milliseconds();
}

double FilterDialogController::Value(size_t param, int index) const
{
    const FilterParam& p = filter_.params[param];
    return ReadParam(p, current_, index) / p.scale;
}

FilterDialogController::Change FilterDialogController::SetValue(size_t param, int index, double shown)
{
    const FilterParam& p = filter_.params[param];
    const bool real = p.kind == ParamKind::Float || p.kind == ParamKind::WrapFloat;
    const double stored = real ? shown * p.scale : std::round(shown * p.scale);
    double value = std::clamp(stored, p.min, p.max);
    // Ordered pairs (the levels' input ends) never meet.
    if (p.below >= 0)
        value = std::min(value, ReadParam(filter_.params[size_t(p.below)], current_, index) - 1);
    if (p.above >= 0)
        value = std::max(value, ReadParam(filter_.params[size_t(p.above)], current_, index) + 1);
    WriteParam(p, current_, value, index);
    const bool numeric = p.kind != ParamKind::Flag && p.kind != ParamKind::Enumeration &&
                         p.kind != ParamKind::Choice && p.kind != ParamKind::Colour;
    return Changed(numeric ? Change::Debounced : Change::Immediate);
}

FilterDialogController::Change FilterDialogController::SetPreview(bool on)
{
    preview_ = on;
    return Changed(Change::Immediate);
}

FilterDialogController::Change FilterDialogController::ResetDefaults()
{
    current_ = DefaultRecord(filter_);
    return Changed(Change::Immediate);
}

bool FilterDialogController::HasSeed() const
{
    return std::any_of(filter_.params.begin(), filter_.params.end(),
                       [](const FilterParam& p) { return p.kind == ParamKind::Seed; });
}

FilterDialogController::Change FilterDialogController::Reseed(uint32_t seed)
{
    if (!HasSeed())
        return Change::None;
    for (const FilterParam& p : filter_.params)
        if (p.kind == ParamKind::Seed)
            WriteParam(p, current_, int32_t(seed));
    return Changed(Change::Immediate);
}

FilterDialogController::Change FilterDialogController::AutoAdjust(const CHistogram& histogram)
{
    constexpr uint8_t kLevels = 60, kThreshold = 49;
    if (filter_.code == kThreshold) {
        const CHistogram::Bins& y = histogram.Of(CHistogram::Luma);
        WriteParam(filter_.params[0], current_, (y.lowest + y.highest - 1) / 2 + 1);
        return Changed(Change::Immediate);
    }
    if (filter_.code != kLevels)
        return Change::None;
    current_ = DefaultRecord(filter_);
    const CHistogram::Channel channels[] = {CHistogram::Red, CHistogram::Green, CHistogram::Blue};
    for (int i = 0; i < 3; ++i) {
        const CHistogram::Bins& b = histogram.Of(channels[i]);
        const int32_t lo = b.lowest, hi = b.highest;
        WriteParam(filter_.params[0], current_, std::max(0, std::min(lo, (lo + hi - 1) / 2)), i + 1);
        WriteParam(filter_.params[2], current_, std::min(255, std::max(hi, lo + 1)), i + 1);
    }
    return Changed(Change::Immediate);
}

FilterDialogController::Change FilterDialogController::Changed(Change change)
{
    lastChange_ = clock_.Milliseconds();
    pending_ = change == Change::Debounced;
    return change;
}

bool FilterDialogController::TimerDue()
{
    return pending_ && uint32_t(clock_.Milliseconds() - lastChange_) >= kUpdateDelayMs;
}

bool FilterDialogController::NeedsUpdate() const { return preview_ != appliedPreview_ || current_ != applied_; }

void FilterDialogController::StoreApplied()
{
    applied_ = current_;
    appliedPreview_ = preview_;
    pending_ = false;
}

} // namespace morvane
