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

namespace morvane {
namespace {

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
    try {
        return Replay(eventFile, folder);
    } catch (const std::bad_alloc&) {
        Diagnose("render: out of memory");
    } catch (...) {
        Diagnose("render: unexpected failure");
    }
    return kRenderCannotOpen;
}

int RunRenderMode(const CommandLine& line)
{
    const std::string eventFile = line.files.empty() ? std::string() : line.files.front();
    const std::string folder = OutputFolderFor(eventFile, line.outputFolder);
    RenderReporter reporter(eventFile, line.outputFolder, line.notifyHandle);
    const int code = eventFile.empty() ? int(kRenderCannotOpen) : RenderEventFile(eventFile, folder);
    Diagnose("render: " + (eventFile.empty() ? std::string("no event file") : eventFile) + " -> " +
             std::to_string(code));
    return reporter.Report(code);
}

} // namespace morvane
