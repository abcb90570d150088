#pragma once
// A 32-bit buffer: bytes blue, green, red, alpha; colour and alpha are
// independent (not premultiplied). TMTC rows are top-down.
#include "storage/CDibCore.h"

namespace morvane {

class TChannel;

// A per-pixel operation: fn(pixel, colour, param).
using PixelFn = void (*)(uint32_t* pixel, uint32_t colour, int32_t param);

namespace pixelfn {
void Store(uint32_t* pixel, uint32_t colour, int32_t param);  // pixel := colour
void Blend(uint32_t* pixel, uint32_t colour, int32_t alpha);  // colour blend at alpha, alpha byte kept
void BlendFast(uint32_t* pixel, uint32_t colour, int32_t alpha);
void Xor(uint32_t* pixel, uint32_t colour, int32_t param);
} // namespace pixelfn

// A compositing step: fn(target pixel, source pixel, opacity).
using CompositeFn = void (*)(uint32_t* target, uint32_t source, uint32_t opacity);

// A blend mode as the general "over" step sees it. The work colour holds three
// colour values (blue, green, red); the destination function is applied with
// the target pixel and its alpha, then the source function with the source
// pixel and its effective alpha.
struct OverMode {
    using Fn = void (*)(int32_t work[3], uint32_t pixel, uint32_t alpha);
    uint32_t baseColour = 0;
    uint32_t flags = 0;
    Fn dest = nullptr;
    Fn source = nullptr;

    static constexpr uint32_t kSkipTransparent = 0x40;
    static constexpr uint32_t kStartFromSource = 0x08;
};

// The general "over" of one source pixel s at opacity o onto target t.
void OverPixel(uint32_t* t, uint32_t s, uint32_t o, const OverMode& mode);

struct SumsRGB {
    int64_t red = 0, green = 0, blue = 0;
};

class TMTC : public CDibCore {
public:
    TMTC() { Init(); }
    TMTC(int32_t width, int32_t height);
    explicit TMTC(Point size) : TMTC(size.x, size.y) {}
    TMTC(const TMTC& other);
    TMTC& operator=(const TMTC&) = delete;
    ~TMTC() override { Release(); }

    bool Resize(int32_t width, int32_t height) override;
    int64_t ByteSize() const override { return 4 * int64_t(Width) * Height; }
    int BytesPerPixel() const override { return 4; }
    int64_t RowStep() const override { return Width; }

    uint32_t* Row(int32_t y) { return reinterpret_cast<uint32_t*>(Bits + RowOffsets[y]); }
    const uint32_t* Row(int32_t y) const { return reinterpret_cast<const uint32_t*>(Bits + RowOffsets[y]); }
    uint32_t* PixelPtr(int32_t x, int32_t y) { return Row(y) + x; }
    const uint32_t* PixelPtr(int32_t x, int32_t y) const { return Row(y) + x; }

    uint32_t GetPixel(int32_t x, int32_t y) const { return *PixelPtr(x, y); }
    uint32_t GetPixelClamped(int32_t x, int32_t y) const;
    void BlendPixel(int32_t x, int32_t y, uint8_t alpha, uint32_t colour);
    void BlendPixelFast(int32_t x, int32_t y, uint8_t alpha, uint32_t colour);
    void SumRGB(int32_t x, int32_t y, SumsRGB& sums) const;

    void FillAll(uint32_t pixel);
    void FillAllColour(uint32_t systemColour);
    bool FillRect(const ExtentRect& rect, uint32_t pixel);
    bool SetMasked(const ExtentRect& rect, uint32_t mask, uint32_t value);
    bool SetAlpha(const ExtentRect& rect, uint8_t alpha);
    void SetAlphaAll(uint8_t alpha);
    void OrAll(uint32_t value);
    bool OrRect(const ExtentRect& rect, uint32_t value);
    bool XorRect(const ExtentRect& rect, uint32_t value);
    bool ApplyRect(const ExtentRect& rect, uint32_t colour, PixelFn fn, int32_t param);
    bool BlendRect(const ExtentRect& rect, uint8_t alpha, uint32_t colour);

    bool CopyFrom(const TMTC& source, Point at, const ExtentRect& rect);
    // Copies the whole picture; both buffers must have the same size.
    bool CopyAll(const TMTC& source);
    bool FromChannel(const TChannel& channel, Point at, const ExtentRect& rect);
    bool BlendFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect);
    bool MultiplyFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect);
    bool AddFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect);
    bool SubtractFrom(const TMTC& source, Point at, uint8_t opacity, const ExtentRect& rect);
    bool CompositeFrom(const TMTC& source, Point at, const ExtentRect& rect, CompositeFn fn,
                       uint8_t opacity, uint8_t alphaOpacity);
    // The same walk with one constant source colour over the region.
    bool CompositeColour(uint32_t colour, const ExtentRect& rect, CompositeFn fn, uint8_t opacity,
                         uint8_t alphaOpacity);
    bool CompositeOver(const TMTC& source, Point at, const ExtentRect& rect, const OverMode& mode,
                       uint8_t opacity, uint8_t alphaOpacity);

    bool FlipVertical(const ExtentRect& rect);
    bool FlipHorizontal(const ExtentRect& rect);
    bool Rotate180(const ExtentRect& rect);
    bool OverChecker(const ExtentRect& rect, int32_t cellW, int32_t cellH, uint32_t colourA,
                     uint32_t colourB, Point origin);
    bool OverColour(const ExtentRect& rect, uint32_t colour);

    // Resampling (the resampling source).
    // Nearest-neighbour stretch of the source rectangle onto the target
    // rectangle of this buffer, each clipped to its own buffer first.
    bool StretchNearest(const TMTC& source, const ExtentRect& sourceRect, const ExtentRect& targetRect);
    // Scales the whole source into the whole of this buffer, 4 x 4 samples a pixel.
    bool ShrinkBox4(const TMTC& source);
    // Box-averages this buffer into the region of target; the sizes set the scale.
    bool ShrinkArea(TMTC& target, const ExtentRect& region) const;
    // Fills the region with the source turned by angleDegrees and scaled by
    // factor (source pixels per target pixel) about this buffer's centre, which
    // shows the source point (centreX, centreY); nearest samples, background
    // outside the source. Non-finite parameters give background only (false).
    bool RotateSample(const TMTC& source, float centreX, float centreY, float factor, float angleDegrees,
                      const ExtentRect& rect, uint32_t background);

    // Drawing primitives (the drawing source).
    // Visits max(|dx|, |dy|) + 1 points (integer division) with the parameter
    // stepped from p0 to p1; ends beyond 2^20 pixels of the buffer draw nothing.
    void DrawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, PixelFn fn, uint32_t colour,
                  int32_t p0, int32_t p1);
    // One pixel a step of the major axis at full strength, or, when wide, two
    // across the minor axis weighted by its fraction; colour blend.
    void DrawLineAA(uint32_t colour, bool wide, double x0, double y0, double x1, double y1);
    // The rectangle's rim, each pixel visited once.
    void FrameRect(const ExtentRect& rect, PixelFn fn, uint32_t colour, int32_t param);
    // Cells of cell.x x cell.y counted from the region's corner, colourB
    // first; false for an empty region or cell.
    bool FillChecker(const ExtentRect& rect, Point cell, uint32_t colourA, uint32_t colourB);
    // Discs through the colour blend at opacity 0..1, 4 x 4 samples a pixel;
    // nothing for r <= 0, non-finite input or a centre or radius beyond 2^20
    // pixels of the buffer. Without antialias every touched pixel gets the
    // full opacity. The falloff form fades the opacity towards the rim when
    // r >= 3 (smaller discs are plain).
    void StampDisc(double cx, double cy, double r, uint32_t colour, double opacity, bool antialias);
    void StampDiscFalloff(double cx, double cy, double r, uint32_t colour, double opacity,
                          bool antialias = true);

protected:
    bool ResizeLayout(int32_t width, int32_t height, bool topDown, const char* failureLine);
};

// A TMTC whose rows are bottom-up, as screen bitmaps are; the desktop program
// wraps its block as an image without copying. A requested side of 0 gives 1.
class TTC : public TMTC {
public:
    TTC() = default;
    TTC(int32_t width, int32_t height);
    TTC(const TTC& other);
    TTC& operator=(const TTC&) = delete;

    bool Resize(int32_t width, int32_t height) override;
    int64_t RowStep() const override { return -int64_t(Width); }
};

} // namespace morvane
