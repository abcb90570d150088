#pragma once
// A filter routine and what it answers: Done, Declined by its own rules
// (nothing to do, protection it cannot work with) with the layer unchanged,
// or Refused (an invalid context, a record of the wrong size, memory) with
// the caller restoring whatever was written.
#include <cstdint>
#include <span>

#include "filters/FilterContext.h"

namespace morvane {

enum class FilterResult : uint8_t { Done, Declined, Refused };

// The parameter record in its stored form, and the variable data that
// follows it for the filters that have some.
struct FilterRecord {
    std::span<const uint8_t> bytes;
    std::span<const uint8_t> data{};
};

using FilterRoutine = FilterResult (*)(const FilterContext& context, const FilterRecord& record);

} // namespace morvane
