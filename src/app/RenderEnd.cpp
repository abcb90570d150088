#include "app/RenderEnd.h"

#include "app/RenderReport.h"
#include "codecs/Bmp.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/EventWalk.h"
#include "files/EventContainer.h"
#include "files/ResultCodes.h"
#include "platform/DiagnosticSink.h"

namespace morvane {
namespace {

bool CountFileFlags(void* count, uint64_t, uint8_t category, uint8_t code, std::span<const uint8_t>)
{
    if (PacketIdOf(category, code) == PacketId::DocumentFlags)
        ++*static_cast<int64_t*>(count);
    return true;
}

// The ended stream as it stands: no end mark added or removed.
EventFileCode WriteCopy(const std::string& path, TPaper& document, const CEventMngr& events)
{
    EventContainerInfo info;
    info.generation = events.EventGeneration;
    info.flags = events.EventFlags;
    info.length = uint32_t(events.WritePosition());
    return WriteEventStream(path, document, events, info, true, true);
}

} // namespace

bool ProtectStream(CEventMngr& events)
{
    int64_t records = 0;
    if (!WalkStorePackets(events.Store(), 0, events.WritePosition(), CountFileFlags, &records).ok || records == 0)
        return false;
    return events.SetFileFlag(CEventMngr::kProtectionFlag, true);
}

EventFileCode SaveReplayedStream(const std::string& path, TPaper& document)
{
    CEventMngr* events = document.EventManager();
    if (!events)
        return EventFileCode::NoManager;
    return Guarded<EventFileCode>([&] { return WriteCopy(path, document, *events); });
}

int WriteRenderOutputs(TPaper& document, const std::string& eventFile, const std::string& folder)
{
    CEventMngr* events = document.EventManager();
    if (!events)
        return kRenderWriteFailed;
    const std::string picture = OutputPathFor(folder, eventFile, ".bmp");
    if (!SaveBmp24(document.Composite(), picture.c_str(), document.Resolution)) {
        Diagnose("render: cannot write " + picture);
        return kRenderWriteFailed;
    }
    if (!ProtectStream(*events)) {
        Diagnose("render: the stream has no file flags record to protect");
        return kRenderWriteFailed;
    }
    const std::string copy = OutputPathFor(folder, eventFile, EventFileExtension(events->EventGeneration));
    if (const EventFileCode code = SaveReplayedStream(copy, document); code != EventFileCode::Ok) {
        Diagnose("render: cannot write " + copy + " (code " + std::to_string(CodeNumber(code)) + ")");
        return kRenderWriteFailed;
    }
    return kRenderDone;
}

} // namespace morvane
