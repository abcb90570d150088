#pragma once
// The end of a render run: the replayed picture as a BMP file and the
// replayed stream saved again as a protected copy.
#include <string>

#include "files/ResultCodes.h"

namespace morvane {

class CEventMngr;
class TPaper;

// Sets the protection flag in every DocumentFlags record of the stream. False when
// the stream cannot be walked or holds no such record: a copy without one
// would come out unprotected.
bool ProtectStream(CEventMngr& events);

// Writes the document's stream as it stands (no end mark added or removed),
// compressed, after a thumbnail of the composite, with the generation and
// container flags it was loaded with: Ok, or the code of what failed
// (NoManager, CannotOpen when the file cannot be created, the writers'
// codes). The file is replaced only after a complete write, so it may be the
// file the stream came from.
EventFileCode SaveReplayedStream(const std::string& path, TPaper& document);

// The outputs of an ended replay of eventFile into folder: <stem>.bmp and the
// protected copy <stem><the generation's extension>. 8 when both were
// written, else 9.
int WriteRenderOutputs(TPaper& document, const std::string& eventFile, const std::string& folder);

} // namespace morvane
