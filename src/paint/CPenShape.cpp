#include "paint/CPenShape.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "paint/CGradeMapObj.h"
#include "paint/CPenShapeObj.h"
#include "paint/CPenShapeSupport.h"
#include "platform/MemoryBudget.h"

namespace morvane {

namespace {
// Enough for the sizes a pressure stroke passes through, small enough that
// a few large nibs do not hold on to much memory.
constexpr size_t kCacheEntries = 8;
constexpr int64_t kCacheBytes = int64_t(48) << 20;

enum NibKind { kRound = 1, kEllipse = 2, kBitmap = 3 };
} // namespace

void ReverseCopy(const int32_t* from, int64_t n, int32_t* to)
{
    int64_t i = 0;
#ifdef __SSE2__
    for (; i + 4 <= n; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 4 - i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_shuffle_epi32(v, 0x1B));
    }
#endif
    for (; i < n; ++i)
        to[i] = from[n - 1 - i];
}

void DistanceSpan(const double* xx, double yy, double scale, int32_t* distance, int32_t n)
{
    constexpr double kCap = 2.0e9;
    int32_t i = 0;
#ifdef __SSE2__
    const __m128d vyy = _mm_set1_pd(yy), vscale = _mm_set1_pd(scale), cap = _mm_set1_pd(kCap),
                  half = _mm_set1_pd(0.5);
    for (; i + 2 <= n; i += 2) {
        const __m128d d = _mm_mul_pd(_mm_sqrt_pd(_mm_add_pd(_mm_loadu_pd(xx + i), vyy)), vscale);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(distance + i),
                         _mm_cvttpd_epi32(_mm_add_pd(_mm_min_pd(d, cap), half)));
    }
#endif
    for (; i < n; ++i)
        distance[i] = int32_t(std::min(std::sqrt(xx[i] + yy) * scale, kCap) + 0.5);
}

void CoverageSpan(const double* top, const double* bottom, int64_t stride, double tf, double bf, double scale,
                  int32_t* coverage, int32_t n)
{
    int32_t i = 0;
#ifdef __SSE2__
    const __m128d t0 = _mm_set1_pd(1.0 - tf), t1 = _mm_set1_pd(tf), b0 = _mm_set1_pd(1.0 - bf),
                  b1 = _mm_set1_pd(bf), k = _mm_set1_pd(scale), zero = _mm_setzero_pd(),
                  full = _mm_set1_pd(65536.0), half = _mm_set1_pd(0.5);
    for (; i + 2 <= n; i += 2) {
        const __m128d b = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(bottom + i), b0),
                                     _mm_mul_pd(_mm_loadu_pd(bottom + i + stride), b1));
        const __m128d t =
            _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(top + i), t0), _mm_mul_pd(_mm_loadu_pd(top + i + stride), t1));
        const __m128d v = _mm_min_pd(_mm_max_pd(_mm_mul_pd(_mm_sub_pd(b, t), k), zero), full);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(coverage + i), _mm_cvttpd_epi32(_mm_add_pd(v, half)));
    }
#endif
    for (; i < n; ++i) {
        const double b = bottom[i] * (1.0 - bf) + bottom[i + stride] * bf;
        const double t = top[i] * (1.0 - tf) + top[i + stride] * tf;
        coverage[i] = int32_t(std::min(std::max((b - t) * scale, 0.0), 65536.0) + 0.5);
    }
}

void SumsToDouble(const uint32_t* sums, int32_t n, double* out)
{
    int32_t i = 0;
#ifdef __SSE2__
    // Signed conversion of v - 2^31, then 2^31 back: exact for every value.
    const __m128i flip = _mm_set1_epi32(int32_t(0x80000000u));
    const __m128d offset = _mm_set1_pd(2147483648.0);
    for (; i + 2 <= n; i += 2) {
        const __m128i v = _mm_xor_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + i)), flip);
        _mm_storeu_pd(out + i, _mm_add_pd(_mm_cvtepi32_pd(v), offset));
    }
#endif
    for (; i < n; ++i)
        out[i] = sums[i];
}

// ---- NibGrid

bool NibGrid::Allocate(int64_t samples)
{
    if (samples <= capacity_)
        return true;
    Release();
    block_ = static_cast<int32_t*>(AllocBlock(uint64_t(samples) * 3 * sizeof(int32_t)));
    if (!block_)
        return false;
    capacity_ = samples;
    return true;
}

void NibGrid::Release()
{
    FreeBlock(block_, uint64_t(capacity_) * 3 * sizeof(int32_t));
    block_ = nullptr;
    capacity_ = 0;
    distance = coverage = density = nullptr;
}

bool NibGrid::Planes()
{
    const int64_t samples = Samples();
    if (!Allocate(samples)) {
        Release();
        gridW = gridH = boxW = boxH = 0;
        return false;
    }
    distance = block_;
    coverage = block_ + samples;
    density = block_ + 2 * samples;
    return true;
}

bool NibGrid::Layout(int32_t halfExtentX, int32_t halfExtentY)
{
    const auto span = [](int32_t extent, int32_t& box, int32_t& centre) {
        const int64_t low = (int64_t{0x8000} - extent) >> 16;           // floor
        const int64_t high = (int64_t{0x8000} + extent + 0xFFFF) >> 16; // ceil
        box = int32_t(high - low);
        centre = 0x8000 + (low < 0 ? int32_t(-low) << 16 : 0);
    };
    span(halfExtentX, boxW, centreX);
    span(halfExtentY, boxH, centreY);
    oversample = CPenShape::Oversampling(std::max(boxW, boxH));
    gridW = oversample * boxW;
    gridH = oversample * boxH;
    combinedWith = 0;
    return Planes();
}

void NibGrid::MirrorColumns(int32_t row)
{
    for (int32_t* plane : {distance, coverage, density}) {
        int32_t* p = plane + int64_t(row) * gridW;
        ReverseCopy(p, gridW / 2, p + (gridW + 1) / 2);
    }
}

void NibGrid::MirrorRows(bool reversed)
{
    for (int32_t* plane : {distance, coverage, density})
        for (int32_t row = (gridH + 1) / 2; row < gridH; ++row) {
            const int32_t* from = plane + int64_t(gridH - 1 - row) * gridW;
            int32_t* to = plane + int64_t(row) * gridW;
            if (reversed)
                ReverseCopy(from, gridW, to);
            else
                std::memcpy(to, from, size_t(gridW) * sizeof(int32_t));
        }
}

bool NibGrid::LayoutExact(int32_t side, int32_t cx, int32_t cy)
{
    boxW = boxH = gridW = gridH = side;
    oversample = 1;
    centreX = cx;
    centreY = cy;
    combinedWith = 0;
    if (!Planes())
        return false;
    std::fill_n(coverage, Samples(), 0);
    return true;
}

// ---- CPenShape

CPenShape::CPenShape(const CGradeMapObj* airMap) : airMap_(airMap) {}

CPenShape::~CPenShape() = default;

void CPenShape::SetComputeCoverage(bool on)
{
    if (on != computeCoverage_ && current_ != &exact_)
        current_ = nullptr;
    computeCoverage_ = on;
}

void CPenShape::SetUseAirMap(bool on)
{
    useAirMap_ = on;
}

void CPenShape::SetUseDistance(bool on)
{
    useDistance_ = on;
}

int32_t CPenShape::QuantiseRadius(int32_t radius)
{
    if (radius >= 10 * 0x10000)
        return radius & ~0x7FFF;
    if (radius >= 3 * 0x10000)
        return radius & ~0x3FFF;
    return std::max(radius & ~0x1FFF, 0x1000);
}

int32_t CPenShape::Oversampling(int32_t side)
{
    if (side <= 3)
        return std::max(side, 2);
    if (side <= 7)
        return std::min(30 / side, 5);
    if (side >= 50)
        return 1;
    return std::min(50 / side, 2);
}

uint64_t CPenShape::CombineStamp() const
{
    const uint64_t generation = airMap_ ? airMap_->Generation() : 0;
    return (generation << 2 | (useAirMap_ ? 2 : 0) | (useDistance_ ? 1 : 0)) + 1; // never 0
}

bool CPenShape::FlatAirMap() const
{
    if (!airMap_ || !airMap_->IsValid())
        return false;
    if (flatGeneration_ != airMap_->Generation()) {
        const std::vector<int32_t>& lut = airMap_->lut;
        flat_ = std::all_of(lut.begin(), lut.end(), [&](int32_t v) { return v == lut.front(); });
        flatGeneration_ = airMap_->Generation();
    }
    return flat_;
}

bool CPenShape::IsValid() const
{
    return current_ && current_->combinedWith == CombineStamp();
}

void CPenShape::CombineSpan(const int32_t* distance, const int32_t* coverage, int32_t* density,
                            int64_t n) const
{
    const bool byDistance = useAirMap_ && useDistance_ && airMap_ && airMap_->IsValid();
    if (!useAirMap_) {
        for (int64_t i = 0; i < n; ++i)
            density[i] = coverage[i] * 255;
    } else if (!byDistance) {
        for (int64_t i = 0; i < n; ++i)
            density[i] = int32_t((int64_t{0xFF0000} * coverage[i]) >> 16);
    } else {
        // Beyond the rim the index is the last one: (last x 0x10000) >> 16.
        // last < 65536, so the index fits 32 unsigned bits.
        const int32_t* lut = airMap_->lut.data();
        const uint32_t last = uint32_t(airMap_->lastIndex);
        for (int64_t i = 0; i < n; ++i)
            density[i] = lut[(uint32_t(std::clamp(distance[i], 0, 0x10000)) * last) >> 16];
        // air <= 0xFF0000 times coverage <= 0x10000 needs 64 bits.
        for (int64_t i = 0; i < n; ++i)
            density[i] = int32_t((uint64_t(uint32_t(density[i])) * uint32_t(coverage[i])) >> 16);
    }
}

void CPenShape::Combine(NibGrid& grid) const
{
    CombineSpan(grid.distance, grid.coverage, grid.density, grid.Samples());
    grid.combinedWith = CombineStamp();
}

bool CPenShape::RebuildDensity()
{
    if (!current_)
        return false;
    if (current_ == &exact_ && !lastExact_.distances) {
        const ExactArgs a = lastExact_;
        return RenderExact(a.fx, a.fy, a.spanAcross, a.radius, a.angle, a.aspect);
    }
    Combine(*current_);
    return true;
}

bool CPenShape::Finish(NibGrid* grid)
{
    current_ = grid;
    if (grid && grid->combinedWith != CombineStamp())
        Combine(*grid);
    return grid != nullptr;
}

NibGrid* CPenShape::Lookup(const CacheKey& key, bool& found)
{
    found = false;
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->key == key) {
            cache_.splice(cache_.begin(), cache_, it);
            found = true;
            return cache_.front().grid.get();
        }
    }
    // A full cache hands its oldest grid over, memory and all: a stroke
    // whose size keeps changing then builds without allocating.
    if (cache_.size() >= kCacheEntries) {
        cache_.splice(cache_.begin(), cache_, std::prev(cache_.end()));
        cache_.front().key = key;
    } else {
        try {
            cache_.push_front({key, std::make_unique<NibGrid>()});
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    // Beyond the bytes, drop the oldest while more than the new grid is kept.
    int64_t bytes = 0;
    for (auto it = cache_.begin(); it != cache_.end();) {
        bytes += it->grid->Samples() * 12;
        if (it != cache_.begin() && bytes > kCacheBytes)
            it = cache_.erase(it);
        else
            ++it;
    }
    return cache_.front().grid.get();
}

void CPenShape::ForgetGrids()
{
    if (current_ != &exact_)
        current_ = nullptr;
    cache_.clear();
}

void CPenShape::Forget(const CacheKey& key)
{
    cache_.remove_if([&](const CacheEntry& e) { return e.key == key; });
}

template <typename Build> bool CPenShape::MakeCached(const CacheKey& key, bool force, Build&& build)
{
    current_ = nullptr;
    bool found = false;
    NibGrid* grid = Lookup(key, found);
    if (grid && (!found || force)) {
        ++builds_;
        if (!build(*grid)) {
            Forget(key);
            grid = nullptr;
        }
    }
    return Finish(grid);
}

bool CPenShape::MakeRound(int32_t radius)
{
    current_ = nullptr;
    if (radius <= 0 || radius > kMaxRadius * 0x10000)
        return false;
    const int32_t r = QuantiseRadius(radius);
    return MakeCached({kRound, 0, r, 100, 0, computeCoverage_}, false,
                      [&](NibGrid& grid) { return BuildRound(grid, r); });
}

bool CPenShape::MakeEllipse(int32_t radius, int32_t aspectPercent, int32_t angle)
{
    const int32_t aspect = std::clamp(aspectPercent, 1, 100);
    if (aspect == 100)
        return MakeRound(radius);
    current_ = nullptr;
    if (radius <= 0 || radius > kMaxRadius * 0x10000)
        return false;
    const int32_t r = QuantiseRadius(radius);
    const int32_t a = NormaliseDegrees(angle);
    return MakeCached({kEllipse, 0, r, aspect, a, computeCoverage_}, false,
                      [&](NibGrid& grid) { return BuildEllipse(grid, r, aspect, a); });
}

bool CPenShape::MakeBitmap(const CPenShapeObj& item, int32_t scale, int32_t aspectPercent, int32_t angle,
                           bool force)
{
    current_ = nullptr;
    if (!item.IsBitmapNib() || scale <= 0)
        return false;
    const int32_t aspect = std::clamp(aspectPercent, 1, 100);
    const int32_t a = NormaliseDegrees(angle);
    return MakeCached({kBitmap, item.Id(), scale, aspect, a, computeCoverage_}, force,
                      [&](NibGrid& grid) { return BuildBitmap(grid, item, scale, aspect, a); });
}

bool CPenShape::RenderExactRound(int32_t fx, int32_t fy, bool spanAcross, int32_t radius)
{
    return RenderExact(fx, fy, spanAcross, radius, 0, 100);
}

bool CPenShape::RenderExactEllipse(int32_t fx, int32_t fy, bool spanAcross, int32_t radius, int32_t angle,
                                   int32_t aspectPercent)
{
    return RenderExact(fx, fy, spanAcross, radius, NormaliseDegrees(angle),
                       std::clamp(aspectPercent, 1, 100));
}

int32_t CPenShape::Sample(int32_t ox, int32_t oy) const
{
    const NibGrid* grid = current_;
    if (!grid || !grid->density)
        return 0;
    const int64_t col = ((int64_t{ox} + grid->centreX) * grid->oversample) >> 16;
    const int64_t row = ((int64_t{oy} + grid->centreY) * grid->oversample) >> 16;
    if (col < 0 || row < 0 || col >= grid->gridW || row >= grid->gridH)
        return 0;
    return grid->density[row * grid->gridW + col];
}

} // namespace morvane
