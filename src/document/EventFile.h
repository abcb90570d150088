#pragma once
// Event files: saving a document's recording (plain or protected) and
// loading one into a manager for playback. Saves replace the target only
// after a complete write, so a failed save leaves the old file as it was.
#include <cstdint>
#include <string>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class CEventMngr;
class TPaper;
struct EventContainerInfo;

struct EventSaveRequest {
    bool withThumbnail = true;
    int flags = -1;      // the container's flag word; -1: the interactive marks
    int generation = -1; // 0 .. 41, anything else writes 41
    bool compressed = true;
    bool optionFlag = false; // the setting that adds its mark to the flags
};

// The stream of events as info says (generation, flags, length; the size
// and step count come from the document and the manager): the thumbnail
// when asked for, then the container, through a temporary file. Ok or the
// writers' code.
EventFileCode WriteEventStream(const std::string& path, TPaper& document, const CEventMngr& events, EventContainerInfo info,
                     bool withThumbnail, bool compressed);

// Saves the recording of a document: Ok, or the code of what failed
// (NoManager: none, or one that is not recording; EmptyStream: a stream that
// holds no new canvas; InvalidPacket: an unreadable stream; CannotOpen: the
// file cannot be created; ShortWrite; the writers' codes). The redo steps go
// first; the end mark written for the file is taken off the live stream
// again whatever happened.
EventFileCode SaveEventFile(const std::string& path, TPaper& document, const EventSaveRequest& request);

// The protected form: the stream carries the protection flag while it is
// written and loses it again afterwards. Ok, or SaveEventFile's code; with
// its message shown, Protected when the stream is protected already and
// InvalidPacket when a flag cannot be read or changed.
EventFileCode SaveProtectedEventFile(const std::string& path, TPaper& document, const EventSaveRequest& request);

// Loads an event file into the document's manager, which is left idle with
// the stream, its steps, generation and flags: Ok; NotFound; CannotOpen;
// NoManager; otherwise the container reader's code.
EventFileCode LoadEventFile(const std::string& path, TPaper& document);

// Reads one event container from in into the manager, which is left idle
// with the stream, its steps, generation and flags: Ok or the container
// reader's code (the manager then holds nothing).
EventFileCode ReadEventContainer(ByteReader& in, CEventMngr& events, EventContainerInfo& info);

// The kind of event file a name is, by its extension alone.
enum class EventFileType { None, Legacy, Current };
EventFileType EventFileTypeOf(const std::string& path);
// The extension a stream loaded with this generation is saved again under.
const char* EventFileExtension(int generation);

} // namespace morvane
