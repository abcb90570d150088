#pragma once
// Compositing that keeps transparency (transparent paper and merges): the
// target's alpha is a coverage too, and the result's alpha is the union of
// both. Closed forms serve the common pairs of modes; the general over
// operation serves every other mode.
#include <cstdint>
#include <vector>

namespace morvane {

enum class OverForm : uint8_t {
    General,     // the layer mode's own function, see GeneralOverPixel
    NormalOver,
    MultiplyOver,
    WeightedOver,
    ScreenOver,
    DifferenceOver,
    DarkenOver,
    LightenOver,
};

// Per-pixel forms: t the target pixel, s the layer pixel, o the opacity.
uint32_t NormalOverPixel(uint32_t t, uint32_t s, uint8_t o);
uint32_t MultiplyOverPixel(uint32_t t, uint32_t s, uint8_t o);
uint32_t WeightedOverPixel(uint32_t t, uint32_t s, uint8_t o);
uint32_t ScreenOverPixel(uint32_t t, uint32_t s, uint8_t o);
uint32_t DifferenceOverPixel(uint32_t t, uint32_t s, uint8_t o);
uint32_t DarkenOverPixel(uint32_t t, uint32_t s, uint8_t o);
uint32_t LightenOverPixel(uint32_t t, uint32_t s, uint8_t o);

// The general over operation for a layer of mode `layerMode`, with
// sa = alpha(s) * o / 255 and the union alpha ra = ta + sa - ta * sa / 255:
// the mode's result F(t, s) is mixed with the source colour by the target's
// alpha, s' = ((255 - ta) * s + ta * F) / 255, and s' goes over t:
// c = (t * (ta - ta * sa / 255) + s' * sa) / ra. Modes 0, 1, 2 and 18, whose
// function takes the alpha itself, use their opaque result G = fn(t, s, sa)
// instead: c = (255 * ta * G + (255 - ta) * sa * s) / (255 * ra). Both equal
// the opaque composite when ta = 255 and give s' = s where the target is
// empty. t unchanged for a mode outside 0..21.
uint32_t GeneralOverPixel(int layerMode, uint32_t t, uint32_t s, uint8_t o);

// The closed form of a (target mode, layer mode) pair; method 1, 2 or 3 lets
// the lookup see the first 2, 4 or all 6 rows of the pair table (the
// transparent paper passes 3). General when no row applies.
OverForm PairForm(int targetMode, int layerMode, int method);
// The merge function of an upper layer's mode for merge-down method 0.
OverForm MergeDownForm(int upperMode);

// One pixel by the given form (layerMode matters for General only).
uint32_t OverPixel(OverForm form, int layerMode, uint32_t t, uint32_t s, uint8_t o);

using OverRowFn = void (*)(uint32_t* dst, const uint32_t* src, int n, uint8_t opacity);
using OverColourRowFn = void (*)(uint32_t* dst, uint32_t colour, int n, uint8_t opacity);
// Row kernels of a form; nullptr when the form is General and the mode lies
// outside 0..21.
OverRowFn OverRowKernel(OverForm form, int layerMode);
OverColourRowFn OverColourRowKernel(OverForm form, int layerMode);
// Normal-over from a separate target row: dst[i] = NormalOverPixel(under[i],
// src[i], opacity); dst may be under. A merge writes its new block this way
// instead of copying the lower block in first.
using OverFromRowFn = void (*)(uint32_t* dst, const uint32_t* under, const uint32_t* src, int n, uint8_t opacity);
// The fastest form this processor runs (the in-place normal-over row kernel
// is the same one).
OverFromRowFn NormalOverFromKernel();
// Every form this processor runs, the per-pixel loop first; each equals
// NormalOverPixel bit for bit.
std::vector<OverFromRowFn> NormalOverFromVariants();

} // namespace morvane
