#pragma once
// Transforms of one layer or of the whole picture: flips, inverts and
// rotations by 180 degrees made in place (TPaperTransform.cpp); rotations by
// 90 degrees or any angle and scaling, which replace the layer by a
// transformed copy (TPaperLayerTransform.cpp).
#include <memory>
#include <optional>
#include <vector>

#include "document/PaperOperation.h"
#include "events/EventPackets.h"
#include "storage/Rect.h"
#include "storage/TMTC.h"

namespace morvane {

// Commands 7 flip horizontally, 8 flip vertically, 9 invert colours,
// 10 rotate 180 degrees, 11 invert opacity, on the layer's whole store. The
// command is its own inverse: it is made first and made again when its
// packet cannot be kept.
struct LayerCommandOp {
    static constexpr const char* kName = "LayerCommand";
    static constexpr PacketId kPackets[] = {PacketId::InvertAlpha, PacketId::FlipLayerH, PacketId::FlipLayerV,
                                            PacketId::RotateLayer180, PacketId::InvertLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::FlipH, UndoKind::FlipV, UndoKind::Invert, UndoKind::Rotate180,
                                         UndoKind::InvertAlpha};
    static constexpr uint8_t kHints = changehint::kLayerPixels;

    int32_t index = 0;
    int command = 7;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<LayerCommandOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);
};

// Commands 7-10 inside the bounding rectangle of a mask's selected pixels:
// the rectangle's pixels are transformed in a copy that goes back into the
// layer through the mask (keeping the layer's alpha while it is protected).
// The document falls back to the plain command when the mask selects
// nothing.
struct LayerCommandMaskedOp {
    static constexpr const char* kName = "LayerCommandMasked";
    static constexpr PacketId kPackets[] = {PacketId::MaskedFlipH, PacketId::MaskedFlipV,
                                            PacketId::MaskedRotate180, PacketId::MaskedInvert};
    static constexpr UndoKind kUndo[] = {UndoKind::Fill};
    static constexpr uint8_t kHints = changehint::kLayerPixels;

    int32_t index = 0;
    int command = 7;
    int32_t mask = -1;
    // Set by a replay: the stream's protect flag, not the layer's.
    std::optional<bool> keepAlpha{};

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<LayerCommandMaskedOp> Replayed(OpContext& c, PacketId id,
                                                        const SelectionTransformPayload& p);

    // The rectangle in store coordinates and its pixels after the command.
    EdgeRect rect{};
    std::unique_ptr<TMTC> patch{};
};

// A transform of every layer, or of the visible ones.
struct TransformPictureOp {
    static constexpr const char* kName = "TransformPicture";
    static constexpr PacketId kPackets[] = {PacketId::VisibleFlipH, PacketId::VisibleFlipV,
                                            PacketId::VisibleRotate180, PacketId::VisibleInvert,
                                            PacketId::FlipAllH, PacketId::FlipAllV,
                                            PacketId::RotateAll180, PacketId::InvertAll};
    static constexpr UndoKind kUndo[] = {UndoKind::FlipAllH, UndoKind::FlipAllV, UndoKind::InvertAll,
                                         UndoKind::RotateAll180};
    static constexpr uint8_t kHints = changehint::kLayerPixels;
    static constexpr bool kBusy = true;

    int command = 7;
    bool allLayers = true;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<TransformPictureOp> Replayed(OpContext& c, PacketId id, const EmptyPayload& p);

    std::vector<int32_t> done{};
};

// Every store is rotated into a new one first; only when all of them exist
// are they swapped in, so a failure leaves the picture as it was.
struct RotatePicture90Op {
    static constexpr const char* kName = "RotatePicture90";
    static constexpr PacketId kPackets[] = {PacketId::RotateCanvasRight, PacketId::RotateCanvasLeft};
    static constexpr UndoKind kUndo[] = {UndoKind::RotateCanvas90};
    static constexpr uint8_t kHints = kWholePictureHints;
    static constexpr bool kBusy = true;

    bool clockwise = true;

    Verdict Check(OpContext&) { return Verdict::Go; }
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    void Revert(OpContext& c);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext&, CUndoData*) { return true; }
    void Refresh(OpContext& c);
    static std::optional<RotatePicture90Op> Replayed(OpContext& c, PacketId id, const EmptyPayload& p);
};

// One layer replaced by a transformed copy of itself (undo kind 36): the
// copy is made whole before anything is recorded or touched, and the former
// layer moves into the history.
struct ReplaceLayerOp {
    int32_t index = 0;
    std::unique_ptr<CLayerData> replacement{};

    ReplaceLayerOp();
    ReplaceLayerOp(ReplaceLayerOp&&) noexcept;
    ~ReplaceLayerOp();
    Verdict CheckLayer(OpContext& c, bool valid);
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
};

struct RotateLayer90Op : ReplaceLayerOp {
    static constexpr const char* kName = "RotateLayer90";
    static constexpr PacketId kPackets[] = {PacketId::RotateLayerRight, PacketId::RotateLayerLeft};
    static constexpr UndoKind kUndo[] = {UndoKind::ReplaceLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    bool clockwise = true;

    RotateLayer90Op(int32_t i, bool cw);
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    static std::optional<RotateLayer90Op> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);
};

// Rotated about the picture's centre by degrees (clockwise on screen).
struct RotateLayerFreeOp : ReplaceLayerOp {
    static constexpr const char* kName = "RotateLayerFree";
    static constexpr PacketId kPackets[] = {PacketId::RotateLayerFree};
    static constexpr UndoKind kUndo[] = {UndoKind::ReplaceLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    float degrees = 0;

    RotateLayerFreeOp(int32_t i, float d);
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    static std::optional<RotateLayerFreeOp> Replayed(OpContext& c, PacketId id, const RotateLayerPayload& p);
};

// The layer's picture area scaled to width x height, top-left fixed.
struct ScaleLayerOp : ReplaceLayerOp {
    static constexpr const char* kName = "ScaleLayer";
    static constexpr PacketId kPackets[] = {PacketId::ScaleLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::ReplaceLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    int32_t width = 0, height = 0;

    ScaleLayerOp(int32_t i, int32_t w, int32_t h);
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    static std::optional<ScaleLayerOp> Replayed(OpContext& c, PacketId id, const ScaleLayerPayload& p);
};

// The store cut to the picture: what lies outside it is dropped.
struct TrimLayerOutsideOp : ReplaceLayerOp {
    static constexpr const char* kName = "TrimLayerOutside";
    static constexpr PacketId kPackets[] = {PacketId::TrimLayer};
    static constexpr UndoKind kUndo[] = {UndoKind::ReplaceLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    explicit TrimLayerOutsideOp(int32_t i);
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    static std::optional<TrimLayerOutsideOp> Replayed(OpContext& c, PacketId id, const LayerIndexPayload& p);
};

} // namespace morvane
