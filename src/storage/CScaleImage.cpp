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

// ---- what a pixel kind adds up and writes back ----

// Four bytes averaged alike (colour is not weighted by alpha).
struct Bytes4Format {
    static constexpr int kChannels = 4, kDestBytes = 4;
    using StoreType = uint32_t;
    static void Finish(uint8_t* dest, const float sum[4], float weight)
    {
        for (int k = 0; k < 4; ++k)
            dest[k] = ClampTrunc((sum[k] + 0.01f) / weight);
    }
};

struct ByteFormat {
    static constexpr int kChannels = 1, kDestBytes = 1;
    using StoreType = uint8_t;
    static void Finish(uint8_t* dest, const float sum[4], float weight)
    {
        // The same small lift as the 32-bit form: without it a flat mask of
        // 200 comes out with specks of 199 where the float sum falls just short.
        *dest = ClampTrunc((sum[0] + 0.01f) / weight);
    }
};

// The mean byte / 255 as a 16.16 value.
struct CoverageFormat : ByteFormat {
    static constexpr int kDestBytes = 4;
    static void Finish(uint8_t* dest, const float sum[4], float weight)
    {
        const double coverage = std::round(double(sum[0]) / (double(weight) * 255.0) * 65536.0);
        const int32_t value = std::isnan(coverage) ? 0 : int32_t(std::clamp(coverage, 0.0, 65536.0));
        std::memcpy(dest, &value, sizeof value);
    }
};

struct GreyFormat : ByteFormat {
    static constexpr int kDestBytes = 4;
    static void Finish(uint8_t* dest, const float sum[4], float weight)
    {
        ByteFormat::Finish(dest, sum, weight);
        dest[1] = dest[2] = dest[0];
        dest[3] = 255;
    }
};

template <typename Format>
void Accumulate(float sum[4], const uint8_t* pixel)
{
    for (int k = 0; k < Format::kChannels; ++k)
        sum[k] += float(pixel[k]);
}

template <typename Format>
void AccumulateWeighted(float sum[4], const uint8_t* pixel, float weight)
{
    for (int k = 0; k < Format::kChannels; ++k)
        sum[k] += float(pixel[k]) * weight;
}

// ---- where the source pixels lie ----

template <typename Format, typename Plane>
struct FlatSource {
    const Plane& plane;

    struct Row {
        const uint8_t* bytes;
        int32_t left;
        const uint8_t* At(int32_t x) const { return bytes + int64_t(x - left) * Format::kChannels; }
    };
    Row At(int32_t y) const { return {plane.Row(y), plane.left}; }
};

template <typename Format>
struct StoreSource {
    const CBlockImage& store;

    struct Row {
        const CBlockImage& store;
        int32_t y;
        const uint8_t* At(int32_t x) const { return StorePixel<typename Format::StoreType>(store, x, y); }
    };
    Row At(int32_t y) const { return {store, y}; }
};

// The walk itself: one destination pixel from the 16.16 box [x0, x1) x
// [y0, y1) of a srcW x srcH source.
template <typename Format, typename Source, typename Plane>
void Sample(const Source& source, const Plane& dest, int32_t srcW, int32_t srcH, int32_t dx, int32_t dy, int64_t x0,
            int64_t y0, int64_t x1, int64_t y1)
{
    x1 = std::min(x1, int64_t(srcW) << 16);
    y1 = std::min(y1, int64_t(srcH) << 16);
    if (x0 < 0 || y0 < 0 || x1 <= x0 || y1 <= y0)
        return;
    float sum[4] = {};
    uint8_t* out = dest.Row(dy) + int64_t(dx - dest.left) * Format::kDestBytes;
    if ((x0 >> 16) == ((x1 - 1) >> 16) && (y0 >> 16) == ((y1 - 1) >> 16)) {
        Accumulate<Format>(sum, source.At(int32_t(y0 >> 16)).At(int32_t(x0 >> 16)));
        Format::Finish(out, sum, 1.0f);
        return;
    }
    const SAreaSpan columns(x0, x1), rows(y0, y1);
    for (int32_t y = rows.first; y < rows.last; ++y) {
        const auto row = source.At(y);
        float rowSum[4] = {};
        for (int32_t x = columns.first; x < columns.last; ++x) {
            const float w = columns.Weight(x);
            if (w == 1.0f)
                Accumulate<Format>(rowSum, row.At(x));
            else
                AccumulateWeighted<Format>(rowSum, row.At(x), w);
        }
        const float w = rows.Weight(y);
        for (int k = 0; k < Format::kChannels; ++k)
            sum[k] += rowSum[k] * w;
    }
    const float weight = (float(x1 - x0) / kFixedOneF) * (float(y1 - y0) / kFixedOneF);
    Format::Finish(out, sum, weight);
}

} // namespace

CScaleImage::Plane CScaleImage::Plane::Of(const CDibCore& image)
{
    // A scaler writes only into the buffer it was given as its destination.
    return {const_cast<uint8_t*>(image.Bits), image.RowOffsets};
}

CScaleImage::CScaleImage(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, Output output, Plane source,
                         Plane dest)
    : SrcWidth(srcW), SrcHeight(srcH), DstWidth(dstW), DstHeight(dstH), output_(output), source_(source),
      dest_(dest)
{
}

CScaleImage::CScaleImage(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, Output output,
                         const CBlockImage& source, Plane dest)
    : SrcWidth(srcW), SrcHeight(srcH), DstWidth(dstW), DstHeight(dstH), output_(output), store_(&source),
      dest_(dest)
{
}

template <typename Visit>
void CScaleImage::Dispatch(Visit visit)
{
    const auto from = [&]<typename Format>() {
        if (store_)
            visit.template operator()<Format>(StoreSource<Format>{*store_});
        else
            visit.template operator()<Format>(FlatSource<Format, Plane>{source_});
    };
    switch (output_) {
    case Output::Bytes4:
        return from.template operator()<Bytes4Format>();
    case Output::Byte:
        return from.template operator()<ByteFormat>();
    case Output::Coverage:
        return from.template operator()<CoverageFormat>();
    case Output::Grey:
        return from.template operator()<GreyFormat>();
    }
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
    Dispatch([&]<typename Format, typename Source>(const Source& source) {
        const int64_t left0 = int64_t(SrcRect.left) << 16, top0 = int64_t(SrcRect.top) << 16;
        for (int32_t j = top; j < bottom; ++j) {
            const int64_t y0 = top0 + int64_t(j - DstRect.top) * StepY;
            for (int32_t i = DstRect.left; i < DstRect.left + DstRect.width; ++i) {
                const int64_t x0 = left0 + int64_t(i - DstRect.left) * StepX;
                Sample<Format>(source, dest_, SrcWidth, SrcHeight, i, j, x0, y0, x0 + StepX, y0 + StepY);
            }
        }
    });
}

template <typename Flush>
bool CScaleImage::ResampleThroughBand(CDibCore& band, int32_t bandRows, Flush flush)
{
    if (!bound_ || bandRows < 1)
        return false;
    try {
        if (!band.Resize(DstRect.width, bandRows))
            return false;
        const int32_t bottom = DstRect.top + DstRect.height;
        for (int32_t top = DstRect.top; top < bottom;) {
            const int32_t next = std::min(bottom, (top / bandRows + 1) * bandRows);
            dest_ = Plane::Of(band);
            dest_.left = DstRect.left;
            dest_.top = top;
            ResampleRows(top, next);
            if (!flush(top, next - top))
                return false;
            top = next;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void CScaleImage::AreaSample(int32_t dx, int32_t dy, int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    Dispatch([&]<typename Format, typename Source>(const Source& source) {
        Sample<Format>(source, dest_, SrcWidth, SrcHeight, dx, dy, x0, y0, x1, y1);
    });
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

// ---- buffers ----

CScaleImageTMTC::CScaleImageTMTC(const TMTC& source, TMTC& dest)
    : CScaleImage(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest), Output::Bytes4,
                  Plane::Of(source), Plane::Of(dest))
{
}

CScaleImageCH::CScaleImageCH(const TChannel& source, TChannel& dest)
    : CScaleImage(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest), Output::Byte,
                  Plane::Of(source), Plane::Of(dest))
{
}

CScaleImageCH_fixp::CScaleImageCH_fixp(const TChannel& source, int32_t* dest, int32_t dstW, int32_t dstH)
    : CScaleImage(UsableWidth(source), UsableHeight(source), dest ? dstW : 0, dest ? dstH : 0, Output::Coverage,
                  Plane::Of(source), Plane{reinterpret_cast<uint8_t*>(dest), nullptr, int64_t(dstW) * 4})
{
}

CScaleImageBYTE::CScaleImageBYTE(const uint8_t* source, int32_t srcW, int32_t srcH, uint8_t* dest, int32_t dstW,
                                 int32_t dstH)
    : CScaleImage(source ? srcW : 0, source ? srcH : 0, dest ? dstW : 0, dest ? dstH : 0, Output::Byte,
                  Plane{const_cast<uint8_t*>(source), nullptr, srcW}, Plane{dest, nullptr, dstW})
{
}

CScaleImageCH2TMTC::CScaleImageCH2TMTC(const TChannel& source, TTC& dest)
    : CScaleImage(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest), Output::Grey,
                  Plane::Of(source), Plane::Of(dest))
{
}

CScaleImageSample::CScaleImageSample(const TMTC& source)
    : CScaleImage(source.Width, source.Height, 1, 1, Output::Bytes4, Plane::Of(source),
                  Plane{reinterpret_cast<uint8_t*>(&Result)})
{
}

// ---- stores ----

CScaleLayerImage::CScaleLayerImage(const CBlockVMTC& source, CBlockVMTC& dest)
    : CScaleImage(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest), Output::Bytes4,
                  source, Plane{}),
      dest_(dest)
{
}

bool CScaleLayerImage::Resample()
{
    return ResampleThroughBand(band_, dest_.BlockHeight, [this](int32_t top, int32_t rows) {
        return dest_.CopyIn(band_, Point{DstRect.left, top}, 255, ExtentRect{0, 0, DstRect.width, rows});
    });
}

CScaleMaskImage::CScaleMaskImage(const CBlockVCH& source, CBlockVCH& dest)
    : CScaleImage(UsableWidth(source), UsableHeight(source), UsableWidth(dest), UsableHeight(dest), Output::Byte,
                  source, Plane{}),
      dest_(dest)
{
}

bool CScaleMaskImage::Resample()
{
    return ResampleThroughBand(band_, dest_.BlockHeight, [this](int32_t top, int32_t rows) {
        return dest_.CopyIn(band_, Point{DstRect.left, top}, ExtentRect{0, 0, DstRect.width, rows});
    });
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
