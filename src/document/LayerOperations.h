#pragma once
// Operations of the layer panel that change the stack: add, delete,
// duplicate, move, merge down, merge visible, alpha (TPaperLayers.cpp).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/PaperOperation.h"
#include "events/EventPackets.h"

namespace morvane {

class CLeavingTable;

// A new layer (the quick form, or with a name and an initial colour).
struct AddLayerOp {
    static constexpr const char* kName = "AddLayer";
    static constexpr PacketId kPackets[] = {PacketId::NewLayerQuick, PacketId::NewLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::NewLayer};
    static constexpr uint8_t kHints = kStackHints;

    int32_t index = 0, width = 0, height = 0, opacity = 255, mode = 0;
    bool visible = true, protect = false;
    std::optional<std::string> name{};
    uint32_t fill = 0;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<AddLayerOp> Replayed(OpContext& c, PacketId id, const NewLayerQuickPayload& p);
    static std::optional<AddLayerOp> Replayed(OpContext& c, PacketId id, const NewLayerPayload& p);

    std::unique_ptr<CLayerData> layer{};
    int32_t at = 0;
    EdgeRect bounds{};
};

struct DeleteLayerOp {
    static constexpr const char* kName = "DeleteLayer";
    static constexpr PacketId kPackets[] = {PacketId::DeleteLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::DeleteLayer};
    static constexpr uint8_t kHints = kStackHints;

    int32_t index = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<DeleteLayerOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);

    EdgeRect bounds{};
};

// A copy above the layer, made current.
struct DuplicateLayerOp {
    static constexpr const char* kName = "DuplicateLayer";
    static constexpr PacketId kPackets[] = {PacketId::DuplicateLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::DuplicateLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    int32_t index = 0;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<DuplicateLayerOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);

    std::unique_ptr<CLayerData> copy{};
    EdgeRect bounds{};
};

struct MoveLayerOp {
    static constexpr const char* kName = "MoveLayer";
    static constexpr PacketId kPackets[] = {PacketId::MoveLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::MoveLayer};
    static constexpr uint8_t kHints = kStackHints;

    int32_t from = 0, to = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MoveLayerOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);

    EdgeRect bounds{};
};

// The layer merged into the one below it, which takes its place; with a
// merge method it records the current form, without the earlier one.
struct MergeDownOp {
    static constexpr const char* kName = "MergeDown";
    static constexpr PacketId kPackets[] = {PacketId::MergeDownOld, PacketId::MergeDown};
    static constexpr UndoKind kUndo[] = {UndoKind::MergeDown};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    int32_t upper = 0, method = 0;
    bool withMethod = false;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MergeDownOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);
    static std::optional<MergeDownOp> Replayed(OpContext& c, PacketId id, const MergeDownPayload& p);

    int32_t upperId = 0;
    std::unique_ptr<CLayerData> former{};
};

// The visible layers folded into the bottom one.
struct MergeVisibleOp {
    static constexpr const char* kName = "MergeVisibleLayers";
    static constexpr PacketId kPackets[] = {PacketId::MergeVisibleOld, PacketId::MergeVisible};
    static constexpr UndoKind kUndo[] = {UndoKind::MergeVisible};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    int32_t method = -1;
    bool backgroundOnly = false;

    MergeVisibleOp();
    MergeVisibleOp(MergeVisibleOp&&) noexcept;
    ~MergeVisibleOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MergeVisibleOp> Replayed(OpContext& c, PacketId id, const EmptyPayload& p);
    static std::optional<MergeVisibleOp> Replayed(OpContext& c, PacketId id, const MergeVisiblePayload& p);

    std::unique_ptr<CLeavingTable> table{};
    std::unique_ptr<CLayerMngr> away{};
    int32_t previous = 0;
};

// Every pixel's alpha made 0 or 255.
struct SetLayerAlphaOp {
    static constexpr const char* kName = "SetLayerAlpha";
    static constexpr PacketId kPackets[] = {PacketId::SetLayerAlpha};
    static constexpr UndoKind kUndo[] = {UndoKind::AlphaPlane};
    static constexpr uint8_t kHints = changehint::kLayerPixels;

    int32_t index = 0, alpha = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SetLayerAlphaOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);
};

// A copy of the layer cut by the current selection goes in above it and
// becomes current; moving also cuts the selected part out of the layer
// (kind 37, holding the layer's alpha plane when it changes).
struct SelectionToLayerOp {
    static constexpr const char* kName = "SelectionToLayer";
    static constexpr PacketId kPackets[] = {PacketId::SelectionToLayer, PacketId::SelectionToLayerWith};
    static constexpr UndoKind kUndo[] = {UndoKind::SelectionToLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    int32_t index = 0;
    bool move = false;

    SelectionToLayerOp();
    SelectionToLayerOp(int32_t i, bool m);
    SelectionToLayerOp(SelectionToLayerOp&&) noexcept;
    ~SelectionToLayerOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SelectionToLayerOp> Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p);
    static std::optional<SelectionToLayerOp> Replayed(OpContext& c, PacketId id, const SelectionAmountPayload& p);

    std::unique_ptr<CLayerData> copy{};
};

// The alpha plane of the layer's whole store as a history record, and the
// refresh after a change of it: what every whole-layer alpha change shares.
HistoryRecord WholeAlphaRecord(OpContext& c, int32_t index);
void RefreshWholeLayer(OpContext& c, int32_t index);

} // namespace morvane
