#include "app/RenderMode.h"

#include <new>

#include "app/CommandLine.h"
#include "app/RenderEnd.h"
#include "app/RenderReport.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/PlaybackReport.h"
#include "document/EventFile.h"
#include "platform/DiagnosticSink.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"

namespace morvane {
namespace {

constexpr const char* kOutOfMemory = "メモリ不足により正常に実行できませんでした！";

// Every tick runs a step or ends the replay, so this loop ends.
bool ReplayToEnd(CEventPlayer& player)
{
    PlayerTick tick = PlayerTick::Continue;
    while (tick == PlayerTick::Continue)
        tick = player.Tick();
    player.Close();
    return tick == PlayerTick::Ended && player.EndMarkSeen();
}

int Replay(const std::string& eventFile, const std::string& folder)
{
    SilentDocumentHost host(true);
    TPaper document(host);
    CEventMngr* events = document.EventManager();
    if (!events)
        return kRenderCannotOpen;
    PaperPlaybackTarget target(document);
    CEventPlayer player(*events, target);
    const int opened = player.Open(eventFile, PlaybackMode::Render);
    if (opened != CEventPlayer::kOpenOk) {
        Diagnose(std::string("render: ") + OpenResultText(opened));
        player.Close();
        return RenderCodeOfOpenResult(opened);
    }
    if (!ReplayToEnd(player)) {
        Diagnose(std::string("render: ") + ReportStateLine(2));
        return kRenderCannotOpen;
    }
    return WriteRenderOutputs(document, eventFile, folder);
}

} // namespace

int RenderEventFile(const std::string& eventFile, const std::string& folder)
{
    // Only the current event files play; the earliest format is not read yet.
    if (EventFileTypeOf(eventFile) != EventFileType::Current)
        return kRenderCannotOpen;
    const uint64_t refusals = MemoryBudget::Refusals();
    int code = kRenderCannotOpen;
    try {
        code = Replay(eventFile, folder);
    } catch (const std::bad_alloc&) {
        MemoryBudget::NoteRefusal();
    } catch (...) {
        Diagnose("render: unexpected failure");
    }
    if (code == kRenderCannotOpen && MemoryBudget::Refusals() != refusals)
        Notifier().Warn(kOutOfMemory);
    return code;
}

void LimitRenderMemory(const CommandLine& line)
{
    const int32_t mebibytes = line.memoryMiB > 0 ? line.memoryMiB : kRenderMemoryMiB;
    MemoryBudget::SetLimit(uint64_t(mebibytes) << 20);
}

int RunRenderMode(const CommandLine& line)
{
    LimitRenderMemory(line);
    const std::string eventFile = line.files.empty() ? std::string() : line.files.front();
    const std::string folder = OutputFolderFor(eventFile, line.outputFolder);
    RenderReporter reporter(eventFile, line.outputFolder, line.notifyHandle);
    const int code = eventFile.empty() ? int(kRenderCannotOpen) : RenderEventFile(eventFile, folder);
    Diagnose("render: " + (eventFile.empty() ? std::string("no event file") : eventFile) + " -> " +
             std::to_string(code));
    return reporter.Report(code);
}

} // namespace morvane
