#pragma once
// Document files (".mci"): a whole document with its layers, kept masks,
// thumbnail and recording, read into a fresh document and written through a
// temporary file that replaces the old one only after a complete write.
#include <string>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class ByteWriter;
class CLayerData;
class TPaper;
struct SClipLayerAttr;

// Loads a document file into a fresh document named `name`. Header errors
// (codes 9, 12, 13, 16, 17) change nothing; a chunk that cannot be read is
// reported and the reader goes on with the next one, so the document keeps
// what was read and the code of the last chunk comes back. The messages go
// to the user; progress to the document's host. After the load the
// recording goes on: the file's own when it can (ResumeLoaded), else one
// that starts from a snapshot of the loaded picture.
DocFileCode LoadDocumentFile(const std::string& path, TPaper& document);
DocFileCode LoadDocumentFile(ByteReader& in, TPaper& document, const std::string& name);

// Writes the document: header, thumbnail, layers bottom-up, kept masks, and
// the recording (with an end mark in the written copy only) while the
// manager records a stream that opens with a new canvas. Ok; CannotOpen;
// ShortWrite; NoMemory; Exception. A failed save leaves the old file as it
// was.
DocFileCode SaveDocumentFile(const std::string& path, TPaper& document);
DocFileCode SaveDocumentFile(ByteWriter& out, TPaper& document);

// A layer's head as files, the clipboard and the placement record hold it.
SClipLayerAttr ClipLayerAttrOf(const CLayerData& layer);

// The message of a failed document save or load, with its path.
std::string DocumentFileMessage(const std::string& path, DocFileCode code);

} // namespace morvane
