#include "storage/CScaleImage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "storage/CBlockVCH.h"
#include "storage/CBlockVMTC.h"
#include "storage/FixedPoint.h"
#include "storage/TChannel.h"

namespace morvane {

// An uncommitted block is read through the address of its Uniform, whose
// first byte is the low one.
static_assert(std::endian::native == std::endian::little);

namespace {
constexpr float kFixedOneF = 65536.0f;
} // namespace

// The source pixels a 16.16 interval [a0, a1) touches: first ... last - 1,
// the first and the last with the part of them that is covered. An interval
// inside one pixel has that pixel with its covered part only; counting it
// once as the left and once as the right partial pixel would give it more
// weight than the whole interval has.
struct SAreaSpan {
    int32_t first = 0, last = 0;
    float firstWeight = 1.0f, lastWeight = 1.0f;

    SAreaSpan(int64_t a0, int64_t a1)
        : first(int32_t(a0 >> 16)), last(int32_t((a1 + 0xFFFF) >> 16))
    {
        if (last - first == 1) {
            firstWeight = lastWeight = float(a1 - a0) / kFixedOneF;
            return;
        }
        firstWeight = float((int64_t(first + 1) << 16) - a0) / kFixedOneF;
        lastWeight = float(a1 - (int64_t(last - 1) << 16)) / kFixedOneF;
    }
    float Weight(int32_t k) const { return k == first ? firstWeight : k == last - 1 ? lastWeight : 1.0f; }
};

namespace {

uint8_t ClampTrunc(float v)
{
    // NaN cannot arise (the weight is never 0), but the clamp keeps the
    // conversion defined whatever the sums hold.
    if (!(v > 0.0f))
        return 0;
    return v >= 255.0f ? uint8_t(255) : uint8_t(int32_t(v));
}

// The size a scaler sees: nothing for an invalid buffer or store, so that
// Bind refuses it.
template <typename Image>
int32_t UsableWidth(const Image& image)
{
    return image.IsValid() ? image.Width : 0;
}

template <typename Image>
int32_t UsableHeight(const Image& image)
{
    return image.IsValid() ? image.Height : 0;
}

template <typename T>
const uint8_t* StorePixel(const CBlockImage& store, int32_t x, int32_t y)
{
    const SBlock& b = store.Blocks[int64_t(y >> store.BlockShift) * store.BlocksX + (x >> store.BlockShift)];
    if (!b.Committed())
        return reinterpret_cast<const uint8_t*>(&b.Uniform);
    return reinterpret_cast<const uint8_t*>(store.RowIn<T>(b, x & store.BlockMask, y & store.BlockMask));
}

} // namespace

CScaleImage::CScaleImage(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH)
    : SrcWidth(srcW), SrcHeight(srcH), DstWidth(dstW), DstHeight(dstH)
{
}

bool CScaleImage::Bind(const ExtentRect& source, const ExtentRect& dest)
{
    bound_ = false;
    EdgeRect s, d;
    if (!ClipToBuffer(source, SrcWidth, SrcHeight, s) || !ClipToBuffer(dest, DstWidth, DstHeight, d))
        return false;
    SrcRect = ToExtent(s);
    DstRect = ToExtent(d);
    StepX = div16(SrcRect.width, DstRect.width);
    StepY = div16(SrcRect.height, DstRect.height);
    bound_ = true;
    return true;
}

bool CScaleImage::Resample()
{
    if (!bound_)
        return false;
    ResampleRows(DstRect.top, DstRect.top + DstRect.height);
    return true;
}

void CScaleImage::ResampleRows(int32_t top, int32_t bottom)
{
    const int64_t left0 = int64_t(SrcRect.left) << 16, top0 = int64_t(SrcRect.top) << 16;
    for (int32_t j = top; j < bottom; ++j) {
        const int64_t y0 = top0 + int64_t(j - DstRect.top) * StepY;
        for (int32_t i = DstRect.left; i < DstRect.left + DstRect.width; ++i) {
            const int64_t x0 = left0 + int64_t(i - DstRect.left) * StepX;
            AreaSample(i, j, x0, y0, x0 + StepX, y0 + StepY);
        }
    }
}

template <typename Flush>
bool CScaleImage::ResampleInBands(int32_t bandRows, Flush flush)
{
    if (!bound_ || bandRows < 1)
        return false;
    const int32_t bottom = DstRect.top + DstRect.height;
    for (int32_t top = DstRect.top; top < bottom;) {
        // Bands follow the destination's block rows, so a band that comes
        // out as one value keeps whole blocks uncommitted.
        const int32_t next = std::min(bottom, (top / bandRows + 1) * bandRows);
        BandTop = top;
        ResampleRows(top, next);
        if (!flush(top, next - top))
            return false;
        top = next;
    }
    return true;
}

template <typename Flush>
bool CScaleImage::ResampleThroughBand(CDibCore& band, int32_t bandRows, Flush flush)
{
    if (!bound_)
        return false;
    try {
        return band.Resize(DstRect.width, bandRows) && ResampleInBands(bandRows, flush);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CScaleImage::AccumulateRow(float rowSum[4], int32_t y, const SAreaSpan& c)
{
    for (int32_t x = c.first; x < c.last; ++x) {
        const float w = c.Weight(x);
        if (w == 1.0f)
            Accumulate(rowSum, SourcePixel(x, y));
        else
            AccumulateWeighted(rowSum, SourcePixel(x, y), w);
    }
}

void CScaleImage::AreaSample(int32_t dx, int32_t dy, int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    x1 = std::min(x1, int64_t(SrcWidth) << 16);
    y1 = std::min(y1, int64_t(SrcHeight) << 16);
    if (x0 < 0 || y0 < 0 || x1 <= x0 || y1 <= y0)
        return;
    float sum[4] = {};
    uint8_t* dest = DestPixel(dx, dy);
    if ((x0 >> 16) == ((x1 - 1) >> 16) && (y0 >> 16) == ((y1 - 1) >> 16)) {
        Accumulate(sum, SourcePixel(int32_t(x0 >> 16), int32_t(y0 >> 16)));
        Finish(dest, sum, 1.0f);
        return;
    }
    const SAreaSpan columns(x0, x1), rows(y0, y1);
    for (int32_t y = rows.first; y < rows.last; ++y) {
        float rowSum[4] = {};
        AccumulateRow(rowSum, y, columns);
        const float w = rows.Weight(y);
        for (int k = 0; k < 4; ++k)
            sum[k] += rowSum[k] * w;
    }
    const float weight = (float(x1 - x0) / kFixedOneF) * (float(y1 - y0) / kFixedOneF);
    Finish(dest, sum, weight);
}

bool CScaleImage::ClippedAreaSample(int32_t dx, int32_t dy, int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min(x1, int64_t(SrcWidth) << 16);
    y1 = std::min(y1, int64_t(SrcHeight) << 16);
    if (x1 <= x0 || y1 <= y0)
        return false;
    AreaSample(dx, dy, x0, y0, x1, y1);
    return true;
}

void CScaleImage::FinishBytes4(uint8_t* dest, const float sum[4], float weight)
{
    for (int k = 0; k < 4; ++k)
        dest[k] = ClampTrunc((sum[k] + 0.01f) / weight);
}

void CScaleImage::FinishByte(uint8_t* dest, const float sum[4], float weight)
{
    // The same small lift as the 32-bit form: without it a flat mask of 200
    // comes out with specks of 199 where the float sum falls just short.
    *dest = ClampTrunc((sum[0] + 0.01f) / weight);
}

void CScaleImage::AddBytes4(float sum[4], const uint8_t* pixel)
{
    for (int k = 0; k < 4; ++k)
        sum[k] += float(pixel[k]);
}

void CScaleImage::AddBytes4Weighted(float sum[4], const uint8_t* pixel, float weight)
{
    for (int k = 0; k < 4; ++k)
        sum[k] += float(pixel[k]) * weight;
}

// ---- buffers ----

CScaleImageTMTC::CScaleImageTMTC(const TMTC& source, TMTC& dest)
    : CScaleImage32(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest)),
      source_(source), dest_(dest)
{
}

const uint8_t* CScaleImageTMTC::SourcePixel(int32_t x, int32_t y)
{
    return reinterpret_cast<const uint8_t*>(source_.PixelPtr(x, y));
}

uint8_t* CScaleImageTMTC::DestPixel(int32_t x, int32_t y)
{
    return reinterpret_cast<uint8_t*>(dest_.PixelPtr(x, y));
}

CScaleImageCH::CScaleImageCH(const TChannel& source, TChannel& dest)
    : CScaleImage8(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest)),
      source_(source), dest_(dest)
{
}

const uint8_t* CScaleImageCH::SourcePixel(int32_t x, int32_t y)
{
    return source_.PixelPtr(x, y);
}

uint8_t* CScaleImageCH::DestPixel(int32_t x, int32_t y)
{
    return dest_.PixelPtr(x, y);
}

CScaleImageCH_fixp::CScaleImageCH_fixp(const TChannel& source, int32_t* dest, int32_t dstW, int32_t dstH)
    : CScaleImage8(UsableWidth(source), UsableHeight(source), dest ? dstW : 0, dest ? dstH : 0), source_(source),
      dest_(dest)
{
}

void CScaleImageCH_fixp::Finish(uint8_t* d, const float sum[4], float w)
{
    const double coverage = std::round(double(sum[0]) / (double(w) * 255.0) * 65536.0);
    const int32_t value = std::isnan(coverage) ? 0 : int32_t(std::clamp(coverage, 0.0, 65536.0));
    std::memcpy(d, &value, sizeof value);
}

const uint8_t* CScaleImageCH_fixp::SourcePixel(int32_t x, int32_t y)
{
    return source_.PixelPtr(x, y);
}

uint8_t* CScaleImageCH_fixp::DestPixel(int32_t x, int32_t y)
{
    return reinterpret_cast<uint8_t*>(dest_ + int64_t(y) * DstWidth + x);
}

CScaleImageBYTE::CScaleImageBYTE(const uint8_t* source, int32_t srcW, int32_t srcH, uint8_t* dest, int32_t dstW,
                                 int32_t dstH)
    : CScaleImage8(source ? srcW : 0, source ? srcH : 0, dest ? dstW : 0, dest ? dstH : 0),
      source_(source), dest_(dest)
{
}

CScaleImageCH2TMTC::CScaleImageCH2TMTC(const TChannel& source, TTC& dest)
    : CScaleImage8(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest)),
      source_(source), dest_(dest)
{
}

void CScaleImageCH2TMTC::Finish(uint8_t* d, const float sum[4], float w)
{
    FinishByte(d, sum, w);
    d[1] = d[2] = d[0];
    d[3] = 255;
}

const uint8_t* CScaleImageCH2TMTC::SourcePixel(int32_t x, int32_t y)
{
    return source_.PixelPtr(x, y);
}

uint8_t* CScaleImageCH2TMTC::DestPixel(int32_t x, int32_t y)
{
    return reinterpret_cast<uint8_t*>(dest_.PixelPtr(x, y));
}

// ---- stores ----

CScaleLayerImage::CScaleLayerImage(const CBlockVMTC& source, CBlockVMTC& dest)
    : CScaleImage32(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest)),
      source_(source), dest_(dest)
{
}

bool CScaleLayerImage::Resample()
{
    return ResampleThroughBand(band_, dest_.BlockHeight, [this](int32_t top, int32_t rows) {
        return dest_.CopyIn(band_, Point{DstRect.left, top}, 255, ExtentRect{0, 0, DstRect.width, rows});
    });
}

const uint8_t* CScaleLayerImage::SourcePixel(int32_t x, int32_t y)
{
    return StorePixel<uint32_t>(source_, x, y);
}

uint8_t* CScaleLayerImage::DestPixel(int32_t x, int32_t y)
{
    return reinterpret_cast<uint8_t*>(band_.PixelPtr(x - DstRect.left, y - BandTop));
}

CScaleMaskImage::CScaleMaskImage(const CBlockVCH& source, CBlockVCH& dest)
    : CScaleImage8(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest)),
      source_(source), dest_(dest)
{
}

bool CScaleMaskImage::Resample()
{
    return ResampleThroughBand(band_, dest_.BlockHeight, [this](int32_t top, int32_t rows) {
        return dest_.CopyIn(band_, Point{DstRect.left, top}, ExtentRect{0, 0, DstRect.width, rows});
    });
}

const uint8_t* CScaleMaskImage::SourcePixel(int32_t x, int32_t y)
{
    return StorePixel<uint8_t>(source_, x, y);
}

uint8_t* CScaleMaskImage::DestPixel(int32_t x, int32_t y)
{
    return band_.PixelPtr(x - DstRect.left, y - BandTop);
}

// ---- operations ----

namespace {

ExtentRect Whole(int32_t width, int32_t height)
{
    return {0, 0, width, height};
}

bool Run(CScaleImage& scaler)
{
    return scaler.Bind(Whole(scaler.SrcWidth, scaler.SrcHeight), Whole(scaler.DstWidth, scaler.DstHeight)) &&
           scaler.Resample();
}

} // namespace

bool ScaleImageOnto(const TMTC& source, TMTC& dest, uint32_t colour)
{
    if (!dest.IsValid())
        return false;
    dest.FillAll(colour);
    CScaleImageTMTC scaler(source, dest);
    return Run(scaler);
}

bool ScaleChannelToGrey(const TChannel& source, TTC& dest)
{
    CScaleImageCH2TMTC scaler(source, dest);
    return Run(scaler);
}

bool MakeScaledCopy(const TMTC& source, int32_t width, int32_t height, TMTC& copy)
{
    if (!source.IsValid() || width < 1 || height < 1 || !copy.Resize(width, height))
        return false;
    CScaleImageTMTC scaler(source, copy);
    return Run(scaler);
}

bool ScaleLayerStore(const CBlockVMTC& source, CBlockVMTC& dest)
{
    CScaleLayerImage scaler(source, dest);
    return Run(scaler);
}

bool ScaleMaskStore(const CBlockVCH& source, CBlockVCH& dest)
{
    CScaleMaskImage scaler(source, dest);
    return Run(scaler);
}

bool ScaleRotateBytes(const uint8_t* source, int32_t srcW, int32_t srcH, uint8_t* dest, int32_t dstW,
                      int32_t dstH, double factor, double degrees, uint8_t fill)
{
    if (!source || !dest || srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1 || !std::isfinite(degrees) ||
        !std::isfinite(factor) || factor <= 0.0 || factor > double(std::max(srcW, srcH)))
        return false;
    CScaleImageBYTE scaler(source, srcW, srcH, dest, dstW, dstH);
    const double r = degrees * (3.14159265358979323846 / 180.0);
    const double c = std::cos(r) * factor, s = std::sin(r) * factor;
    const int64_t half = truncSat<int64_t>(factor * 32768.0);
    for (int32_t y = 0; y < dstH; ++y)
        for (int32_t x = 0; x < dstW; ++x) {
            // The source point under the destination pixel's centre.
            const double dx = x + 0.5 - dstW / 2.0, dy = y + 0.5 - dstH / 2.0;
            const int64_t sx = truncSat<int64_t>(std::round((srcW / 2.0 + c * dx - s * dy) * 65536.0));
            const int64_t sy = truncSat<int64_t>(std::round((srcH / 2.0 + s * dx + c * dy) * 65536.0));
            if (!scaler.ClippedAreaSample(x, y, sx - half, sy - half, sx + half, sy + half))
                dest[int64_t(y) * dstW + x] = fill;
        }
    return true;
}

} // namespace morvane
