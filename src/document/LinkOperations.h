#pragma once
// Operations of the layer panel on attributes, visibility, content shifts
// and link groups (TPaperLinks.cpp).
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/PaperOperation.h"
#include "events/EventPackets.h"

namespace morvane {

class CKeptTables;

// One attribute of a layer: what a layer-list control changes. The packet
// carries the layer's whole look after the change.
struct LayerAttributeOp {
    UndoKind kind = UndoKind::Opacity;
    int32_t index = 0;
    int32_t value = 0; // the new value as the history keeps it

    LayerAttributeOp() = default;
    LayerAttributeOp(UndoKind k, int32_t i, int32_t v) : kind(k), index(i), value(v) {}
    Verdict CheckLayer(OpContext& c, bool valid);
    HistoryRecord History(OpContext& c);
};

struct SetLayerOpacityOp : LayerAttributeOp {
    static constexpr const char* kName = "SetLayerOpacity";
    static constexpr PacketId kPackets[] = {PacketId::SetLayerOpacity};
    static constexpr UndoKind kUndo[] = {UndoKind::Opacity, UndoKind::OpacityLinked};
    static constexpr uint8_t kHints = kLookHints | changehint::kLayerPixels;

    SetLayerOpacityOp(int32_t i, int32_t opacity) : LayerAttributeOp(UndoKind::Opacity, i, opacity) {}
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SetLayerOpacityOp> Replayed(OpContext& c, PacketId id, const LayerLookPayload& p);
};

struct SetLayerModeOp : LayerAttributeOp {
    static constexpr const char* kName = "SetLayerMode";
    static constexpr PacketId kPackets[] = {PacketId::SetLayerMode};
    static constexpr UndoKind kUndo[] = {UndoKind::Mode};
    static constexpr uint8_t kHints = kLookHints | changehint::kLayerPixels;

    SetLayerModeOp(int32_t i, int32_t mode) : LayerAttributeOp(UndoKind::Mode, i, mode) {}
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SetLayerModeOp> Replayed(OpContext& c, PacketId id, const LayerLookPayload& p);
};

struct SetLayerDitherOp : LayerAttributeOp {
    static constexpr const char* kName = "SetLayerDither";
    static constexpr PacketId kPackets[] = {PacketId::SetLayerProperties};
    static constexpr UndoKind kUndo[] = {UndoKind::Dither};
    static constexpr uint8_t kHints = kLookHints | changehint::kLayerPixels;

    bool dither = false;
    int32_t density = 0;

    SetLayerDitherOp(int32_t i, bool on, int32_t d)
        : LayerAttributeOp(UndoKind::Dither, i, int32_t(on) | d << 8), dither(on), density(d)
    {
    }
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SetLayerDitherOp> Replayed(OpContext& c, PacketId id, const LayerPropertiesPayload& p);
};

// The layer's transparency protection (painting keeps its alpha).
struct SetLayerProtectAlphaOp : LayerAttributeOp {
    static constexpr const char* kName = "SetLayerProtectAlpha";
    static constexpr PacketId kPackets[] = {PacketId::SetProtectAlpha};
    static constexpr UndoKind kUndo[] = {UndoKind::ProtectAlpha};
    static constexpr uint8_t kHints = kLookHints;

    SetLayerProtectAlphaOp(int32_t i, bool protect) : LayerAttributeOp(UndoKind::ProtectAlpha, i, protect) {}
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SetLayerProtectAlphaOp> Replayed(OpContext& c, PacketId id, const LayerLookPayload& p);
};

// The layer's name. Names travel as CP932, so a name CP932 cannot hold
// exactly is refused: the stream must replay to the name on screen.
struct RenameLayerOp {
    static constexpr const char* kName = "RenameLayer";
    static constexpr PacketId kPackets[] = {PacketId::RenameLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::Name};
    static constexpr uint8_t kHints = kLookHints;

    int32_t index = 0;
    std::string name;

    RenameLayerOp(int32_t i, std::string n) : index(i), name(std::move(n)) {}
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<RenameLayerOp> Replayed(OpContext& c, PacketId id, const RenameLayerPayload& p);
};

// A visibility change of several layers: every flag is kept for the history.
struct VisibilityOp {
    UndoKind kind = UndoKind::ShowAll;
    int32_t index = 0; // the layer the record names
    std::unique_ptr<CKeptTables> flags{};

    VisibilityOp();
    VisibilityOp(VisibilityOp&&) noexcept;
    ~VisibilityOp();
    bool Prepare(OpContext& c);
    HistoryRecord History(OpContext& c);
    void Refresh(OpContext& c);
};

// A layer shown or hidden; a link group's leader shows or hides its run.
struct SetLayerVisibleOp : VisibilityOp {
    static constexpr const char* kName = "SetLayerVisible";
    static constexpr PacketId kPackets[] = {PacketId::SetLayerVisible};
    static constexpr UndoKind kUndo[] = {UndoKind::Visible, UndoKind::LinkGroupVisible};
    static constexpr uint8_t kHints = kLookHints | changehint::kLayerPixels;

    bool visible = true;
    int32_t run = 0;

    SetLayerVisibleOp(int32_t i, bool v);
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    static std::optional<SetLayerVisibleOp> Replayed(OpContext& c, PacketId id, const LayerLookPayload& p);
};

// Refused when the layer already is the only visible one.
struct ShowOnlyLayerOp : VisibilityOp {
    static constexpr const char* kName = "ShowOnlyLayer";
    static constexpr PacketId kPackets[] = {PacketId::ShowOnlyLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::ShowOnly};
    static constexpr uint8_t kHints = kLookHints;

    explicit ShowOnlyLayerOp(int32_t i);
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    static std::optional<ShowOnlyLayerOp> Replayed(OpContext& c, PacketId id, const LayerVisibilityPayload& p);
};

// Refused when there is nothing to show (or to hide).
struct ShowAllLayersOp : VisibilityOp {
    static constexpr const char* kName = "ShowAllLayers";
    static constexpr PacketId kPackets[] = {PacketId::ShowAllLayers};
    static constexpr UndoKind kUndo[] = {UndoKind::ShowAll};
    static constexpr uint8_t kHints = kLookHints;

    bool show = true;

    explicit ShowAllLayersOp(bool s);
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    static std::optional<ShowAllLayersOp> Replayed(OpContext& c, PacketId id, const LayerVisibilityPayload& p);
};

struct InvertLayerVisibilityOp : VisibilityOp {
    static constexpr const char* kName = "InvertLayerVisibility";
    static constexpr PacketId kPackets[] = {PacketId::InvertVisibility};
    static constexpr UndoKind kUndo[] = {UndoKind::InvertVisibility};
    static constexpr uint8_t kHints = kLookHints;

    InvertLayerVisibilityOp();
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    static std::optional<InvertLayerVisibilityOp> Replayed(OpContext& c, PacketId id,
                                                           const LayerVisibilityPayload& p);
};

// Layers index ... index + count - 1 (at most to the top).
struct SetLinkGroupVisibleOp : VisibilityOp {
    static constexpr const char* kName = "SetLinkGroupVisible";
    static constexpr PacketId kPackets[] = {PacketId::LinkGroupVisible};
    static constexpr UndoKind kUndo[] = {UndoKind::LinkGroupVisible};
    static constexpr uint8_t kHints = kLookHints | changehint::kLayerPixels;

    int32_t count = 0;
    bool visible = true;

    SetLinkGroupVisibleOp(int32_t i, int32_t n, bool v);
    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    bool Apply(OpContext& c, CUndoData* record);
    static std::optional<SetLinkGroupVisibleOp> Replayed(OpContext& c, PacketId id, const LinkValuePayload& p);
};

// Moves the content of a layer and its linked run by (dx, dy); a store that
// would no longer cover the picture is rebuilt larger first. With the
// selection, the current selection moves by the same offset.
struct ShiftLayerOp {
    static constexpr const char* kName = "ShiftLayer";
    static constexpr PacketId kPackets[] = {PacketId::LayerPosition, PacketId::LayerKeptSize, PacketId::MoveLinked,
                                            PacketId::MoveLayerBy,   PacketId::MoveResizeLayer,
                                            PacketId::MoveLinkedByTool};
    static constexpr UndoKind kUndo[] = {UndoKind::Position,          UndoKind::KeptSize,
                                         UndoKind::MoveLinked,        UndoKind::MoveWithSelection,
                                         UndoKind::MoveResizeWithSelection, UndoKind::MoveLinkedWithSelection};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    int32_t index = 0, dx = 0, dy = 0;

    ShiftLayerOp(int32_t i, int32_t x, int32_t y, bool withSelection = false);
    ShiftLayerOp(ShiftLayerOp&&) noexcept;
    ~ShiftLayerOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<ShiftLayerOp> Replayed(OpContext& c, PacketId id, const LayerPlacePayload& p);
    static std::optional<ShiftLayerOp> Replayed(OpContext& c, PacketId id, const LinkMovePayload& p);
    static std::optional<ShiftLayerOp> Replayed(OpContext& c, PacketId id, const LayerMovePayload& p);

    bool withSelection = false;
    int32_t selection = 0; // PackedSelection of the current mask
    int32_t count = 1;
    bool anyGrown = false;
    std::vector<std::unique_ptr<CLayerData>> grown;
    std::unique_ptr<CKeptTables> ids{};
};

// Links the layer and its run to the layer below (one level deeper), or
// unlinks it (one level up).
struct LinkLayerOp {
    static constexpr const char* kName = "LinkLayer";
    static constexpr PacketId kPackets[] = {PacketId::LinkLayer, PacketId::UnlinkLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::LinkGroup};
    static constexpr uint8_t kHints = kStackHints;

    int32_t index = 0;
    bool link = true;

    LinkLayerOp(int32_t i, bool l);
    LinkLayerOp(LinkLayerOp&&) noexcept;
    ~LinkLayerOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<LinkLayerOp> Replayed(OpContext& c, PacketId id, const LinkLevelsPayload& p);

    std::unique_ptr<CKeptTables> levels{};
};

// The layer and its run move so that the layer lands at index to.
struct MoveLinkGroupOp {
    static constexpr const char* kName = "MoveLinkGroup";
    static constexpr PacketId kPackets[] = {PacketId::MoveLinkGroup};
    static constexpr UndoKind kUndo[] = {UndoKind::MoveLinkGroup};
    static constexpr uint8_t kHints = kStackHints;

    int32_t index = 0, to = 0;

    MoveLinkGroupOp(int32_t i, int32_t t);
    MoveLinkGroupOp(MoveLinkGroupOp&&) noexcept;
    ~MoveLinkGroupOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MoveLinkGroupOp> Replayed(OpContext& c, PacketId id, const LinkValuePayload& p);

    int32_t count = 0, id = 0, current = 0;
    std::unique_ptr<CKeptTables> levels{};
};

// The leader of a link group leaves the stack; its run drops one level.
struct DeleteLinkLeaderOp {
    static constexpr const char* kName = "DeleteLinkLeader";
    static constexpr PacketId kPackets[] = {PacketId::DeleteLinkLeader};
    static constexpr UndoKind kUndo[] = {UndoKind::DeleteLinkedLayer};
    static constexpr uint8_t kHints = kStackHints;

    int32_t index = 0;

    explicit DeleteLinkLeaderOp(int32_t i);
    DeleteLinkLeaderOp(DeleteLinkLeaderOp&&) noexcept;
    ~DeleteLinkLeaderOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<DeleteLinkLeaderOp> Replayed(OpContext& c, PacketId id, const LinkValuePayload& p);

    int32_t run = 0;
    std::unique_ptr<CKeptTables> ids{};
};

// The leader and its whole run leave the stack; refused when nothing would
// be left.
struct DeleteLinkGroupOp {
    static constexpr const char* kName = "DeleteLinkGroup";
    static constexpr PacketId kPackets[] = {PacketId::DeleteLinkGroup};
    static constexpr UndoKind kUndo[] = {UndoKind::DeleteLinkGroup};
    static constexpr uint8_t kHints = kStackHints;

    int32_t index = 0;

    explicit DeleteLinkGroupOp(int32_t i);
    DeleteLinkGroupOp(DeleteLinkGroupOp&&) noexcept;
    ~DeleteLinkGroupOp();
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<DeleteLinkGroupOp> Replayed(OpContext& c, PacketId id, const LinkValuePayload& p);

    int32_t count = 0;
    std::unique_ptr<CKeptTables> ids{};
    std::vector<std::unique_ptr<CLayerData>> removed;
};

} // namespace morvane
