#include "events/EventPayloads.h"

#include "events/EventPayloadsActions.h"
#include "events/EventPayloadsCommands.h"
#include "events/EventPayloadsState.h"

namespace morvane {
namespace {

template <class... P>
struct PayloadList {};

using AllPayloads = PayloadList<
    AppVersionPayload, StateColourPayload, GradationGeometryPayload, GradationSettingsPayload, CurrentLayerPayload,
    StateFlagsPayload, PenColourPayload, PenRadiusPayload, PenEffectsPayload, TextFontPayload, TextPayload,
    EmbeddedTonePayload, ToneReferencePayload, GradationColoursPayload, EmbeddedNibPayload, NibReferencePayload,
    NibShapePayload, PenColoursPayload, NibGeometryPayload, AirMapPayload, BrushMethodPayload, BrushValuesPayload,
    StrokeSettingsPayload, ImageBlockPayload, ColourRangePayload, DataBlockPayload, NewCanvasOldPayload,
    NewCanvasPayload, CanvasColourPayload, CanvasSizePayload, ResamplePayload, CropPayload, MergeVisiblePayload,
    LayerVisibilityPayload, DocumentActionPayload, NewLayerQuickPayload, NewLayerPayload, LayerIndexPayload,
    LayerPlacePayload, MergeDownPayload, LayerMovePayload, LayerLookPayload, RenameLayerPayload, RotateLayerPayload,
    ScaleLayerPayload, SelectionTransformPayload, LinkLevelsPayload, LinkValuePayload, LinkMovePayload,
    StrokeStartPayload, StrokePointsPayload, AreaFillPayload, PolygonFillPayload, SelectionCommandPayload,
    SelectionAmountPayload, RenameMaskPayload, SelectionShapePayload, PixelBlockPayload, FilterPayload, FilterDataPayload>;

template <class... P>
int CountServing(PayloadList<P...>, uint8_t category, uint8_t code)
{
    return (int(P::Serves(category, code)) + ...);
}

template <class... P>
bool Recode(PayloadList<P...>, std::span<const uint8_t> packet, std::vector<uint8_t>* reencoded)
{
    bool decoded = false;
    auto tryOne = [&](auto payload) {
        using T = decltype(payload);
        if (!T::Serves(packet[0], packet[1]))
            return false;
        decoded = payload.Decode(packet);
        if (decoded && reencoded != nullptr)
            *reencoded = payload.Encode();
        return true;
    };
    (tryOne(P{}) || ...);
    return decoded;
}

} // namespace

int PayloadStructsServing(uint8_t category, uint8_t code) { return CountServing(AllPayloads{}, category, code); }

bool DecodePacket(std::span<const uint8_t> packet, std::vector<uint8_t>* reencoded)
{
    return packet.size() >= 2 && Recode(AllPayloads{}, packet, reencoded);
}

} // namespace morvane
