#include "paint/CPenShapeObj.h"

#include <algorithm>
#include <new>

namespace morvane {

namespace {
int32_t g_nextId = 0;
} // namespace

int32_t CPenShapeObj::NextId()
{
    return g_nextId++;
}

CPenShapeObj::CPenShapeObj() : id_(NextId()) {}

CPenShapeObj::CPenShapeObj(const AirMapRecord& airMap_, const NibRecord& nib_, bool aliased_)
    : valid(true), airMap(airMap_), nib(nib_), aliased(aliased_ ? 1 : 0), id_(NextId())
{
}

bool CPenShapeObj::CopyFrom(const CPenShapeObj& other)
{
    valid = other.valid;
    airMap = other.airMap;
    nib = other.nib;
    aliased = other.aliased;
    name = other.name;
    ClearBitmap();
    id_ = NextId();
    if (!other.bitmap_)
        return true;
    std::unique_ptr<TChannel> copy;
    try {
        copy = std::make_unique<TChannel>(*other.bitmap_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!copy->IsValid() || !SetBitmap(std::move(copy)))
        return false;
    SetScale(other.scale_);
    return true;
}

bool CPenShapeObj::SetBitmap(std::unique_ptr<TChannel> bitmap)
{
    if (!bitmap || !bitmap->IsValid() || bitmap->Width < 1 || bitmap->Height < 1)
        return false;
    const int32_t larger = std::max(bitmap->Width, bitmap->Height);
    const int32_t smaller = std::min(bitmap->Width, bitmap->Height);
    if (larger > kMaxBitmapSide)
        return false;
    scaleMax_ = std::min(kMaxBitmapSide / larger, 500);
    // A thin bitmap would otherwise get a minimum above its maximum.
    scaleMin_ = std::min(std::max(400 / smaller, 1), scaleMax_);
    scale_ = std::clamp(100, scaleMin_, scaleMax_);
    nib.radius = scale_ * 100;
    bitmapMaxSide_ = larger;
    bitmap_ = std::move(bitmap);
    isBitmap = 1;
    id_ = NextId();
    return true;
}

void CPenShapeObj::ClearBitmap()
{
    bitmap_.reset();
    bitmapMaxSide_ = 0;
    isBitmap = 0;
    scaleMin_ = scaleMax_ = scale_ = 100;
}

void CPenShapeObj::Reset()
{
    ClearBitmap();
    nib = NibRecord{};
}

bool CPenShapeObj::SetScale(int32_t percent)
{
    if (!IsBitmapNib() || percent == scale_ || percent < scaleMin_ || percent > scaleMax_)
        return false;
    scale_ = percent;
    nib.radius = percent * 100;
    return true;
}

double CPenShapeObj::EffectiveRadius() const
{
    if (IsBitmapNib())
        return double(bitmapMaxSide_) * scale_ / 200.0;
    return nib.radius / 100.0;
}

NibPresetParts CPenShapeObj::PresetParts() const
{
    NibPresetParts parts;
    parts.nib = nib;
    parts.airMap = airMap;
    parts.hardEdge = aliased != 0;
    parts.bitmap = IsBitmapNib() ? Bitmap() : nullptr;
    parts.scalePercent = Scale();
    parts.id = Id();
    return parts;
}

} // namespace morvane
