#pragma once
// The nib raster generator: turns a radius, an aspect, an angle, the air map
// and optionally a bitmap into a grid of densities (16.16 of 0..255) around
// the dab centre, keeps the last grids it built so that a stroke whose size
// follows the pressure does not rebuild them on every dab, and renders the
// pencil's dabs exactly at their sub-pixel position.
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

namespace morvane {

class CGradeMapObj;
class CPenShapeObj;

// gridW x gridH samples, m per pixel in each direction, of three planes:
// normalised distance (0x10000 = rim), edge coverage (0..0x10000) and the
// final density (0..0xFF0000).
class NibGrid {
public:
    NibGrid() = default;
    NibGrid(const NibGrid&) = delete;
    NibGrid& operator=(const NibGrid&) = delete;
    ~NibGrid() { Release(); }

    // Box and oversampling for the half extents (16.16); the planes are left
    // for the builder to fill. False, and an empty grid, when they cannot be
    // allocated.
    bool Layout(int32_t halfExtentX, int32_t halfExtentY);
    // side x side pixels, m = 1, the nib centre at (centreX, centreY),
    // coverage zeroed (exact dabs). The planes are kept when large enough.
    bool LayoutExact(int32_t side, int32_t centreX, int32_t centreY);

    int32_t boxW = 0, boxH = 0, oversample = 1, gridW = 0, gridH = 0;
    int32_t centreX = 0x8000, centreY = 0x8000;
    int32_t* distance = nullptr;
    int32_t* coverage = nullptr;
    int32_t* density = nullptr;
    uint64_t combinedWith = 0; // air-map generation and switches of `density`

    int64_t Samples() const { return int64_t(gridW) * gridH; }
    // Whether the samples lie symmetrically about the centre in x (y): then
    // a nib symmetric about its axes is built in one half and mirrored.
    bool MirrorsX() const { return OffsetX(0) == -OffsetX(gridW - 1); }
    bool MirrorsY() const { return OffsetY(0) == -OffsetY(gridH - 1); }
    // The right half of the row from its left half, all planes.
    void MirrorColumns(int32_t row);
    // The bottom half from the top half, turned end for end when reversed.
    void MirrorRows(bool reversed);
    // Offset of sample (col, row) from the nib centre, 16.16.
    int32_t OffsetX(int32_t col) const
    {
        return col * (0x10000 / oversample) + 0x8000 / oversample - centreX;
    }
    int32_t OffsetY(int32_t row) const
    {
        return row * (0x10000 / oversample) + 0x8000 / oversample - centreY;
    }

private:
    bool Allocate(int64_t samples);
    // Points the planes into the block, allocated for the current size;
    // false and an empty grid when it cannot be.
    bool Planes();
    void Release();

    int32_t* block_ = nullptr;
    int64_t capacity_ = 0; // samples per plane
};

class CPenShape {
public:
    // Largest nib radius, pixels.
    static constexpr int32_t kMaxRadius = 512;

    // The air map is not owned and must outlive the generator.
    explicit CPenShape(const CGradeMapObj* airMap);
    ~CPenShape();
    CPenShape(const CPenShape&) = delete;
    CPenShape& operator=(const CPenShape&) = delete;

    // Without coverage every sample of a round or elliptical box counts as
    // covered; a bitmap nib's coverage is its bitmap either way. A change
    // leaves no current grid.
    void SetComputeCoverage(bool on);
    void SetUseAirMap(bool on);
    void SetUseDistance(bool on);
    bool ComputeCoverage() const { return computeCoverage_; }

    // Recombines the current grid after the air map changed.
    bool RebuildDensity();

    // Radii are 16.16 pixels, angles whole degrees (the nib's angle, not
    // negated), aspect in percent (clamped into 1 .. 100). Each returns false,
    // leaving no current grid, for a radius <= 0 or above 512 px and when the
    // grids cannot be allocated.
    bool MakeRound(int32_t radius);
    bool MakeEllipse(int32_t radius, int32_t aspectPercent, int32_t angle);
    // scale: percent, 16.16. The item must hold a bitmap nib of at most
    // 4096 x 4096 pixels whose scaled size stays within 1024 px; force
    // rebuilds a grid found in the cache.
    bool MakeBitmap(const CPenShapeObj& item, int32_t scale, int32_t aspectPercent, int32_t angle,
                    bool force);

    // One dab at fractional position (fx, fy), 0 .. 0xFFFF; spanAcross
    // scans rows (a y-major stroke), else columns. Never cached. The grid's
    // centre is the dab's own position, so Sample takes the offset from the
    // dab centre here too.
    bool RenderExactRound(int32_t fx, int32_t fy, bool spanAcross, int32_t radius);
    bool RenderExactEllipse(int32_t fx, int32_t fy, bool spanAcross, int32_t radius, int32_t angle,
                            int32_t aspectPercent);

    // Density at the 16.16 offset (ox, oy) of a pixel centre from the dab
    // centre; 0 outside the grid or without one.
    int32_t Sample(int32_t ox, int32_t oy) const;

    // The grid the last successful Make or Render produced, nullptr after a failure.
    const NibGrid* Grid() const { return current_; }
    bool IsValid() const;
    // Frees every cached grid (a stroke's end, or memory is short); an exact
    // dab stays current.
    void ForgetGrids();
    // Cached grids built so far (cache misses and forced rebuilds).
    int64_t Builds() const { return builds_; }

    // Round and elliptical radii are cached in steps: 1/2 px from 10 px,
    // 1/8 px (at least 1/16) below 3 px, 1/4 px between.
    static int32_t QuantiseRadius(int32_t radius);
    // Oversampling of a box whose larger side is `side` pixels.
    static int32_t Oversampling(int32_t side);

private:
    struct CacheKey {
        int kind = 0;
        int32_t itemId = 0, radius = 0, aspect = 0, angle = 0;
        bool coverage = true;
        bool operator==(const CacheKey&) const = default;
    };
    struct CacheEntry {
        CacheKey key;
        std::unique_ptr<NibGrid> grid;
    };

    // The cached grid of key, moved to the front; a new empty one (evicting
    // the oldest) when absent, with found = false.
    NibGrid* Lookup(const CacheKey& key, bool& found);
    // The grid of key from the cache, built by build(grid) when missing or forced.
    template <typename Build> bool MakeCached(const CacheKey& key, bool force, Build&& build);
    void Forget(const CacheKey& key);
    bool Finish(NibGrid* grid);
    void Combine(NibGrid& grid) const;
    void CombineSpan(const int32_t* distance, const int32_t* coverage, int32_t* density, int64_t n) const;
    uint64_t CombineStamp() const;

    // How a nib repeats itself: about both axes, through the centre, not at all.
    enum class Symmetry { FourFold, Central, None };
    // Calls fill(row, y, xs, columns, distance, coverage) for the rows and
    // columns that cannot be mirrored (xs: the columns' x offsets, y the
    // row's, 16.16), combines them, mirrors the rest. False when out of memory.
    template <typename Fill> bool FillRows(NibGrid& grid, Symmetry symmetry, Fill&& fill) const;
    bool BuildRound(NibGrid& grid, int32_t radius) const;
    bool BuildEllipse(NibGrid& grid, int32_t radius, int32_t aspectPercent, int32_t angle) const;
    bool BuildBitmap(NibGrid& grid, const CPenShapeObj& item, int32_t scale, int32_t aspectPercent,
                     int32_t angle);
    struct Footprint;
    bool FillRotated(NibGrid& grid, const Footprint& footprint);
    bool FillAxisAligned(NibGrid& grid, const Footprint& footprint);
    bool RenderExact(int32_t fx, int32_t fy, bool spanAcross, int32_t radius, int32_t angle,
                     int32_t aspectPercent);
    // Whether every entry of the air map is the same: distances then change nothing.
    bool FlatAirMap() const;

    const CGradeMapObj* airMap_;
    bool computeCoverage_ = true;
    bool useAirMap_ = true;
    bool useDistance_ = true;

    std::list<CacheEntry> cache_; // most recent first
    NibGrid exact_;
    // The last exact dab, drawn again when its densities must be rebuilt
    // and its distances were left out (flat air map).
    struct ExactArgs {
        int32_t fx = 0, fy = 0, radius = 0, angle = 0, aspect = 100;
        bool spanAcross = false, distances = true;
    } lastExact_;
    mutable uint64_t flatGeneration_ = 0;
    mutable bool flat_ = false;
    NibGrid* current_ = nullptr;
    int64_t builds_ = 0;

    // Summed coverage of the last bitmap item seen, by item id.
    struct BitmapSums;
    std::unique_ptr<BitmapSums> sums_;
    std::vector<double> scratch_; // bitmap nib rows and exact dab distances, kept between builds
};

} // namespace morvane
