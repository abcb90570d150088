#include "document/EventFile.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "document/CUndoMngr.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/EventWalk.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "platform/AtomicFile.h"
#include "platform/BusyCursor.h"
#include "platform/UserNotifier.h"

namespace morvane {

namespace {

// The manager as the container reader's target.
class ManagerSink final : public EventStreamSink {
public:
    explicit ManagerSink(CEventMngr& events) : events_(events) {}
    int32_t SegmentSize() const override { return events_.Store().Ready() ? events_.Store().SegmentSize() : 0; }
    bool Clear() override { return events_.BeginLoad(); }
    bool Append(std::span<const uint8_t> bytes) override
    {
        return events_.AppendRaw(bytes.data(), int64_t(bytes.size()));
    }

private:
    CEventMngr& events_;
};

bool StopAtNewCanvas(void* found, uint64_t, uint8_t category, uint8_t code, std::span<const uint8_t>)
{
    const PacketId id = PacketIdOf(category, code);
    *static_cast<bool*>(found) = id == PacketId::NewCanvasOld || id == PacketId::NewCanvas;
    return !*static_cast<bool*>(found);
}

// A stream without its new canvas (a document file's picture recorded from
// then on) saves as a file that no player can start.
EventFileCode CheckPlayable(const CEventMngr& events)
{
    bool found = false;
    const PacketWalk walk = WalkStorePackets(events.Store(), 0, events.WritePosition(), StopAtNewCanvas, &found);
    if (found)
        return EventFileCode::Ok;
    if (!walk.ok) {
        Notifier().Warn("イベントパケットが不正です!");
        return EventFileCode::InvalidPacket;
    }
    Notifier().Warn("キャンバス作成の記録がないため、このイベントは保存できません!");
    return EventFileCode::EmptyStream;
}

EventFileCode WriteFile(const std::string& path, TPaper& document, const CEventMngr& events, const EventSaveRequest& request)
{
    EventContainerInfo info;
    info.generation = ContainerGeneration(request.generation);
    info.flags = ContainerFlags(request.flags, request.optionFlag);
    info.length = uint32_t(events.CommittedLength());
    return WriteEventStream(path, document, events, info, request.withThumbnail, request.compressed);
}

} // namespace

EventFileCode WriteEventStream(const std::string& path, TPaper& document, const CEventMngr& events, EventContainerInfo info,
                     bool withThumbnail, bool compressed)
{
    AtomicFile file(path);
    if (!file.IsOpen())
        return EventFileCode::CannotOpen;
    AtomicFileWriter out(file);
    info.width = document.Width;
    info.height = document.Height;
    info.steps = uint32_t(events.CommittedSteps());
    if (withThumbnail)
        if (const EventFileCode code = WriteThumbnailChunk(out, document.Composite(), info.generation);
            code != EventFileCode::Ok)
            return code;
    const EventFileCode code = compressed ? WriteContainer(out, events.Store(), info) : WritePlain(out, events.Store(), info);
    if (code != EventFileCode::Ok)
        return code;
    return file.Commit() ? EventFileCode::Ok : EventFileCode::ShortWrite;
}

EventFileCode SaveEventFile(const std::string& path, TPaper& document, const EventSaveRequest& request)
{
    CEventMngr* manager = document.EventManager();
    if (!manager || manager->State() != EventMngrState::Recording)
        return EventFileCode::NoManager;
    CEventMngr& events = *manager;
    if (const EventFileCode code = CheckPlayable(events); code != EventFileCode::Ok)
        return code;
    if (CUndoMngrEx* undo = document.UndoManager())
        undo->ClearRedo();
    events.DiscardRedo();
    if (!events.SetFileFlag(CEventMngr::kImagePermissionFlag, false)) {
        Notifier().Warn("イベントパケットが不正です!");
        return EventFileCode::InvalidPacket;
    }
    if (!events.EndMark())
        return EventFileCode::NoMemory;
    EventFileCode code = EventFileCode::Ok;
    {
        BusyCursor busy;
        code = Guarded<EventFileCode>([&] { return WriteFile(path, document, events, request); });
    }
    events.RemoveEndMark();
    return code;
}

EventFileCode SaveProtectedEventFile(const std::string& path, TPaper& document, const EventSaveRequest& request)
{
    CEventMngr* manager = document.EventManager();
    if (!manager)
        return EventFileCode::NoManager;
    CEventMngr& events = *manager;
    bool found = false;
    if (!events.QueryFileFlag(CEventMngr::kProtectionFlag, found)) {
        Notifier().Warn("イベントファイルの保護状態の確認に失敗しました!");
        return EventFileCode::InvalidPacket;
    }
    if (found) {
        Notifier().Warn("このイベントファイルはすでに保護されているため保存できません!");
        return EventFileCode::Protected;
    }
    if (!events.SetFileFlag(CEventMngr::kProtectionFlag, true)) {
        // The records before the unreadable packet had it set already.
        events.SetFileFlag(CEventMngr::kProtectionFlag, false);
        Notifier().Warn("イベントファイルの保護に失敗しました!");
        return EventFileCode::InvalidPacket;
    }
    const EventFileCode code = SaveEventFile(path, document, request);
    if (!events.SetFileFlag(CEventMngr::kProtectionFlag, false)) {
        Notifier().Warn("重大な障害: イベントを非保護状態に戻すのに失敗しました!");
        return EventFileCode::InvalidPacket;
    }
    return code;
}

EventFileCode LoadEventFile(const std::string& path, TPaper& document)
{
    CEventMngr* events = document.EventManager();
    FileReader in;
    if (const OpenCode opened = in.Open(path); opened != OpenCode::Ok)
        return Relay<EventFileCode>(opened);
    if (!events)
        return EventFileCode::NoManager;
    EventContainerInfo info;
    return ReadEventContainer(in, *events, info);
}

EventFileCode ReadEventContainer(ByteReader& in, CEventMngr& events, EventContainerInfo& info)
{
    ManagerSink sink(events);
    if (const EventFileCode code = ReadContainer(in, sink, info); code != EventFileCode::Ok) {
        events.Reset();
        return code;
    }
    events.EndLoad(int32_t(info.steps), uint8_t(info.generation), info.flags);
    return EventFileCode::Ok;
}

EventFileType EventFileTypeOf(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return EventFileType::None;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == "kte")
        return EventFileType::Legacy;
    for (const char* current : {"mes", "vd3", "me3", "vd4", "me4"})
        if (extension == current)
            return EventFileType::Current;
    return EventFileType::None;
}

const char* EventFileExtension(int generation)
{
    if (generation >= 32)
        return ".vd4";
    return generation < 16 ? ".mes" : ".vd3";
}

} // namespace morvane
