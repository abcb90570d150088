#pragma once
// One declaration per filter: its command, its name for the repeat
// command, event code, record size, dialog and parameters. Sanitizing,
// validation, the stored form of each value, the defaults and the dialog
// controls all read this one table.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "filters/FilterRoutine.h"
#include "storage/Rect.h"

namespace morvane {

enum class ParamKind : uint8_t {
    Integer,     // i32
    Float,       // f32
    Byte,        // u8
    Enumeration, // u8, one of items
    Flag,        // u8, 0 or 1
    Colour,      // i32, 0x00RRGGBB in pixel order
    WrapAngle,   // i32 degrees, wraps into [-180, 180)
    Seed,        // i32, drawn afresh from the clock when a dialog opens and on repeat
    Protect,     // u8, the layer's transparency protection when the filter runs
    Short,       // i16
    WrapShort,   // i16 degrees, wraps into [-180, 180)
    WrapFloat,   // f32 degrees, wraps into [-180, 180)
    Choice,      // i32, one of items
    Divisor,     // i32; 0 is kept (the routine declines it), others clamp
    OffsetX,     // i16 from the centre of the bounds: 0 when a dialog opens,
    OffsetY,     //   rescaled to the bounds' width (height) on repeat
};

enum class ParamControl : uint8_t { None, Slider, Edit, Check, List, ColourButton };

struct FilterParam {
    const char* label;
    ParamKind kind;
    uint16_t offset;
    // In stored units; a dialog shows value / scale.
    double min = 0, max = 0, def = 0, step = 1;
    ParamControl control = ParamControl::Slider;
    std::span<const char* const> items{};
    // Consecutive values of one kind (the levels' four channel groups).
    uint8_t count = 1;
    double scale = 1;
    // The parameter (by position) this one stays below, or above, at the
    // same index: the dialog moves it back to one step short.
    int8_t below = -1, above = -1;
    // Per-value defaults where the values of one parameter differ (the 5x5
    // grid starts as the identity); empty: def for every value.
    std::span<const double> defaults{};
};

inline double DefaultOf(const FilterParam& p, int i)
{
    return p.defaults.empty() ? p.def : p.defaults[size_t(i)];
}

// How long the variable data after the record must be.
// None: no data. Whole: the record itself travels as the data, exactly
// recordSize bytes, after a record of zeros.
enum class DataRule : uint8_t { None, Whole };

struct FilterDescriptor {
    const char* act;
    // Empty: the filter is not repeatable and does not become the last one.
    const char* name;
    uint8_t code;
    uint16_t recordSize;
    // Empty: the filter runs without a dialog.
    const char* dialog;
    std::span<const FilterParam> params;
    FilterRoutine routine;
    DataRule data = DataRule::None;
    // Its dialog shows the zoomable preview pane.
    bool pane = false;
};

// What a record takes from the moment a filter runs: a fresh seed, the
// layer's protection, the bounds now and when the record was chosen.
struct RunMoment {
    uint32_t seed = 0;
    bool protect = false;
    EdgeRect bounds{};
    EdgeRect chosenIn{};
};

std::span<const FilterDescriptor> FilterDescriptors();
const FilterDescriptor* FilterByCode(uint8_t code);
const FilterDescriptor* FilterByAct(std::string_view act);

// The value at index of a parameter, and the stored form of one (integers
// rounded to the nearest, halves away from zero).
double ReadParam(const FilterParam& p, std::span<const uint8_t> record, int index = 0);
void WriteParam(const FilterParam& p, std::span<uint8_t> record, double value, int index = 0);

std::vector<uint8_t> DefaultRecord(const FilterDescriptor& d);
// The record fits: size, finite floats, enumeration values, data length.
bool ValidateRecord(const FilterDescriptor& d, const FilterRecord& r);
// Every value clamped into its range and every angle wrapped; call after
// ValidateRecord (a NaN is not clamped, it is refused).
void SanitizeRecord(const FilterDescriptor& d, std::span<uint8_t> record);
// The record a repeat runs with: a new seed, the protection of the layer,
// centre offsets rescaled to the bounds; the rest as remembered.
std::vector<uint8_t> PrepareRepeat(const FilterDescriptor& d, std::span<const uint8_t> record, const RunMoment& m);
// The record a dialog opens with: a new seed, the protection, offsets at 0.
void PrepareDialog(const FilterDescriptor& d, std::span<uint8_t> record, const RunMoment& m);
// Whether a parameter is filled in by the moment rather than shown.
bool IsMomentParam(const FilterParam& p);

} // namespace morvane
