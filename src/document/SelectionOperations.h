#pragma once
// The operations of the mask list and the selection (TPaperSelection.cpp;
// their replays in TPaperPlaybackSelection.cpp). Undo records of category 6
// name masks by index and identifier and refuse to act on another mask.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/CMaskMngr.h"
#include "document/ColourRange.h"
#include "document/PaperOperation.h"
#include "events/EventPackets.h"

namespace morvane {

inline constexpr uint8_t kSelectionHints = changehint::kCurrentMask;

// Kinds 53 and 54: a mask inserted after the current one and made current:
// an empty one, a copy of the current one, or one made from a layer.
struct NewMaskOp {
    static constexpr const char* kName = "NewMask";
    static constexpr PacketId kPackets[] = {PacketId::NewMask, PacketId::DuplicateMask};
    static constexpr UndoKind kUndo[] = {UndoKind::NewMask};
    static constexpr uint8_t kHints = kSelectionHints;

    bool duplicate = false;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<NewMaskOp> Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p);

    std::unique_ptr<CMaskData> mask{};
};

struct DeleteMaskOp {
    static constexpr const char* kName = "DeleteMask";
    static constexpr PacketId kPackets[] = {PacketId::DeleteMask};
    static constexpr UndoKind kUndo[] = {UndoKind::DeleteMask};
    static constexpr uint8_t kHints = kSelectionHints;

    int32_t index = -1;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<DeleteMaskOp> Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p);
};

struct SelectMaskOp {
    static constexpr const char* kName = "SelectMask";
    static constexpr PacketId kPackets[] = {PacketId::SelectMask};
    static constexpr UndoKind kUndo[] = {UndoKind::CurrentMask};
    static constexpr uint8_t kHints = kSelectionHints;

    int32_t index = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SelectMaskOp> Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p);
};

struct MoveMaskOp {
    static constexpr const char* kName = "MoveMask";
    static constexpr PacketId kPackets[] = {PacketId::MoveMask};
    static constexpr UndoKind kUndo[] = {UndoKind::MoveMask};
    static constexpr uint8_t kHints = kSelectionHints;

    int32_t from = 0, to = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MoveMaskOp> Replayed(OpContext& c, PacketId id, const SelectionValuesPayload& p);
};

// The current mask's name.
struct RenameMaskOp {
    static constexpr const char* kName = "RenameMask";
    static constexpr PacketId kPackets[] = {PacketId::RenameMask};
    static constexpr UndoKind kUndo[] = {UndoKind::MaskName};
    static constexpr uint8_t kHints = kSelectionHints;

    std::string name{};

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<RenameMaskOp> Replayed(OpContext& c, PacketId id, const RenameMaskPayload& p);
};

// What replaces the current mask's pixels (kind 56; an invert inside the
// canvas is made in place and keeps nothing, kind 59).
enum class MaskChange : uint8_t { SelectAll, Cancel, Invert, Trim, GrowOne, GrowOneEarlier, GrowN };

struct ChangeSelectionOp {
    static constexpr const char* kName = "ChangeSelection";
    static constexpr PacketId kPackets[] = {PacketId::CancelSelection, PacketId::InvertSelection,
                                            PacketId::TrimMask,        PacketId::GrowSelectionByOne,
                                            PacketId::SelectAll,       PacketId::ExpandSelection,
                                            PacketId::ContractSelection};
    static constexpr UndoKind kUndo[] = {UndoKind::MaskPixels, UndoKind::InvertSelection};
    static constexpr uint8_t kHints = kSelectionHints;
    static constexpr bool kBusy = true;

    MaskChange change = MaskChange::Cancel;
    bool expand = true;
    int32_t amount = 1;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<ChangeSelectionOp> Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p);
    static std::optional<ChangeSelectionOp> Replayed(OpContext& c, PacketId id, const SelectionValuesPayload& p);
    static std::optional<ChangeSelectionOp> Replayed(OpContext& c, PacketId id, const SelectionAmountPayload& p);

    bool inPlace = false;
    std::unique_ptr<CMaskData> next{};
};

// Mask source combined into mask target (kind 62).
struct CombineMasksOp {
    static constexpr const char* kName = "CombineMasks";
    static constexpr PacketId kPackets[] = {PacketId::CombineMask};
    static constexpr UndoKind kUndo[] = {UndoKind::CombineMasks};
    static constexpr uint8_t kHints = kSelectionHints;

    int32_t source = 0, target = 0;
    CombineMode mode = CombineMode::Replace;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<CombineMasksOp> Replayed(OpContext& c, PacketId id, const SelectionValuesPayload& p);

    std::unique_ptr<CMaskData> next{};
};

struct MoveSelectionOp {
    static constexpr const char* kName = "MoveSelection";
    static constexpr PacketId kPackets[] = {PacketId::MoveSelection};
    static constexpr UndoKind kUndo[] = {UndoKind::MoveSelection};
    static constexpr uint8_t kHints = kSelectionHints;

    int32_t dx = 0, dy = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MoveSelectionOp> Replayed(OpContext& c, PacketId id, const SelectionValuesPayload& p);
};

// A mask of the layer's density or transparency after the current mask
// (kind 54); with combine and a selection, added to a copy of it.
struct MaskFromLayerOp {
    static constexpr const char* kName = "MaskFromLayer";
    static constexpr PacketId kPackets[] = {PacketId::MaskFromLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::MaskFromLayer};
    static constexpr uint8_t kHints = kSelectionHints;
    static constexpr bool kBusy = true;

    int32_t layer = 0;
    bool transparency = false, combine = false;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MaskFromLayerOp> Replayed(OpContext& c, PacketId id, const SelectionValuesPayload& p);

    std::unique_ptr<CMaskData> mask{};
};

// Bit 0: the selection border is shown; bit 1: the selection is used.
struct SelectionFlagsOp {
    static constexpr const char* kName = "SelectionFlags";
    static constexpr PacketId kPackets[] = {PacketId::ShowSelectionBorder, PacketId::UseSelection};
    static constexpr UndoKind kUndo[] = {UndoKind::SelectionDisplay};
    static constexpr uint8_t kHints = kSelectionHints;

    bool border = true;
    bool on = true;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SelectionFlagsOp> Replayed(OpContext& c, PacketId id, const SelectionValuesPayload& p);
};

// The layer's alpha becomes the selection: 0 everywhere, then the mask's
// byte where the mask covers the layer; colours stay (kind 16).
struct MaskIntoAlphaOp {
    static constexpr const char* kName = "MaskIntoAlpha";
    static constexpr PacketId kPackets[] = {PacketId::SelectionToAlpha};
    static constexpr UndoKind kUndo[] = {UndoKind::AlphaPlane};
    static constexpr uint8_t kHints = changehint::kLayerPixels;
    static constexpr bool kBusy = true;

    int32_t index = 0;

    Verdict Check(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<MaskIntoAlphaOp> Replayed(OpContext& c, PacketId id, const SelectionCommandPayload& p);
};

// A rectangle, ellipse or polygon (free-form) rasterised at full coverage
// over the current layer (layer coordinates) and combined into the current
// mask; sets both selection flags (kind 56).
enum class SelectionShape : uint8_t { Rectangle, Ellipse, EllipseEarlier, Polygon };

struct SelectShapeOp {
    static constexpr const char* kName = "SelectShape";
    static constexpr PacketId kPackets[] = {PacketId::SelectRectangle, PacketId::SelectEllipseOld,
                                            PacketId::SelectPolygon, PacketId::SelectEllipse};
    static constexpr UndoKind kUndo[] = {UndoKind::MaskPixels};
    static constexpr uint8_t kHints = kSelectionHints;
    static constexpr bool kBusy = true;
    // What one polygon packet can carry.
    static constexpr size_t kMaxPoints = 65535;

    SelectionShape shape = SelectionShape::Rectangle;
    std::vector<PointF> points{};
    CombineMode mode = CombineMode::Replace;
    // The earlier ellipse form is drawn with the current geometry.
    bool newGeometry = true;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SelectShapeOp> Replayed(OpContext& c, PacketId id, const SelectionShapePayload& p);
    static std::optional<SelectShapeOp> Replayed(OpContext& c, PacketId id, const SelectionPolygonPayload& p);

    std::unique_ptr<CMaskData> next{};
};

// The colour range's coverage replaces the current mask at the source's
// position (kind 56). Live it is computed from the source; a replay takes
// it from the stream with the settings record before it.
struct ColourRangeOp {
    static constexpr const char* kName = "ColourRange";
    static constexpr PacketId kPackets[] = {PacketId::ColourRangeSelection};
    static constexpr UndoKind kUndo[] = {UndoKind::MaskPixels};
    static constexpr uint8_t kHints = kSelectionHints;
    static constexpr bool kBusy = true;

    SColourRange range{};
    // Set by a replay: the coverage is the stream's.
    bool fromStream = false;
    SCoverage coverage{};

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    bool Record(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<ColourRangeOp> Replayed(OpContext& c, PacketId id, const PixelBlockPayload& p);

    std::unique_ptr<CMaskData> next{};
};

} // namespace morvane
