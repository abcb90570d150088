#pragma once
// Area-averaging resamplers: every destination pixel is the average of the
// source box it covers, partial source pixels weighted by the part covered.
// One walk serves every pixel kind; the descendants only say where the
// pixels lie and what an average becomes. Used for layer and mask resizing,
// thumbnails and the filters' preview panes.
#include <cstdint>

#include "storage/Rect.h"
#include "storage/TChannel.h"
#include "storage/TMTC.h"

namespace morvane {

class CBlockImage;
class CBlockVCH;
class CBlockVMTC;
struct SAreaSpan;

class CScaleImage {
public:
    virtual ~CScaleImage() = default;
    CScaleImage(const CScaleImage&) = delete;
    CScaleImage& operator=(const CScaleImage&) = delete;

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
    // What an average becomes: four bytes from four (colour), one byte from
    // one, a 16.16 coverage (a 32-bit value) or opaque grey from one byte.
    enum class Output : uint8_t { Bytes4, Byte, Coverage, Grey };

    // Pixels in memory: pixel (x, y) lies at Row(y) + (x - left) * its size,
    // rows found through a buffer's offset table or, without one, stride
    // bytes apart.
    struct Plane {
        uint8_t* bits = nullptr;
        const int64_t* rowOffsets = nullptr;
        int64_t stride = 0;
        int32_t left = 0, top = 0;

        static Plane Of(const CDibCore& image);
        uint8_t* Row(int32_t y) const
        {
            const int64_t r = y - top;
            return bits + (rowOffsets ? rowOffsets[r] : r * stride);
        }
    };

    // From a buffer in memory, or from a block store read where it lies (an
    // uncommitted block reads as its Uniform).
    CScaleImage(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, Output output, Plane source, Plane dest);
    CScaleImage(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, Output output, const CBlockImage& source,
                Plane dest);

    // The bound rectangle through band, band after band of bandRows rows
    // aligned to multiples of bandRows (the destination's block rows, so a
    // band that comes out as one value keeps whole blocks uncommitted); each
    // band is then handed to flush(top, rows). False as soon as a flush or
    // the band's memory fails.
    template <typename Flush>
    bool ResampleThroughBand(CDibCore& band, int32_t bandRows, Flush flush);

private:
    // Runs visit.template operator()<Format, Source>() for this scaler's
    // output and source kind: the walk is compiled once per pair, with no
    // call per pixel.
    template <typename Visit>
    void Dispatch(Visit visit);
    // Destination rows top ... bottom - 1 of the bound rectangle.
    void ResampleRows(int32_t top, int32_t bottom);

    Output output_;
    Plane source_;
    const CBlockImage* store_ = nullptr;
    Plane dest_;
    bool bound_ = false;
};

class CScaleImageTMTC : public CScaleImage {
public:
    CScaleImageTMTC(const TMTC& source, TMTC& dest);
};

// One byte per pixel into one byte per pixel.
class CScaleImageCH : public CScaleImage {
public:
    CScaleImageCH(const TChannel& source, TChannel& dest);
};

// A channel as coverage: each destination value is the mean byte / 255 in
// 16.16 (0 ... 65536), rows of dstW values without gaps.
class CScaleImageCH_fixp : public CScaleImage {
public:
    CScaleImageCH_fixp(const TChannel& source, int32_t* dest, int32_t dstW, int32_t dstH);
};

// Byte arrays whose rows follow each other without gaps.
class CScaleImageBYTE : public CScaleImage {
public:
    CScaleImageBYTE(const uint8_t* source, int32_t srcW, int32_t srcH, uint8_t* dest, int32_t dstW, int32_t dstH);
};

// A channel as a grey opaque image (thumbnails of layers and masks).
class CScaleImageCH2TMTC : public CScaleImage {
public:
    CScaleImageCH2TMTC(const TChannel& source, TTC& dest);
};

// One pixel of a picture at a time: the average of a box lands in Result
// (the view's area averaging below 1:1).
class CScaleImageSample : public CScaleImage {
public:
    explicit CScaleImageSample(const TMTC& source);
    uint32_t Result = 0;
};

// Store to store: the source is read block by block where it lies; the
// destination is written in bands of rows through a small buffer, so neither
// store is ever copied flat.
class CScaleLayerImage : public CScaleImage {
public:
    CScaleLayerImage(const CBlockVMTC& source, CBlockVMTC& dest);
    bool Resample() override;

private:
    CBlockVMTC& dest_;
    TMTC band_;
};

class CScaleMaskImage : public CScaleImage {
public:
    CScaleMaskImage(const CBlockVCH& source, CBlockVCH& dest);
    bool Resample() override;

private:
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
