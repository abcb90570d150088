#include "document/CLayerData.h"

#include <algorithm>
#include <atomic>

#include "document/SLayerParam.h"
#include "storage/ShrinkFootprint.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
std::atomic<int32_t> nextId{0};

// A 32-bit finaliser: neighbouring inputs give unrelated outputs, which the
// generator's single step alone would not (its draws would ramp).
constexpr uint32_t Mix(uint32_t h)
{
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// Shifts come from events: keep origins far from the int32 edge.
constexpr int64_t kOriginLimit = int64_t(1) << 30;
int32_t ClampOriginValue(int64_t v) { return int32_t(std::clamp(v, -kOriginLimit, kOriginLimit)); }
} // namespace

uint8_t SDitherSeed::DrawAt(int32_t x, int32_t y) const
{
    const uint32_t value = Mix(Value ^ Mix(uint32_t(x) ^ Mix(uint32_t(y) + 0x9E3779B9u))) * 134775813u + 1u;
    const int64_t span = int64_t(High) - Low;
    const int64_t r = int64_t(Low) + ((span * int64_t(value)) >> 32);
    return uint8_t(std::clamp<int64_t>(r, 0, 255));
}

uint32_t NewLayerColourOf(int mode)
{
    const SLayerParam* param = LayerParam(mode);
    return param ? param->NewLayerColour & 0x00FFFFFFu : 0x00FFFFFFu;
}

uint32_t DitherSeedFor(uint32_t createdCount) { return Mix(createdCount + 0x6D2B79F5u); }

CLayerData::CLayerData(int32_t position) : Position(position), Id(nextId.fetch_add(1)) {}

int32_t CLayerData::PeekNextId() { return nextId.load(); }

bool CLayerData::Setup(int32_t width, int32_t height, int mode, int32_t thumbW, int32_t thumbH)
{
    const SLayerParam* param = LayerParam(mode);
    Store.reset();
    Thumbnail.Release();
    if (!param || !IsStoreSizeAllowed(width, height))
        return false;
    auto store = std::make_unique<CBlockVMTC>(width, height);
    if (!store->IsValid())
        return false;
    store->FillAll(NewLayerColourOf(mode));
    Store = std::move(store);
    OriginX = OriginY = 0;
    NominalW = width;
    NominalH = height;
    Visible = true;
    ProtectAlpha = false;
    Opacity = 255;
    Mode = uint8_t(mode);
    if (!SizeThumbnail(thumbW, thumbH)) {
        Store.reset();
        return false;
    }
    ResetThumbnail(true);
    return true;
}

bool CLayerData::CopyFrom(const CLayerData& other)
{
    std::unique_ptr<CBlockVMTC> store;
    if (other.Store) {
        store = std::make_unique<CBlockVMTC>(*other.Store);
        if (!store->IsValid())
            return false;
    }
    TMTC thumbnail(other.Thumbnail);
    if (other.Thumbnail.IsValid() && !thumbnail.IsValid())
        return false;
    Store = std::move(store);
    Thumbnail.Release();
    if (thumbnail.IsValid() && Thumbnail.Resize(thumbnail.Width, thumbnail.Height))
        Thumbnail.CopyAll(thumbnail);
    CopyAttributes(other);
    OriginX = other.OriginX;
    OriginY = other.OriginY;
    NominalW = other.NominalW;
    NominalH = other.NominalH;
    return true;
}

void CLayerData::CopyAttributes(const CLayerData& other)
{
    Name = other.Name;
    Visible = other.Visible;
    Opacity = other.Opacity;
    ProtectAlpha = other.ProtectAlpha;
    Mode = other.Mode;
    LinkLevel = other.LinkLevel;
    DitherDensity = other.DitherDensity;
    Dither = other.Dither;
    DitherSeed = other.DitherSeed;
}

bool CLayerData::SetMode(int mode)
{
    if (!IsValidMode(mode))
        return false;
    Mode = uint8_t(mode);
    return true;
}

void CLayerData::SetLevel(int32_t level) { LinkLevel = std::clamp(level, 0, kMaxLinkLevel); }

bool CLayerData::SizeThumbnail(int32_t maxW, int32_t maxH)
{
    // The layer list asks for small sizes; anything else is a broken setting.
    maxW = std::clamp(maxW, 1, 1024);
    maxH = std::clamp(maxH, 1, 1024);
    const int64_t nw = std::max(NominalW, 1), nh = std::max(NominalH, 1);
    int32_t w = maxW, h = maxH;
    if (nh < nw)
        h = int32_t(std::max<int64_t>(1, maxW * nh / nw));
    else
        w = int32_t(std::max<int64_t>(1, maxH * nw / nh));
    if (!Thumbnail.Resize(w, h))
        return false;
    Thumbnail.FillAll(0x00FFFFFFu);
    return true;
}

bool CLayerData::RefreshThumbnail() { return RefreshThumbnail({0, 0, NominalW, NominalH}); }

bool CLayerData::RefreshThumbnail(const ExtentRect& changed)
{
    if (!HasStore() || !Thumbnail.IsValid())
        return false;
    const ExtentRect region = ShrinkTargetsMeeting(NominalW, NominalH, Thumbnail.Width, Thumbnail.Height, changed);
    if (region.width <= 0)
        return true;
    if (StoreIsPicture())
        return Store->ShrinkInto(Thumbnail, region);
    // Only the picture's part of a larger store is shown, and of it only
    // what the region's boxes read is copied.
    if (!IsStoreSizeAllowed(NominalW, NominalH))
        return false;
    CBlockVMTC picture(NominalW, NominalH);
    if (!picture.IsValid())
        return false;
    const ExtentRect read = ShrinkSourceOf(NominalW, NominalH, Thumbnail.Width, Thumbnail.Height, region);
    picture.CopyStore(*Store, {read.left, read.top}, {OriginX + read.left, OriginY + read.top, read.width, read.height});
    return picture.ShrinkInto(Thumbnail, region);
}

bool CLayerData::StoreIsPicture() const
{
    return HasStore() && OriginX == 0 && OriginY == 0 && Store->Width == NominalW && Store->Height == NominalH;
}

void CLayerData::ResetThumbnail(bool transparent)
{
    const uint32_t colour = NewLayerColourOf(Mode);
    if (Thumbnail.IsValid())
        Thumbnail.FillAll(transparent ? colour : colour | 0xFF000000u);
}

EdgeRect CLayerData::ContentBounds() const
{
    const int32_t w = Store ? Store->Width : 0, h = Store ? Store->Height : 0;
    return {-OriginX, -OriginY, w - OriginX, h - OriginY};
}

bool CLayerData::IsLargerThanPicture() const
{
    return Store && (NominalW < Store->Width || NominalH < Store->Height);
}

bool CLayerData::ClampOrigin(bool apply)
{
    const int32_t w = Store ? Store->Width : 0, h = Store ? Store->Height : 0;
    const int32_t maxX = w - NominalW, maxY = h - NominalH;
    const bool inside = OriginX >= 0 && OriginX <= maxX && OriginY >= 0 && OriginY <= maxY;
    if (apply) {
        OriginX = std::clamp(OriginX, 0, std::max(maxX, 0));
        OriginY = std::clamp(OriginY, 0, std::max(maxY, 0));
    }
    return inside;
}

void CLayerData::Shift(int32_t dx, int32_t dy)
{
    OriginX = ClampOriginValue(int64_t(OriginX) - dx);
    OriginY = ClampOriginValue(int64_t(OriginY) - dy);
    RefreshThumbnail();
    ClampOrigin(false);
}

std::unique_ptr<CLayerData> CLayerData::EmptyResized(int32_t width, int32_t height, Point offset) const
{
    if (!HasStore() || !IsStoreSizeAllowed(width, height))
        return nullptr;
    auto layer = std::make_unique<CLayerData>(Position);
    const int32_t thumbSide = Thumbnail.IsValid() ? std::max(Thumbnail.Width, Thumbnail.Height) : 1;
    if (!layer->Setup(width, height, Mode, thumbSide, thumbSide))
        return nullptr;
    layer->NominalW = NominalW;
    layer->NominalH = NominalH;
    layer->OriginX = ClampOriginValue(int64_t(OriginX) + offset.x);
    layer->OriginY = ClampOriginValue(int64_t(OriginY) + offset.y);
    if (!layer->SizeThumbnail(thumbSide, thumbSide))
        return nullptr;
    return layer;
}

std::unique_ptr<CLayerData> CLayerData::Resized(int32_t width, int32_t height, Point offset) const
{
    std::unique_ptr<CLayerData> layer = EmptyResized(width, height, offset);
    if (!layer)
        return nullptr;
    const ExtentRect whole{0, 0, Store->Width, Store->Height};
    // A copy that lands wholly outside is no failure; a refused block is.
    EdgeRect inside;
    if (Intersect(ToEdge({offset.x, offset.y, whole.width, whole.height}), {0, 0, width, height}, inside) &&
        !layer->Store->CopyStore(*Store, offset, whole))
        return nullptr;
    if (Thumbnail.IsValid() && layer->Thumbnail.Width == Thumbnail.Width && layer->Thumbnail.Height == Thumbnail.Height)
        layer->Thumbnail.CopyAll(Thumbnail);
    return layer;
}

bool CLayerData::ApplyCommand(int command)
{
    if (!HasStore())
        return false;
    CBlockVMTC& s = *Store;
    const ExtentRect all{0, 0, s.Width, s.Height};
    bool ok = false;
    switch (command) {
    case 7: ok = s.FlipH(all); break;
    case 8: ok = s.FlipV(all); break;
    case 10: ok = s.Rotate180(all); break;
    case 9: return s.XorRect(all, 0x00FFFFFFu);
    case 11: return s.XorRect(all, 0xFF000000u);
    default: return false;
    }
    if (ok && command != 8)
        OriginX = s.Width - OriginX - NominalW;
    if (ok && command != 7)
        OriginY = s.Height - OriginY - NominalH;
    return ok;
}

bool CLayerData::SetAllAlpha(uint8_t alpha)
{
    return HasStore() && Store->SetAlpha({0, 0, Store->Width, Store->Height}, alpha);
}

bool CLayerData::InvertAlpha()
{
    return HasStore() && Store->XorRect({0, 0, Store->Width, Store->Height}, 0xFF000000u);
}

int64_t CLayerData::MemoryUsed() const
{
    return (Store ? Store->CommittedBytes() : 0) + (Thumbnail.IsValid() ? Thumbnail.ByteSize() : 0);
}

} // namespace morvane
