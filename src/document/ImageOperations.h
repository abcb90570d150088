#pragma once
// Image blocks: a 32-bit image with its pixels pasted into a layer or as a
// new layer, with an optional placement record (the layer head of a file)
// that gives the layer its attributes. A document read from a file records
// its layers this way; the user's paste commands come with the clipboard.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/CLayerData.h"
#include "document/PaperOperation.h"
#include "events/EventPackets.h"

namespace morvane {

class CBlockVMTC;
class TMTC;

struct PasteImageOp {
    static constexpr const char* kName = "PasteImage";
    static constexpr PacketId kPackets[] = {PacketId::PasteAsLayer, PacketId::PasteIntoLayer};
    // A new layer goes out again on undo; a paste into a layer here only
    // starts a picture, which has no history.
    static constexpr UndoKind kUndo[] = {UndoKind::ImageAsLayer};
    static constexpr uint8_t kHints = kStackHints;
    static constexpr bool kBusy = true;

    bool asNewLayer = false;
    std::shared_ptr<const ImageBlockPayload> image{};
    // A new layer, built whole before the packet goes out, and its place.
    std::unique_ptr<CLayerData> layer{};
    int32_t at = 0;

    // A new layer goes above the current one and becomes current; pasting
    // into a layer of another store size first makes one of the image's
    // size at its place, with its attributes.
    Verdict Check(OpContext& c);
    bool Prepare(OpContext& c);
    std::vector<uint8_t> Packet(OpContext& c) const;
    HistoryRecord History(OpContext& c);
    bool Apply(OpContext& c, CUndoData* record);
    void Refresh(OpContext& c);
    static std::optional<PasteImageOp> Replayed(OpContext& c, PacketId id, const ImageBlockPayload& p);
    // The placement record's attributes onto the layer.
    void Place(CLayerData& target, const TPaper& paper) const;
};

// The image packet of a layer's whole store with its head as placement and
// its name: what a snapshot records.
ImageBlockPayload ImageBlockOfLayer(const CLayerData& layer, bool asNewLayer, int32_t index);
// The packet of an image (rows top-down) with the name of the file it came
// from; the name is cut to what the packet's field can hold.
ImageBlockPayload ImageBlockOfImage(const TMTC& image, bool asNewLayer, int32_t index, const std::string& fileName);
// The store's pixels, rows top-down; and back (blocks of one value take no
// memory). False when a block cannot get memory.
std::vector<uint8_t> StoreRows(const CBlockVMTC& store);
bool FillStoreFromRows(CBlockVMTC& store, const uint8_t* rows);

} // namespace morvane
