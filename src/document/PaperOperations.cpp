#include "document/PaperOperations.h"

#include <cstring>
#include <iterator>
#include <optional>

#include "document/FilterOperations.h"
#include "document/ImageOperations.h"
#include "document/LayerOperations.h"
#include "document/LinkOperations.h"
#include "document/PictureOperations.h"
#include "document/SelectionOperations.h"
#include "document/TransformOperations.h"

namespace morvane {
namespace {

// A packet of one of Op's kinds replayed: decoded with the kind's payload,
// turned into the operation by Op::Replayed (none when it does not fit the
// document) and run by the driver with recording off.
template <class Op, size_t I = 0>
HandlerResult Replay(TPaper& paper, PacketId id, std::span<const uint8_t> packet, uint8_t& hints)
{
    if constexpr (I < std::size(Op::kPackets)) {
        constexpr PacketId kId = Op::kPackets[I];
        if (id != kId)
            return Replay<Op, I + 1>(paper, id, packet, hints);
        typename PayloadOf<kId>::type payload;
        if (!payload.Decode(packet))
            return HandlerResult::Failed;
        OpContext context{paper, false};
        std::optional<Op> op = Op::Replayed(context, id, payload);
        if (!op || !RunOperation(paper, std::move(*op), false))
            return HandlerResult::Failed;
        hints |= Op::kHints;
        return HandlerResult::Executed;
    } else {
        return HandlerResult::Failed;
    }
}

template <class Op>
constexpr OperationEntry Entry(std::span<const char* const> commands = {})
{
    return {Op::kName, Op::kPackets, Op::kUndo, commands, &Replay<Op>};
}

// A stroke is driven by the player point by point (its start, points and
// end); the registry names its kinds and history for the tests.
constexpr PacketId kStrokePackets[] = {PacketId::StrokeStartEarlier, PacketId::LineStartEarlier,
                                       PacketId::StrokeStartCompatible, PacketId::LineStartCompatible,
                                       PacketId::StrokeStart, PacketId::LineStart, PacketId::WetStrokeStart,
                                       PacketId::WetLineStart, PacketId::MorePoints, PacketId::LastPoints};
constexpr UndoKind kStrokeUndo[] = {UndoKind::Stroke};

// Filters replay through the filter table, with the player's defaults when
// no player state is at hand.
HandlerResult ReplayFilterPacket(TPaper& paper, PacketId id, std::span<const uint8_t> packet, uint8_t& hints)
{
    return ReplayFilter(paper, id, packet, {}, hints);
}
constexpr UndoKind kFilterUndo[] = {UndoKind::Filter};
constexpr const char* kFilterCommands[] = {"actFilterLevels4", "actFilterGamma4", "actFilterContrast4",
                                           "actFilterHLS4", "actFilterMono", "actFilterNega",
                                           "actFilterSolarization", "actFilterMonotone", "actFilterPoster4",
                                           "ActEditDens2A"};

constexpr const char* kFlipPicture[] = {"ActImgFlipH", "ActImgFlipV", "ActImgRot180", "ActImgInvert"};
constexpr const char* kRotatePicture[] = {"ActImgRot90", "ActImgRot270"};
constexpr const char* kNewLayer[] = {"ActLyrNew"};
constexpr const char* kDuplicate[] = {"ActLyrDup"};
constexpr const char* kDelete[] = {"ActLyrDel"};
constexpr const char* kLink[] = {"ActLyrGroupI", "ActLyrGroupO"};
constexpr const char* kDeleteGroup[] = {"ActLyrGroupDel"};
constexpr const char* kAlpha[] = {"ActLyrClearA", "ActLyrFillA"};
constexpr const char* kLayerCommand[] = {"ActLyrInvertA", "actLyrFlipLR", "actLyrFlipTB", "actLyrRot180"};
constexpr const char* kProtect[] = {"ActLyrProtectA"};
constexpr const char* kMergeDown[] = {"ActLyrMergeD"};
constexpr const char* kMergeVisible[] = {"ActLyrMergeV", "ActLyrMergeV2"};
constexpr const char* kRotateLayer[] = {"ActLyrRot90", "ActLyrRot270"};
constexpr const char* kTrimLayer[] = {"ActLyrTrimOut"};
constexpr const char* kShowOnly[] = {"ActViewCurLyr"};
constexpr const char* kShowAll[] = {"ActViewAllLyr", "ActViewNoLyr"};
constexpr const char* kInvertVisibility[] = {"ActViewFlipLyr"};
constexpr const char* kNewMask[] = {"ActMaskNew", "ActMaskDup"};
constexpr const char* kDeleteMask[] = {"ActMaskDel"};
constexpr const char* kRenameMask[] = {"ActMaskOption"};
constexpr const char* kChangeSelection[] = {"ActSelAll",  "ActSelCancel", "ActSelInvert",  "ActMaskTrimOut",
                                            "ActSelExp1", "ActSelCol1",   "ActSelExp",     "ActSelCol2"};
constexpr const char* kMaskFromLayer[] = {"ActMaskNewFromLyrD", "ActMaskNewFromLyrA"};
constexpr const char* kMaskIntoAlpha[] = {"ActLyrSel2A"};
constexpr const char* kSelectionFlags[] = {"ActViewSel", "ActSelEnable"};
constexpr const char* kColourRange[] = {"ActSelColorRange"};
constexpr const char* kSelectionToLayer[] = {"ActLyrSelDup", "ActLyrSelNew"};

const OperationEntry kOperations[] = {
    Entry<NewPictureOp>(),
    Entry<SetPaperColourOp>(),
    Entry<SetCanvasSizeOp>(),
    Entry<SetImageSizeOp>(),
    Entry<CropOp>(),
    Entry<RotatePicture90Op>(kRotatePicture),
    Entry<TransformPictureOp>(kFlipPicture),
    Entry<MergeVisibleOp>(kMergeVisible),
    Entry<ShowAllLayersOp>(kShowAll),
    Entry<ShowOnlyLayerOp>(kShowOnly),
    Entry<InvertLayerVisibilityOp>(kInvertVisibility),
    Entry<AddLayerOp>(kNewLayer),
    Entry<DeleteLayerOp>(kDelete),
    Entry<DuplicateLayerOp>(kDuplicate),
    Entry<MoveLayerOp>(),
    Entry<MergeDownOp>(kMergeDown),
    Entry<SetLayerAlphaOp>(kAlpha),
    Entry<LayerCommandOp>(kLayerCommand),
    Entry<LayerCommandMaskedOp>(),
    Entry<RotateLayer90Op>(kRotateLayer),
    Entry<RotateLayerFreeOp>(),
    Entry<ScaleLayerOp>(),
    Entry<TrimLayerOutsideOp>(kTrimLayer),
    Entry<SetLayerModeOp>(),
    Entry<SetLayerOpacityOp>(),
    Entry<SetLayerVisibleOp>(),
    Entry<SetLayerProtectAlphaOp>(kProtect),
    Entry<SetLayerDitherOp>(),
    Entry<RenameLayerOp>(),
    Entry<ShiftLayerOp>(),
    Entry<LinkLayerOp>(kLink),
    Entry<DeleteLinkLeaderOp>(),
    Entry<MoveLinkGroupOp>(),
    Entry<DeleteLinkGroupOp>(kDeleteGroup),
    Entry<SetLinkGroupVisibleOp>(),
    Entry<PasteImageOp>(),
    Entry<NewMaskOp>(kNewMask),
    Entry<DeleteMaskOp>(kDeleteMask),
    Entry<SelectMaskOp>(),
    Entry<MoveMaskOp>(),
    Entry<RenameMaskOp>(kRenameMask),
    Entry<ChangeSelectionOp>(kChangeSelection),
    Entry<CombineMasksOp>(),
    Entry<MoveSelectionOp>(),
    Entry<MaskFromLayerOp>(kMaskFromLayer),
    Entry<SelectionFlagsOp>(kSelectionFlags),
    Entry<SelectShapeOp>(),
    Entry<MaskIntoAlphaOp>(kMaskIntoAlpha),
    Entry<ColourRangeOp>(kColourRange),
    Entry<SelectionToLayerOp>(kSelectionToLayer),
    {"Filter", kFilterPackets, kFilterUndo, kFilterCommands, &ReplayFilterPacket},
    {"Stroke", kStrokePackets, kStrokeUndo, {}, nullptr},
};

} // namespace

std::span<const OperationEntry> PaperOperations() { return kOperations; }

const OperationEntry* OperationReplaying(PacketId id)
{
    for (const OperationEntry& op : kOperations)
        for (PacketId kind : op.packets)
            if (kind == id)
                return &op;
    return nullptr;
}

const OperationEntry* FindOperation(const char* name)
{
    for (const OperationEntry& op : kOperations)
        if (std::strcmp(op.name, name) == 0)
            return &op;
    return nullptr;
}

} // namespace morvane
