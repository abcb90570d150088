#pragma once
// The controls of the option panel as data: which controls the current
// tool shows (from its kind's capability bits), their captions, hints and
// ranges in the units the panel shows, and one path from a control's value
// into the parameter set's setters. The panel only lays them out.
#include <span>
#include <string>
#include <vector>

#include "paint/TPaintParam.h"

namespace morvane {

class ToolState;

enum class OptionId : uint8_t {
    Name,
    Size,
    MinSize,
    Density,
    Spacing,
    Gamma,
    PressureSize,
    PressureDensity,
    Effect1,
    Effect2,
    Effect3,
    Flatness,
    Angle,
    AirMap,
    SoftEdge,
    Flat,
    Add,
    Antialias,
    Nib,
    Gradation,
    Tone,
};

enum class OptionKind : uint8_t { Text, Number, Check, Choice };

struct OptionControl {
    OptionId id = OptionId::Name;
    OptionKind kind = OptionKind::Text;
    std::string caption;
    std::string hint; // the tool tip, "label|labelの変更" where the kind names it
    double lo = 0, hi = 0;
    int decimals = 0;
    const char* unit = "";
    bool enabled = true;
    // Choice: the captions and the value each stands for.
    std::vector<std::string> choices;
    std::vector<int> choiceValues;
};

// The controls of a kind's parameter set (the current kind's by default),
// in panel order.
std::vector<OptionControl> OptionControlsFor(const ToolState& tools);
std::vector<OptionControl> OptionControlsFor(const ToolState& tools, PaintKind kind);
// A control's value in the panel's unit (checks 0 or 1, a choice its value,
// the nib the list index of the set's nib or -1).
double OptionValue(const ToolState& tools, OptionId id);
// Through the parameter set's setters (the nib by the tool state): a value
// that is not finite is refused (false), others are clamped.
bool SetOption(ToolState& tools, OptionId id, double value);
bool SetOptionText(ToolState& tools, OptionId id, const std::string& text);

// The air-map curves by their parameter code 0-7, as the drop-down names them.
const char* AirMapCaption(uint8_t curve);

} // namespace morvane
