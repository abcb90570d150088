#pragma once
// Operations on the whole picture: a new picture and the paper colour
// (TPaper.cpp); crop, canvas size and image size, which replace the layer
// stack whole (TPaperStack.cpp).
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/PaperOperation.h"
#include "events/EventPackets.h"

namespace morvane {

class CMaskMngr;

// An empty picture of width x height whose first layer has a store of
// layerWidth x layerHeight. The picture is made before its packet: the
// packet only records a canvas that exists, and a refused packet leaves the
// new picture standing (its recording stops with the user told).
struct NewPictureOp {
    static constexpr const char* kName = "NewPicture";
    static constexpr PacketId kPackets[] = {PacketId::NewCanvasOld, PacketId::NewCanvas};
    // It pushes no record: a new picture starts a history.
    static constexpr std::array<UndoKind, 0> kUndo{};
    static constexpr uint8_t kHints = kWholePictureHints;
    static constexpr bool kBusy = true;

    std::string name{};
    bool layerTransparent = false, transparentPaper = false;
    int32_t resolution = 0, layerWidth = 0, layerHeight = 0, width = 0, height = 0;

    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    bool Record(OpContext& c);
    bool Apply(OpContext&, CUndoData*) { return true; }
    void Refresh(OpContext& c);
    static std::optional<NewPictureOp> Replayed(OpContext& c, PacketId id, const NewCanvasOldPayload& p);
    static std::optional<NewPictureOp> Replayed(OpContext& c, PacketId id, const NewCanvasPayload& p);
};

struct SetPaperColourOp {
    static constexpr const char* kName = "SetPaperColour";
    static constexpr PacketId kPackets[] = {PacketId::CanvasColour};
    static constexpr UndoKind kUndo[] = {UndoKind::CanvasColour};
    static constexpr uint8_t kHints = changehint::kLayerPixels;

    uint32_t colour = 0;

    Verdict Check(OpContext&) { return Verdict::Go; }
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<SetPaperColourOp> Replayed(OpContext& c, PacketId id, const CanvasColourPayload& p);
};

// One layer of a new stack: its store size and where the picture lies in it.
struct SLayerPlan {
    int64_t width = 0, height = 0;
    int32_t originX = 0, originY = 0;
};

// How a whole-stack change remakes each layer.
struct SStackChange {
    int32_t width = 0, height = 0; // the new picture
    bool keepAttributes = false;
    UndoKind kind = UndoKind::Crop;
    Point shift;
    std::vector<uint8_t> packet{};
    // Crop cannot go on without its history: it fails with this word. The
    // sizes (nullptr) ask to go on without one instead.
    const char* failedWord = nullptr;
    const char* progressTitle = nullptr;
    std::function<SLayerPlan(const CLayerData& old)> plan;
    std::function<bool(const CLayerData& old, CBlockVMTC& store)> fill;
};

// Crop, canvas and image size: every layer is remade before anything is
// recorded; the new stack is swapped in and the old one goes into the
// history, or, without a history, the new layers replace the old ones in
// place.
struct StackChangeOp {
    SStackChange change;
    std::vector<SLayerPlan> plans{};
    std::unique_ptr<CLayerMngr> stack{};
    // The resampled masks of an image size.
    std::unique_ptr<CMaskMngr> masks{};
    bool inPlace = false;

    StackChangeOp();
    StackChangeOp(StackChangeOp&&) noexcept;
    ~StackChangeOp();
    Verdict CheckPlans(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext&) const { return change.packet; }
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
};

// The picture becomes rect (picture coordinates); layer is the current
// layer the event names.
struct CropOp : StackChangeOp {
    static constexpr const char* kName = "Crop";
    static constexpr PacketId kPackets[] = {PacketId::Crop};
    static constexpr UndoKind kUndo[] = {UndoKind::Crop};
    static constexpr uint8_t kHints = kWholePictureHints;
    static constexpr bool kBusy = true;

    int32_t layer = 0;
    EdgeRect rect{};

    CropOp(int32_t l, const EdgeRect& r);
    Verdict Check(OpContext& c);
    static std::optional<CropOp> Replayed(OpContext& c, PacketId id, const CropPayload& p);

private:
    EdgeRect clipped_{};
};

// Anchor 0-8 places the old picture in the new one; others act as 0.
struct SetCanvasSizeOp : StackChangeOp {
    static constexpr const char* kName = "SetCanvasSize";
    static constexpr PacketId kPackets[] = {PacketId::CanvasSize};
    static constexpr UndoKind kUndo[] = {UndoKind::CanvasSize};
    static constexpr uint8_t kHints = kWholePictureHints;
    static constexpr bool kBusy = true;

    int32_t width = 0, height = 0, anchor = 0;
    bool keepAttributes = false;

    SetCanvasSizeOp(int32_t w, int32_t h, bool keep, int32_t a);
    Verdict Check(OpContext& c);
    static std::optional<SetCanvasSizeOp> Replayed(OpContext& c, PacketId id, const CanvasSizePayload& p);

private:
    EdgeRect canvas_{};
};

// Every layer resampled by the area-averaging resampler.
struct SetImageSizeOp : StackChangeOp {
    static constexpr const char* kName = "SetImageSize";
    static constexpr PacketId kPackets[] = {PacketId::ResampleOld, PacketId::Resolution};
    static constexpr UndoKind kUndo[] = {UndoKind::ImageSize};
    static constexpr uint8_t kHints = kWholePictureHints;
    static constexpr bool kBusy = true;

    int32_t width = 0, height = 0;
    bool keepAttributes = false;

    SetImageSizeOp(int32_t w, int32_t h, bool keep);
    Verdict Check(OpContext& c);
    static std::optional<SetImageSizeOp> Replayed(OpContext& c, PacketId id, const ResamplePayload& p);
};

} // namespace morvane
