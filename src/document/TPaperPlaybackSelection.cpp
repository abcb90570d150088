// The selection commands as a recording replays them: each packet's indices
// are checked against the mask list before the operation runs.
#include "codecs/CodePage.h"
#include "document/CMaskMngr.h"
#include "document/MaskMorphology.h"
#include "document/SelectionOperations.h"
#include "document/TPaper.h"
#include "platform/DiagnosticSink.h"

namespace morvane {

namespace {
// The mask the packet names is the current one, as the recorder wrote it.
bool NamesCurrent(OpContext& c, int32_t mask) { return mask == c.paper.Masks().Current(); }
} // namespace

std::optional<NewMaskOp> NewMaskOp::Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p)
{
    if (!NamesCurrent(c, p.mask))
        return std::nullopt;
    return NewMaskOp{id == PacketId::DuplicateMask};
}

// The player makes the mask current first when it is not. The only mask
// stays (a current mask always exists): the packet is executed, and said.
std::optional<DeleteMaskOp> DeleteMaskOp::Replayed(OpContext& c, PacketId, const SelectionCommandPayload& p)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (!masks.IsIndex(p.mask))
        return std::nullopt;
    if (masks.Count() == 1)
        Diagnose("playback: the only mask is not deleted");
    return DeleteMaskOp{p.mask};
}

std::optional<SelectMaskOp> SelectMaskOp::Replayed(OpContext& c, PacketId, const SelectionCommandPayload& p)
{
    if (!c.paper.Masks().IsIndex(p.mask))
        return std::nullopt;
    return SelectMaskOp{p.mask};
}

std::optional<MoveMaskOp> MoveMaskOp::Replayed(OpContext& c, PacketId, const SelectionValuesPayload& p)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (!masks.IsIndex(p.mask) || !masks.IsIndex(p.first) || p.mask == p.first)
        return std::nullopt;
    return MoveMaskOp{p.mask, p.first};
}

std::optional<RenameMaskOp> RenameMaskOp::Replayed(OpContext&, PacketId, const RenameMaskPayload& p)
{
    return RenameMaskOp{Cp932ToUtf8(p.name)};
}

std::optional<ChangeSelectionOp> ChangeSelectionOp::Replayed(OpContext& c, PacketId id,
                                                             const SelectionCommandPayload& p)
{
    if (!NamesCurrent(c, p.mask))
        return std::nullopt;
    switch (id) {
    case PacketId::SelectAll: return ChangeSelectionOp{MaskChange::SelectAll};
    case PacketId::CancelSelection: return ChangeSelectionOp{MaskChange::Cancel};
    case PacketId::InvertSelection: return ChangeSelectionOp{MaskChange::Invert};
    case PacketId::TrimMask: return ChangeSelectionOp{MaskChange::Trim};
    default: return std::nullopt;
    }
}

// Both recorded forms of the one-pixel step: 1 grows the rectangle where
// the content touches its edge, 0 keeps it.
std::optional<ChangeSelectionOp> ChangeSelectionOp::Replayed(OpContext& c, PacketId, const SelectionValuesPayload& p)
{
    if (!NamesCurrent(c, p.mask) || uint32_t(p.first) > 1 || uint32_t(p.second) > 1)
        return std::nullopt;
    return ChangeSelectionOp{p.second ? MaskChange::GrowOne : MaskChange::GrowOneEarlier, p.first == 1};
}

std::optional<ChangeSelectionOp> ChangeSelectionOp::Replayed(OpContext& c, PacketId id,
                                                             const SelectionAmountPayload& p)
{
    if (!NamesCurrent(c, p.mask) || p.amount < 1 || p.amount > kMaxGrowRadius)
        return std::nullopt;
    return ChangeSelectionOp{MaskChange::GrowN, id == PacketId::ExpandSelection, p.amount};
}

std::optional<CombineMasksOp> CombineMasksOp::Replayed(OpContext& c, PacketId, const SelectionValuesPayload& p)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (!masks.IsIndex(p.mask) || !masks.IsIndex(p.first) || p.mask == p.first || uint32_t(p.second) >= 4)
        return std::nullopt;
    return CombineMasksOp{p.mask, p.first, CombineMode(p.second)};
}

std::optional<MoveSelectionOp> MoveSelectionOp::Replayed(OpContext& c, PacketId, const SelectionValuesPayload& p)
{
    if (!NamesCurrent(c, p.mask))
        return std::nullopt;
    return MoveSelectionOp{p.first, p.second};
}

std::optional<MaskFromLayerOp> MaskFromLayerOp::Replayed(OpContext& c, PacketId, const SelectionValuesPayload& p)
{
    if (!c.paper.Layers().IsValidIndex(p.layer) || uint32_t(p.first) > 1)
        return std::nullopt;
    return MaskFromLayerOp{p.layer, p.first == 1, p.second != 0};
}

// Border shown in the low 16 bits of the new flags, selection used in the
// high 16 bits.
std::optional<SelectionFlagsOp> SelectionFlagsOp::Replayed(OpContext&, PacketId id, const SelectionValuesPayload& p)
{
    const bool border = id == PacketId::ShowSelectionBorder;
    const uint32_t flags = uint32_t(p.second);
    return SelectionFlagsOp{border, border ? (flags & 0xFFFF) != 0 : (flags >> 16) != 0};
}

std::optional<MaskIntoAlphaOp> MaskIntoAlphaOp::Replayed(OpContext& c, PacketId, const SelectionCommandPayload& p)
{
    if (!NamesCurrent(c, p.mask))
        return std::nullopt;
    return MaskIntoAlphaOp{p.layer};
}

} // namespace morvane
