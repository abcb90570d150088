#pragma once
// One layer: a block store of 32-bit pixels that may be larger than the
// picture, where the picture lies in it, and how it is composited. The
// layer's own undo history (documents of the oldest generation) comes with
// the undo framework.
#include <cstdint>
#include <memory>
#include <string>

#include "storage/CBlockVMTC.h"
#include "storage/TMTC.h"

namespace morvane {

// The dither generator: value := value * 134775813 + 1 (32-bit), a draw is
// low + ((high - low) * value) >> 32. Files and events store these fields.
struct SDitherSeed {
    int32_t Low = 0, High = 255;
    uint32_t Draws = 0;
    uint32_t Value = 0;
    // One draw as a function of the seed and a picture point only, so that a
    // partial redraw shows the same pattern as a full one.
    uint8_t DrawAt(int32_t x, int32_t y) const;
};

// The colour (alpha 0) that fills a new layer of the mode; white for a mode
// that does not exist.
uint32_t NewLayerColourOf(int mode);

// A deterministic seed for the n-th layer a stack creates.
uint32_t DitherSeedFor(uint32_t createdCount);

class CLayerData {
public:
    static constexpr int32_t kMaxLinkLevel = 250;

    // A new Id from the process-wide counter; not visible, opacity 255, mode 0.
    explicit CLayerData(int32_t position = 0);
    CLayerData(const CLayerData&) = delete;
    CLayerData& operator=(const CLayerData&) = delete;

    // The Id the next layer will take (the counter starts at 0).
    static int32_t PeekNextId();

    // A store of width x height filled with the mode's NewLayerColour (alpha
    // 0), origin 0, nominal size = the store size, visible, opacity 255, and
    // a thumbnail fitted into thumbW x thumbH. False (the layer left without a
    // store) for an unknown mode or when memory runs out.
    bool Setup(int32_t width, int32_t height, int mode, int32_t thumbW = 64, int32_t thumbH = 64);
    // A copy of other's store, thumbnail, attributes, origin and nominal size;
    // false (nothing changed) when memory runs out.
    bool CopyFrom(const CLayerData& other);
    // Name, Visible, Opacity, ProtectAlpha, Mode, LinkLevel, dither settings.
    void CopyAttributes(const CLayerData& other);

    bool SetMode(int mode);
    void SetLevel(int32_t level);

    // Thumbnail with the nominal aspect inside maxW x maxH, white, alpha 0.
    bool SizeThumbnail(int32_t maxW, int32_t maxH);
    // Area-averaged shrink of the picture area of the store.
    bool RefreshThumbnail();
    // Only the thumbnail pixels whose boxes meet the changed rectangle
    // (picture coordinates), each from its whole box: a whole shrink's bytes.
    bool RefreshThumbnail(const ExtentRect& changed);
    // Whether the store is the picture area itself (origin 0, nominal size):
    // then the thumbnail is the store shrunk.
    bool StoreIsPicture() const;
    void ResetThumbnail(bool transparent);

    // The store in picture coordinates.
    EdgeRect ContentBounds() const;
    bool IsLargerThanPicture() const;
    // Whether the picture lies inside the store; with apply the origin is
    // moved so that it does (as far as the store allows).
    bool ClampOrigin(bool apply);
    void Shift(int32_t dx, int32_t dy);
    // A new layer of the given store size, the old store copied in at offset,
    // origin moved by offset; same Mode and nominal size. nullptr when the
    // size is outside the store limits or memory runs out.
    std::unique_ptr<CLayerData> Resized(int32_t width, int32_t height, Point offset) const;
    // The same without the old store and thumbnail copied in: the store as a
    // new layer's, for callers that fill it themselves.
    std::unique_ptr<CLayerData> EmptyResized(int32_t width, int32_t height, Point offset) const;

    // Layer commands on the whole store: 7 flip horizontally, 8 flip
    // vertically, 9 invert colours, 10 rotate 180 degrees, 11 invert
    // opacity. The flips move the origin so the picture keeps its place in
    // the mirrored store. False (store unchanged) for another command or
    // when a block cannot get memory.
    bool ApplyCommand(int command);

    bool SetAllAlpha(uint8_t alpha);
    bool InvertAlpha();
    int64_t MemoryUsed() const;

    bool HasStore() const { return Store && Store->IsValid(); }

    int32_t Position = 0;
    int32_t Id = 0;
    std::string Name;
    int32_t OriginX = 0, OriginY = 0;
    int32_t NominalW = 0, NominalH = 0;
    bool ProtectAlpha = false;
    uint8_t Opacity = 255;
    uint8_t Mode = 0; // always a valid mode: set it through SetMode
    bool Dither = false;
    uint8_t DitherDensity = 255;
    bool Visible = false;
    SDitherSeed DitherSeed;
    int32_t LinkLevel = 0;
    std::unique_ptr<CBlockVMTC> Store;
    TMTC Thumbnail;
};

} // namespace morvane
