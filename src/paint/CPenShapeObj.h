#pragma once
// A nib preset: a round or elliptical nib described by its records, or a
// bitmap nib with the scale range its size allows.
#include <cstdint>
#include <memory>
#include <string>

#include "paint/PaintRecords.h"
#include "paint/TPaintParam.h"
#include "storage/TChannel.h"

namespace morvane {

class CPenShapeObj {
public:
    // A bitmap whose larger side exceeds this leaves no scale (its maximum
    // scale would be 0 %).
    static constexpr int32_t kMaxBitmapSide = 51200;

    // An empty item (valid false) with the initial nib: 10 px, round, curve 3.
    CPenShapeObj();
    // A round nib; valid.
    CPenShapeObj(const AirMapRecord& airMap, const NibRecord& nib, bool aliased);
    // A deep copy with a new id; false when the bitmap cannot be copied (the
    // copy is then left a round nib).
    bool CopyFrom(const CPenShapeObj& other);
    CPenShapeObj(const CPenShapeObj&) = delete;
    CPenShapeObj& operator=(const CPenShapeObj&) = delete;

    // Takes the bitmap (value 255 - coverage). Refused (false, the item
    // unchanged) for an empty or invalid channel or one with a side above
    // kMaxBitmapSide. The item gets a new id.
    bool SetBitmap(std::unique_ptr<TChannel> bitmap);
    // Back to a round nib; scale range 100-100.
    void ClearBitmap();
    // A round 10 px nib.
    void Reset();
    // Accepted only for a new value inside [scaleMin, scaleMax] of a bitmap nib.
    bool SetScale(int32_t percent);

    // Pixels: the record's radius, or half the scaled larger side of the bitmap.
    double EffectiveRadius() const;
    double MinRadius() const { return nib.minRadius / 1000.0; }
    bool IsBitmapNib() const { return isBitmap == 1 && bitmap_ && bitmap_->IsValid(); }

    int32_t Id() const { return id_; }
    const TChannel* Bitmap() const { return bitmap_.get(); }
    int32_t ScaleMin() const { return scaleMin_; }
    int32_t ScaleMax() const { return scaleMax_; }
    int32_t Scale() const { return scale_; }
    int32_t BitmapMaxSide() const { return bitmapMaxSide_; }
    // What a parameter set takes from this nib (its bitmap is borrowed).
    NibPresetParts PresetParts() const;

    bool valid = false;
    uint8_t isBitmap = 0;
    AirMapRecord airMap;
    NibRecord nib;
    uint32_t aliased = 0;
    std::string name;

private:
    static int32_t NextId();

    int32_t id_;
    int32_t scaleMin_ = 100, scaleMax_ = 100, scale_ = 100;
    std::unique_ptr<TChannel> bitmap_;
    int32_t bitmapMaxSide_ = 0;
};

} // namespace morvane
