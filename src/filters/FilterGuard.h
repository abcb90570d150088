#pragma once
// The opening and closing of every routine: the context and record checked
// first, a scratch buffer refused by memory turned into Refused.
#include <new>

#include "filters/FilterRoutine.h"

namespace morvane {

inline bool Usable(const FilterContext& c, const FilterRecord& r, size_t size)
{
    return c.IsValid() && r.bytes.size() == size && r.data.empty();
}

inline FilterResult Outcome(bool written) { return written ? FilterResult::Done : FilterResult::Refused; }

// body() -> bool; an allocation failure inside is Refused like any other.
template <class Body>
FilterResult Guarded(Body body)
{
    try {
        return Outcome(body());
    } catch (const std::bad_alloc&) {
        return FilterResult::Refused;
    }
}

} // namespace morvane
