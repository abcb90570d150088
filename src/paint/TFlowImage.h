#pragma once
// The wet paint of a document window: a dense working copy of the active
// layer's store (store coordinates) that strokes paint into, and the pencil's
// coverage channel. A stroke reaches the layer only when its rectangle is
// committed at the end, so one stroke never builds up beyond its opacity.
//
// The copy is dense: a 20000 x 20000 layer costs 1.6 GB. When it cannot be
// had the load reports false and the flow image stays not loaded; rebuild
// and commit then do nothing, so no stale pixels of another layer can ever
// reach the layer.
#include <cstdint>

#include "paint/PaintHooks.h"
#include "storage/Rect.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

class CBlockVMTC;
class TStroke;

// How a pencil stroke's coverage becomes colour.
struct SPencilRebuild {
    const RowChain* chain = nullptr;
    // Set when the stroke's gradation switch is on: it gives the colours.
    const ColourSource* gradation = nullptr;
    uint32_t colour = 0;   // the stroke's main colour
    uint8_t opacity = 255; // see PencilOpacity
};

// The stroke's opacity as a byte, truncated; 255 on the oldest engine.
uint8_t PencilOpacity(const TStroke& stroke, bool oldestEngine);

// The layer a flow image copies: its index in the stack, its store and where
// the picture lies in that store.
struct SFlowLayer {
    int32_t index = -1;
    const CBlockVMTC* store = nullptr;
    Point origin;
};

class TFlowImage {
public:
    // What a resized image holds until a layer is loaded.
    static constexpr uint32_t kWhite = 0xFFFFFFFFu;

    TFlowImage() = default;
    TFlowImage(const TFlowImage&) = delete;
    TFlowImage& operator=(const TFlowImage&) = delete;

    // Makes the image hold the layer's pixels: grown when smaller than the
    // store, copied again when forced, for another layer or when not loaded.
    // Bounds and the stroke's layer index (stroke may be null) follow on
    // success. False, leaving nothing loaded, for a missing store or when
    // memory runs out. copied (optional) tells whether pixels were copied.
    bool LoadLayer(const SFlowLayer& layer, bool force, TStroke* stroke = nullptr, bool* copied = nullptr);
    // Sizes both buffers to the picture (or keeps a larger size); a new size
    // starts white with no coverage and not loaded. False, leaving nothing
    // loaded and no buffers, when memory runs out.
    bool FitToDocument(int32_t width, int32_t height, bool keepLarger);
    // The window's copy must be taken again before it is used.
    void Unload() { loaded_ = false; }

    // Pencil strokes, after every move: rect (store coordinates) of the image
    // gets the layer's pixels back, then the coverage composited over them
    // at alpha = coverage x opacity / 255. With a gradation each covered
    // pixel takes its colour and alpha from it and only the final write runs
    // (mask and tone were applied when the coverage was stamped). False,
    // nothing changed, when not loaded or rect misses the image.
    bool RebuildPencil(const ExtentRect& rect, const CBlockVMTC& store, const SPencilRebuild& how);
    // Copies rect (store coordinates) of the image into the layer's store at
    // full opacity. False, nothing written, unless the image holds that
    // layer (its index) or when rect misses the store.
    bool CommitRegion(const ExtentRect& rect, int32_t layerIndex, CBlockVMTC& store) const;
    // Zeroes the coverage in rect (pencil strokes, at their end).
    void ClearCoverage(const ExtentRect& rect);

    bool IsLoaded() const { return loaded_; }
    int32_t Layer() const { return layer_; }
    // Left, top: the layer's origin; right, bottom: the picture's size.
    const EdgeRect& Bounds() const { return bounds_; }
    TMTC& Image() { return image_; }
    const TMTC& Image() const { return image_; }
    TChannel& Coverage() { return coverage_; }
    const TChannel& Coverage() const { return coverage_; }

private:
    // Both buffers at least width x height.
    bool Holds(int32_t width, int32_t height) const;
    // Both buffers exactly width x height; false (both released) on failure.
    bool ResizeBoth(int32_t width, int32_t height);
    void Drop();

    TMTC image_;
    TChannel coverage_;
    int32_t layer_ = -1;
    bool loaded_ = false;
    EdgeRect bounds_;
    Point picture_;
};

} // namespace morvane
