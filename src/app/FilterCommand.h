#pragma once
// A filter started by the user: the parameters each dialog filter last ran
// with (defaults at start, never saved), the last filter for the repeat
// command, and the entry that attaches, asks (or takes the last values),
// applies and tells the user what went wrong.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filters/FilterDescriptor.h"
#include "storage/Rect.h"

namespace morvane {

class CFlt4Core;
class TPaper;

// The values a dialog filter last ran with, and whether its preview was on.
struct FilterLastParams {
    std::vector<uint8_t> record;
    bool preview = true;
    // The bounds the record was chosen in (a repeat rescales offsets by them).
    EdgeRect bounds{};
};

class FilterCommandState {
public:
    FilterLastParams& LastParams(const FilterDescriptor& filter);
    const FilterDescriptor* LastFilter() const { return last_; }
    void SetLastFilter(const FilterDescriptor& filter) { last_ = &filter; }

private:
    std::map<uint8_t, FilterLastParams> params_;
    const FilterDescriptor* last_ = nullptr;
};

// The dialog of a filter: given the attached run and the values to start
// from, the values chosen (OK) or none (cancel).
using FilterDialogRunner =
    std::function<std::optional<FilterLastParams>(const FilterDescriptor&, CFlt4Core&, const FilterLastParams&)>;

// Runs the filter on the layer. The caller has checked that the document
// may be edited and prepared it. useLast takes the remembered values
// without the dialog. Memory and other failures are told to the user; the
// layer is left as it was.
bool RunFilterCommand(TPaper& paper, int32_t layer, const FilterDescriptor& filter, bool useLast,
                      FilterCommandState& state, const FilterDialogRunner& dialog);

} // namespace morvane
