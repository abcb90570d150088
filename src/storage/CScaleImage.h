#pragma once
// Area-averaging resamplers: every destination pixel is the average of the
// source box it covers, partial source pixels weighted by the part covered.
// One walk serves every pixel kind; the descendants say how a source pixel is
// found, added up and written back. Used for layer and mask resizing,
// thumbnails and the filters' preview panes.
#include <cstdint>

#include "storage/Rect.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

class CBlockVCH;
class CBlockVMTC;
struct SAreaSpan;

class CScaleImage {
public:
    virtual ~CScaleImage() = default;

    // Clips both rectangles to their images and sets the steps (16.16 source
    // pixels per destination pixel); false when either rectangle is empty.
    bool Bind(const ExtentRect& source, const ExtentRect& dest);
    // Fills the bound destination rectangle; false when unbound or when
    // something failed inside (memory).
    virtual bool Resample();
    // One destination pixel from the 16.16 box [x0, x1) x [y0, y1) of the
    // source. Nothing is written when the box holds no source area.
    void AreaSample(int32_t dx, int32_t dy, int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    // The same after intersecting the box with the source; false when nothing
    // of it is left.
    bool ClippedAreaSample(int32_t dx, int32_t dy, int64_t x0, int64_t y0, int64_t x1, int64_t y1);

    int32_t SrcWidth = 0, SrcHeight = 0;
    int32_t DstWidth = 0, DstHeight = 0;
    ExtentRect SrcRect, DstRect;
    int32_t StepX = 0, StepY = 0;

protected:
    CScaleImage(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH);

    // Adds the pixel's bytes with weight 1.
    virtual void Accumulate(float sum[4], const uint8_t* pixel) = 0;
    virtual void AccumulateWeighted(float sum[4], const uint8_t* pixel, float weight) = 0;
    virtual void Finish(uint8_t* dest, const float sum[4], float weight) = 0;
    virtual const uint8_t* SourcePixel(int32_t x, int32_t y) = 0;
    virtual uint8_t* DestPixel(int32_t x, int32_t y) = 0;

    // Destination rows top ... bottom - 1 of the bound rectangle.
    void ResampleRows(int32_t top, int32_t bottom);
    // The bound rectangle in bands of rows aligned to multiples of bandRows:
    // each band is resampled (BandTop set to its first row), then
    // flush(top, rows) stores it; false as soon as a flush fails.
    template <typename Flush>
    bool ResampleInBands(int32_t bandRows, Flush flush);
    // ResampleInBands through band, first sized to a band of bandRows rows.
    template <typename Flush>
    bool ResampleThroughBand(CDibCore& band, int32_t bandRows, Flush flush);

    // The byte results shared by the descendants.
    static void FinishBytes4(uint8_t* dest, const float sum[4], float weight);
    static void FinishByte(uint8_t* dest, const float sum[4], float weight);
    static void AddBytes4(float sum[4], const uint8_t* pixel);
    static void AddBytes4Weighted(float sum[4], const uint8_t* pixel, float weight);

private:
    // Adds row y, columns [x0, x1) with their column weights, into rowSum.
    void AccumulateRow(float rowSum[4], int32_t y, const SAreaSpan& columns);

    bool bound_ = false;

protected:
    int32_t BandTop = 0;
};

// 32-bit pixels into 32-bit pixels; the four bytes are averaged alike
// (colour is not weighted by alpha).
class CScaleImage32 : public CScaleImage {
protected:
    using CScaleImage::CScaleImage;
    void Accumulate(float sum[4], const uint8_t* p) override { AddBytes4(sum, p); }
    void AccumulateWeighted(float sum[4], const uint8_t* p, float w) override { AddBytes4Weighted(sum, p, w); }
    void Finish(uint8_t* d, const float sum[4], float w) override { FinishBytes4(d, sum, w); }
};

class CScaleImageTMTC : public CScaleImage32 {
public:
    CScaleImageTMTC(const TMTC& source, TMTC& dest);

protected:
    const uint8_t* SourcePixel(int32_t x, int32_t y) override;
    uint8_t* DestPixel(int32_t x, int32_t y) override;

private:
    const TMTC& source_;
    TMTC& dest_;
};

// One byte per pixel into one byte per pixel.
class CScaleImage8 : public CScaleImage {
protected:
    using CScaleImage::CScaleImage;
    void Accumulate(float sum[4], const uint8_t* p) override { sum[0] += float(*p); }
    void AccumulateWeighted(float sum[4], const uint8_t* p, float w) override { sum[0] += float(*p) * w; }
    void Finish(uint8_t* d, const float sum[4], float w) override { FinishByte(d, sum, w); }
};

class CScaleImageCH : public CScaleImage8 {
public:
    CScaleImageCH(const TChannel& source, TChannel& dest);

protected:
    const uint8_t* SourcePixel(int32_t x, int32_t y) override;
    uint8_t* DestPixel(int32_t x, int32_t y) override;

private:
    const TChannel& source_;
    TChannel& dest_;
};

// A channel as coverage: each destination value is the mean byte / 255 in
// 16.16 (0 ... 65536), rows of dstW values without gaps.
class CScaleImageCH_fixp : public CScaleImage8 {
public:
    CScaleImageCH_fixp(const TChannel& source, int32_t* dest, int32_t dstW, int32_t dstH);

protected:
    void Finish(uint8_t* d, const float sum[4], float w) override;
    const uint8_t* SourcePixel(int32_t x, int32_t y) override;
    uint8_t* DestPixel(int32_t x, int32_t y) override;

private:
    const TChannel& source_;
    int32_t* dest_;
};

// Byte arrays whose rows follow each other without gaps.
class CScaleImageBYTE : public CScaleImage8 {
public:
    CScaleImageBYTE(const uint8_t* source, int32_t srcW, int32_t srcH, uint8_t* dest, int32_t dstW, int32_t dstH);

protected:
    const uint8_t* SourcePixel(int32_t x, int32_t y) override { return source_ + int64_t(y) * SrcWidth + x; }
    uint8_t* DestPixel(int32_t x, int32_t y) override { return dest_ + int64_t(y) * DstWidth + x; }

private:
    const uint8_t* source_;
    uint8_t* dest_;
};

// A channel as a grey opaque image (thumbnails of layers and masks).
class CScaleImageCH2TMTC : public CScaleImage8 {
public:
    CScaleImageCH2TMTC(const TChannel& source, TTC& dest);

protected:
    void Finish(uint8_t* d, const float sum[4], float w) override;
    const uint8_t* SourcePixel(int32_t x, int32_t y) override;
    uint8_t* DestPixel(int32_t x, int32_t y) override;

private:
    const TChannel& source_;
    TTC& dest_;
};

// Store to store: the source is read block by block where it lies (an
// uncommitted block reads as its Uniform); the destination is written in
// bands of rows through a small buffer, so neither store is ever copied flat.
class CScaleLayerImage : public CScaleImage32 {
public:
    CScaleLayerImage(const CBlockVMTC& source, CBlockVMTC& dest);
    bool Resample() override;

protected:
    const uint8_t* SourcePixel(int32_t x, int32_t y) override;
    uint8_t* DestPixel(int32_t x, int32_t y) override;

private:
    const CBlockVMTC& source_;
    CBlockVMTC& dest_;
    TMTC band_;
};

class CScaleMaskImage : public CScaleImage8 {
public:
    CScaleMaskImage(const CBlockVCH& source, CBlockVCH& dest);
    bool Resample() override;

protected:
    const uint8_t* SourcePixel(int32_t x, int32_t y) override;
    uint8_t* DestPixel(int32_t x, int32_t y) override;

private:
    const CBlockVCH& source_;
    CBlockVCH& dest_;
    TChannel band_;
};

// ---- operations built on the resamplers ----

// dest := colour, then the whole source scaled into the whole of dest.
bool ScaleImageOnto(const TMTC& source, TMTC& dest, uint32_t colour);
// The whole channel into the whole of dest as opaque grey.
bool ScaleChannelToGrey(const TChannel& source, TTC& dest);
// copy := source scaled to width x height.
bool MakeScaledCopy(const TMTC& source, int32_t width, int32_t height, TMTC& copy);
// The whole of one store into the whole of the other (the stores' sizes set
// the scale).
bool ScaleLayerStore(const CBlockVMTC& source, CBlockVMTC& dest);
bool ScaleMaskStore(const CBlockVCH& source, CBlockVCH& dest);
// dest (dstW x dstH bytes) := source turned by degrees and scaled by factor
// (source pixels per destination pixel) about both centres; each pixel is the
// average of the factor-wide box around its source point, or fill where that
// box misses the source. False, dest untouched, for empty images or a factor
// or angle that is not finite and positive.
bool ScaleRotateBytes(const uint8_t* source, int32_t srcW, int32_t srcH, uint8_t* dest, int32_t dstW,
                      int32_t dstH, double factor, double degrees, uint8_t fill);

} // namespace morvane
