// Operations of the layer panel on attributes, visibility, content shifts
// and link groups.
#include "document/TPaper.h"

namespace morvane {

// No operation here pushes a record of its own yet: refused.
bool TPaper::ApplyLinkRecord(CUndoData&, bool) { return false; }

} // namespace morvane
