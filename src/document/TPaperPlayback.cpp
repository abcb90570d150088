// The player's document side: dispatch of records and commands, strokes
// through the document's own begin, move and end with recording off, and
// the change hints of a step.
#include "document/TPaperPlayback.h"

#include <algorithm>
#include <iterator>

#include "document/FilterOperations.h"
#include "document/PaperOperations.h"
#include "document/TPaper.h"
#include "events/EventPayloads.h"
#include "files/EventContainer.h"
#include "document/EventFile.h"
#include "paint/CPenRender.h"
#include "paint/CPenShapeObj.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"
#include "platform/DiagnosticSink.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {
constexpr uint8_t kWetPaintKind = 4;
// AppVersion is major x 100 + minor; the stroke version is its major.
constexpr int32_t kVersionPerMajor = 100;

} // namespace

PaperPlaybackTarget::PaperPlaybackTarget(TPaper& paper)
    : paper_(paper), pen_(std::make_unique<TStroke>(int32_t(450 / kVersionPerMajor))),
      render_(std::make_unique<CPenRender>(*pen_)), flow_(std::make_unique<TFlowImage>()),
      bitmapNib_(std::make_unique<CPenShapeObj>())
{
    engineAtStart_ = paper_.EngineLevel();
    paper_.SetPenRenderer(render_.get());
}

PaperPlaybackTarget::~PaperPlaybackTarget()
{
    if (stroking_)
        EndStroke();
    paper_.SetPenRenderer(nullptr);
}

StreamLoad PaperPlaybackTarget::LoadStream(const std::string& path)
{
    return StreamLoadOf(LoadEventFile(path, paper_));
}

void PaperPlaybackTarget::BeginPlayback(bool isProtected, bool)
{
    // Every document has its stroke manager; the switch only matters to
    // documents that could be without one.
    paper_.EventsProtected = isProtected;
    paper_.PlaybackState = 1;
}

HandlerResult PaperPlaybackTarget::NotReplayedYet(std::span<const uint8_t> packet)
{
    Diagnose(std::string("playback: ") + InfoOf(PacketIdOf(packet[0], packet[1])).name + " has no replay yet");
    return HandlerResult::Failed;
}

HandlerResult PaperPlaybackTarget::Ran(bool done, uint8_t hints)
{
    if (!done)
        return HandlerResult::Failed;
    hints_ |= hints;
    return HandlerResult::Executed;
}

bool PaperPlaybackTarget::IsLayer(int32_t index) const
{
    return index >= 0 && index < paper_.LayerCount();
}

HandlerResult PaperPlaybackTarget::ApplyRecord(std::span<const uint8_t> packet)
{
    if (packet.size() < 2)
        return HandlerResult::Failed;
    const PacketCategory category = CategoryKindOf(PacketIdOf(packet[0], packet[1]));
    if (category == PacketCategory::StateRecord)
        return ApplyState(packet);
    // DataBlocks only name the recording and its start: nothing to apply.
    DataBlockPayload block;
    return category == PacketCategory::DataBlock && block.Decode(packet) ? HandlerResult::Executed
                                                                         : HandlerResult::Failed;
}

// The registry names the operation that replays each kind; a recording
// makes its canvas first and only once.
HandlerResult PaperPlaybackTarget::ApplyCommand(std::span<const uint8_t> packet, int appVersion)
{
    if (packet.size() < 2 || stroking_)
        return HandlerResult::Failed;
    appVersion_ = appVersion;
    paper_.PlayerAppVersion = appVersion;
    const PacketId id = PacketIdOf(packet[0], packet[1]);
    const bool newCanvas = id == PacketId::NewCanvas || id == PacketId::NewCanvasOld;
    if (newCanvas == canvasMade_)
        return HandlerResult::Failed;
    if (std::find(std::begin(kFilterPackets), std::end(kFilterPackets), id) != std::end(kFilterPackets))
        return canvasMade_ ? ReplayFilter(paper_, id, packet, {appVersion, pen_->color & 0x00FFFFFFu}, hints_)
                           : HandlerResult::Failed;
    const OperationEntry* operation = OperationReplaying(id);
    if (!operation || !operation->replay)
        return NotReplayedYet(packet);
    const HandlerResult result = operation->replay(paper_, id, packet, hints_);
    canvasMade_ = canvasMade_ || (newCanvas && result == HandlerResult::Executed);
    return result;
}

void PaperPlaybackTarget::ClearMaps()
{
    nibs_.Clear();
}

uint8_t PaperPlaybackTarget::ImplicitStrokeKind()
{
    const CLayerData* layer = paper_.LayerAt(paper_.CurrentLayer());
    if (layer)
        if (auto it = lastKind_.find(layer->Id); it != lastKind_.end())
            return it->second;
    return 2;
}

// ---- strokes ----------------------------------------------------------------------

HandlerResult PaperPlaybackTarget::StartStroke(const PlaybackStroke& stroke)
{
    if (stroking_ || paper_.IsStroking() || !canvasMade_ ||
        !(stroke.kind <= 2 || stroke.kind == kWetPaintKind))
        return HandlerResult::Failed;
    if (!stroke.implicit) {
        if (!IsLayer(stroke.layer))
            return HandlerResult::Failed;
        if (stroke.layer != paper_.CurrentLayer() && !paper_.SelectLayer(stroke.layer))
            return HandlerResult::Failed;
    }
    // Shape mode keeps the path on the recorded vertices and holds until
    // the stroke ends.
    if (!paper_.SetShapeStroke(stroke.lineMode))
        return HandlerResult::Failed;
    pen_->version = appVersion_ / kVersionPerMajor;
    stroke_ = stroke;
    stroking_ = true;
    return HandlerResult::Executed;
}

HandlerResult PaperPlaybackTarget::DrawPoint(const PlaybackPoint& point, PointRoutine routine)
{
    if (!stroking_)
        return HandlerResult::Failed;
    const bool opening = routine == PointRoutine::OpenEarlier || routine == PointRoutine::OpenStandard ||
                         routine == PointRoutine::OpenWetPaint;
    if (opening != !paper_.IsStroking())
        return HandlerResult::Failed;
    if (!opening)
        return Ran(paper_.StrokePoint(*flow_, *pen_, false, point.pressure, point.y, point.x), 0);
    // The oldest engine stays for the whole document; otherwise the earlier
    // routine is the compatible engine and the others the current one.
    if (paper_.EngineLevel() != 0 && !paper_.SetStrokeEngine(routine == PointRoutine::OpenEarlier ? 1 : 2))
        return HandlerResult::Failed;
    if (!flow_->FitToDocument(paper_.Width, paper_.Height, true))
        return HandlerResult::Failed;
    return Ran(paper_.StrokeBegin(*flow_, *pen_, false, point.pressure, point.y, point.x), 0);
}

HandlerResult PaperPlaybackTarget::EndStroke()
{
    if (!stroking_)
        return HandlerResult::Failed;
    stroking_ = false;
    const CLayerData* layer = paper_.LayerAt(paper_.CurrentLayer());
    if (layer)
        lastKind_[layer->Id] = stroke_.kind;
    if (!paper_.IsStroking()) {
        // No point was drawn: the shape mode must not reach the next stroke.
        paper_.SetShapeStroke(false);
        return HandlerResult::Executed;
    }
    EdgeRect changed;
    return Ran(paper_.StrokeEnd(*flow_, *pen_, false, changed), changehint::kLayerPixels);
}

uint8_t PaperPlaybackTarget::TakeChangeHints()
{
    const uint8_t hints = hints_;
    hints_ = 0;
    return hints;
}

void PaperPlaybackTarget::EndPlayback()
{
    if (stroking_)
        EndStroke();
    paper_.SetStrokeEngine(engineAtStart_);
    paper_.PlaybackState = 0;
    paper_.RenderAll(true);
    paper_.InvalidateWindow(true);
}

} // namespace morvane
