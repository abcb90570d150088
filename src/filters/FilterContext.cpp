#include "filters/FilterContext.h"

#include "storage/CBlockVMTC.h"

namespace morvane {

bool FilterContext::IsValid() const
{
    if (!target || !target->IsValid() || !backup || bounds.IsEmpty() || work.IsEmpty())
        return false;
    EdgeRect inside;
    // The work must lie inside the bounds, and both inside the store.
    return Intersect(work, bounds, inside) && inside == work &&
           Intersect(bounds, {0, 0, target->Width, target->Height}, inside) && inside == bounds;
}

} // namespace morvane
