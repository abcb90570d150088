// Operations of the layer panel that change the stack: add, delete,
// duplicate, move, merge down, merge visible, alpha changes.
#include "document/TPaper.h"

namespace morvane {

// No operation here pushes a record of its own yet: refused.
bool TPaper::ApplyLayerStackRecord(CUndoData&, bool) { return false; }

} // namespace morvane
