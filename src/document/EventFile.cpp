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
#include "files/ResultCodes.h"
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
int CheckPlayable(const CEventMngr& events)
{
    bool found = false;
    const PacketWalk walk = WalkStorePackets(events.Store(), 0, events.WritePosition(), StopAtNewCanvas, &found);
    if (found)
        return filecode::kOk;
    if (!walk.ok) {
        Notifier().Warn("イベントパケットが不正です!");
        return eventcode::kInvalidPacket;
    }
    Notifier().Warn("キャンバス作成の記録がないため、このイベントは保存できません!");
    return eventcode::kEmptyStream;
}

int WriteFile(const std::string& path, TPaper& document, const CEventMngr& events, const EventSaveRequest& request)
{
    EventContainerInfo info;
    info.generation = ContainerGeneration(request.generation);
    info.flags = ContainerFlags(request.flags, request.optionFlag);
    info.length = uint32_t(events.CommittedLength());
    return WriteEventStream(path, document, events, info, request.withThumbnail, request.compressed);
}

} // namespace

int WriteEventStream(const std::string& path, TPaper& document, const CEventMngr& events, EventContainerInfo info,
                     bool withThumbnail, bool compressed)
{
    AtomicFile file(path);
    if (!file.IsOpen())
        return filecode::kCannotOpen;
    AtomicFileWriter out(file);
    info.width = document.Width;
    info.height = document.Height;
    info.steps = uint32_t(events.CommittedSteps());
    if (withThumbnail)
        if (int code = WriteThumbnailChunk(out, document.Composite(), info.generation))
            return code;
    const int code = compressed ? WriteContainer(out, events.Store(), info) : WritePlain(out, events.Store(), info);
    if (code != filecode::kOk)
        return code;
    return file.Commit() ? filecode::kOk : filecode::kShortWrite;
}

int SaveEventFile(const std::string& path, TPaper& document, const EventSaveRequest& request)
{
    CEventMngr* manager = document.EventManager();
    if (!manager || manager->State() != EventMngrState::Recording)
        return eventcode::kNoManager;
    CEventMngr& events = *manager;
    if (int code = CheckPlayable(events))
        return code;
    if (CUndoMngrEx* undo = document.UndoManager())
        undo->ClearRedo();
    events.DiscardRedo();
    if (!events.SetFileFlag(CEventMngr::kImagePermissionFlag, false)) {
        Notifier().Warn("イベントパケットが不正です!");
        return eventcode::kInvalidPacket;
    }
    if (!events.EndMark())
        return filecode::kNoMemory;
    int code = filecode::kOk;
    {
        BusyCursor busy;
        try {
            code = WriteFile(path, document, events, request);
        } catch (const std::bad_alloc&) {
            code = filecode::kNoMemory;
        } catch (...) {
            code = filecode::kException;
        }
    }
    events.RemoveEndMark();
    return code;
}

int SaveProtectedEventFile(const std::string& path, TPaper& document, const EventSaveRequest& request)
{
    CEventMngr* manager = document.EventManager();
    if (!manager)
        return eventcode::kNoManager;
    CEventMngr& events = *manager;
    bool found = false;
    if (!events.QueryFileFlag(CEventMngr::kProtectionFlag, found)) {
        Notifier().Warn("イベントファイルの保護状態の確認に失敗しました!");
        return eventcode::kInvalidPacket;
    }
    if (found) {
        Notifier().Warn("このイベントファイルはすでに保護されているため保存できません!");
        return eventcode::kProtected;
    }
    if (!events.SetFileFlag(CEventMngr::kProtectionFlag, true)) {
        // The records before the unreadable packet had it set already.
        events.SetFileFlag(CEventMngr::kProtectionFlag, false);
        Notifier().Warn("イベントファイルの保護に失敗しました!");
        return eventcode::kInvalidPacket;
    }
    const int code = SaveEventFile(path, document, request);
    if (!events.SetFileFlag(CEventMngr::kProtectionFlag, false)) {
        Notifier().Warn("重大な障害: イベントを非保護状態に戻すのに失敗しました!");
        return eventcode::kInvalidPacket;
    }
    return code;
}

int LoadEventFile(const std::string& path, TPaper& document)
{
    CEventMngr* events = document.EventManager();
    FileReader in;
    if (int code = in.Open(path))
        return code;
    if (!events)
        return eventcode::kNoManager;
    ManagerSink sink(*events);
    EventContainerInfo info;
    if (int code = ReadContainer(in, sink, info))
        return code;
    events->EndLoad(int32_t(info.steps), uint8_t(info.generation), info.flags);
    return filecode::kOk;
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
