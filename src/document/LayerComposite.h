#pragma once
// Compositing a stack of layers: onto the opaque composite the screen shows,
// onto a composite that keeps transparency, and the merges that fold layers
// into one. Link groups scale a layer's opacity by the layers it is linked
// to, in every one of these, so a merge looks like what it replaced.
#include <cstdint>
#include <memory>

#include "document/CLayerMngr.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

// The oldest engine generation knows three layer kinds (multiply, add,
// subtract at the layer's opacity) and blends every other kind normally.
enum class EngineGeneration { Oldest, Current };

// Layer i's opacity scaled (MulDiv255, in turn) by the opacity of each layer
// it is linked to: for each level below its own, the nearest layer beneath
// of that level. 0 for a hidden layer.
uint8_t EffectiveOpacity(const CLayerMngr& stack, int32_t i);

// The opaque-composite kernels of a mode (current generation); empty for an
// unknown mode.
SCompositeRows OpaqueRows(int mode);
// The merge kernels of a layer of layerMode into a target of targetMode:
// method 0 the layer mode's merge function, 1-3 the pair table limited by
// the method (or the general over operation).
SCompositeRows MergeRows(int targetMode, int layerMode, int method);

// Whether dither leaves out picture point (x, y) of a layer pixel of alpha a.
bool DitherLeavesOut(const CLayerData& layer, int32_t x, int32_t y, uint8_t alpha);

// A layer whose pixels live in another buffer for a while: the wet paint of
// a running stroke, in the layer's store coordinates.
struct SWetLayer {
    int32_t index = -1;
    const TMTC* image = nullptr;
};

// Composites the picture rectangle rect of every visible layer, bottom up,
// onto target (picture coordinates; its alpha is never changed); the wet
// layer, when given, is taken from its buffer instead of its store.
bool CompositeStack(const CLayerMngr& stack, TMTC& target, const ExtentRect& rect,
                    EngineGeneration generation = EngineGeneration::Current, const SWetLayer& wet = {});
// The same onto a composite that keeps transparency (the transparent paper,
// a target of mode normal).
bool CompositeStackOver(const CLayerMngr& stack, TMTC& target, const ExtentRect& rect, const SWetLayer& wet = {});

// Composites the whole store of `layer` at opacity into the store of
// `target` (both placed by their origins): method < 0 by the opaque-composite
// arithmetic, otherwise by MergeRows with target's mode. False when a block
// could not get memory.
bool MergeLayerInto(const CLayerData& layer, uint8_t opacity, CLayerData& target, int32_t method);

// Merge visible: the visible layers fold into one new layer of mode normal
// that takes the bottom layer's place; method < 0 for the opaque arithmetic
// (the result made opaque), else a merge method 0-3. The layers that leave
// (the old bottom first, then the visible ones above it, in order) go to
// `removed`. Refused (false, nothing changed) unless at least two layers are
// visible and the bottom one is among them; without a method the bottom mode
// must not be add or subtract, and with backgroundOnly it must be multiply or
// normal. Memory exhaustion tells the user and changes nothing.
bool MergeVisible(CLayerMngr& stack, int32_t method, bool backgroundOnly, CLayerMngr& removed);

} // namespace morvane
