#include "paint/CPenMethodObj.h"

#include <new>

#include "paint/TPaintParam.h"
#include "storage/CScaleImage.h"

namespace morvane {

namespace {

int32_t g_nextId = 0;

// A copy of `source` at width x height; nothing when it cannot be made.
std::unique_ptr<TMTC> ScaledIcon(const TMTC& source, int32_t side)
{
    try {
        auto icon = std::make_unique<TMTC>();
        if (source.Width == side && source.Height == side) {
            if (!icon->Resize(side, side) || !icon->CopyAll(source))
                return nullptr;
        } else if (!MakeScaledCopy(source, side, side, *icon)) {
            return nullptr;
        }
        return icon;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<CPenShapeObj> CopyOfNib(const CPenShapeObj& nib)
{
    try {
        auto copy = std::make_unique<CPenShapeObj>();
        return copy->CopyFrom(nib) ? std::move(copy) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

CPenMethodObj::CPenMethodObj() : id_(g_nextId++) {}

bool CPenMethodObj::CopyFrom(const CPenMethodObj& other)
{
    valid = other.valid;
    name = other.name;
    block_ = other.block_;
    bool ok = CopyNibFrom(other);
    if (other.icon_)
        ok = SetIcon(other.icon_.get()) && ok;
    else
        ClearIcons();
    return ok;
}

void CPenMethodObj::SetRecords(const BrushMethodRecord& method, const bool (*switches)[2],
                               const BrushRecord* brush)
{
    block_.method = method;
    if (switches) {
        block_.useGradation = (*switches)[0];
        block_.useTone = (*switches)[1];
    }
    if (brush)
        block_.brush = *brush;
    valid = true;
}

void CPenMethodObj::SetBlock(const PenMethodBlock& block)
{
    block_ = block;
    valid = true;
}

void CPenMethodObj::SetNib(std::unique_ptr<CPenShapeObj> nib)
{
    nib_ = std::move(nib);
}

bool CPenMethodObj::CopyNibFrom(const CPenMethodObj& other)
{
    if (!other.nib_) {
        nib_.reset();
        return true;
    }
    nib_ = CopyOfNib(*other.nib_);
    return nib_ != nullptr;
}

bool CPenMethodObj::SetIcon(const TMTC* picture)
{
    // Both icons are made before the old ones go: the picture may be one of them.
    std::unique_ptr<TMTC> icon = picture && picture->IsValid() ? ScaledIcon(*picture, kIconSide) : nullptr;
    std::unique_ptr<TMTC> small = icon ? ScaledIcon(*icon, kSmallIconSide) : nullptr;
    if (!small)
        icon.reset();
    icon_ = std::move(icon);
    smallIcon_ = std::move(small);
    return icon_ != nullptr;
}

void CPenMethodObj::ClearIcons()
{
    icon_.reset();
    smallIcon_.reset();
}

bool CPenMethodObj::FromPaintParam(const TPaintParam& param)
{
    const std::optional<BrushMethodRecord> method = param.ToBrushMethod();
    if (!method)
        return false;
    auto nib =
        std::make_unique<CPenShapeObj>(param.NibAirMap(), param.ToNibRecord(), param.Settings().aliased);
    if (std::unique_ptr<TChannel> bitmap = param.NibBitmapChannel();
        bitmap && nib->SetBitmap(std::move(bitmap)))
        nib->SetScale(param.NibScalePercent());
    SetNib(std::move(nib));
    const BrushRecord brush = param.ToBrushRecord();
    const bool switches[2] = {param.Settings().useGradation, param.Settings().useTone};
    SetRecords(*method, &switches, &brush);
    name = param.Name();
    return true;
}

bool CPenMethodObj::ToPaintParam(TPaintParam& param) const
{
    if (!param.FromBrushRecords(block_.method, block_.brush))
        return false;
    param.SetUseGradation(block_.useGradation);
    param.SetUseTone(block_.useTone);
    param.SetName(name);
    if (icon_)
        param.SetIcon(*icon_);
    if (nib_) {
        param.FromNibPreset(nib_->PresetParts());
    }
    return true;
}

} // namespace morvane
