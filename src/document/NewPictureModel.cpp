#include "document/NewPictureModel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "storage/FixedPoint.h"

namespace morvane {

namespace {

constexpr SPaperPresetEntry kEntries[kPaperPresetEntries] = {
    {"カスタム", 512, 512, SizeUnit::Pixel, 72},
    {"1", 640, 480, SizeUnit::Pixel, 72},
    {"2", 640, 480, SizeUnit::Pixel, 72},
    {"3", 640, 480, SizeUnit::Pixel, 72},
    {"4", 640, 480, SizeUnit::Pixel, 72},
    {"5", 640, 480, SizeUnit::Pixel, 72},
    {"QVGA", 320, 240, SizeUnit::Pixel, 72},
    {"VGA", 640, 480, SizeUnit::Pixel, 72},
    {"SVGA", 800, 600, SizeUnit::Pixel, 72},
    {"XGA", 1024, 768, SizeUnit::Pixel, 72},
    {"SXGA", 1280, 1024, SizeUnit::Pixel, 72},
    {"UXGA", 1600, 1200, SizeUnit::Pixel, 72},
    {"A6", 148, 105, SizeUnit::Mm, 150},
    {"A5", 210, 148, SizeUnit::Mm, 150},
    {"A4", 297, 210, SizeUnit::Mm, 150},
    {"B6", 176, 125, SizeUnit::Mm, 150},
    {"B5", 250, 176, SizeUnit::Mm, 150},
    {"B4", 353, 250, SizeUnit::Mm, 150},
    {"B6 JIS", 182, 128, SizeUnit::Mm, 150},
    {"B5 JIS", 257, 182, SizeUnit::Mm, 150},
    {"B4 JIS", 364, 257, SizeUnit::Mm, 150},
    {"F0", 180, 140, SizeUnit::Mm, 150},
    {"F2", 240, 190, SizeUnit::Mm, 150},
    {"F4", 333, 242, SizeUnit::Mm, 150},
    {"M0", 180, 120, SizeUnit::Mm, 150},
    {"M2", 240, 160, SizeUnit::Mm, 150},
    {"M4", 333, 220, SizeUnit::Mm, 150},
    {"P0", 180, 100, SizeUnit::Mm, 150},
    {"P2", 240, 140, SizeUnit::Mm, 150},
    {"P4", 333, 190, SizeUnit::Mm, 150},
    {"官製はがき", 148, 100, SizeUnit::Mm, 150},
    {"レターサイズ", 11, 8.5, SizeUnit::Inch, 150},
    {"リーガルサイズ", 14, 8.5, SizeUnit::Inch, 150},
    {"L判", 127, 89, SizeUnit::Mm, 150},
    {"キャビネ", 165, 120, SizeUnit::Mm, 150},
    {"2L判", 178, 127, SizeUnit::Mm, 150},
    {"八切り", 8, 6, SizeUnit::Inch, 150},
    {"六切り", 10, 8, SizeUnit::Inch, 150},
    {"四切り", 12, 10, SizeUnit::Inch, 150},
    {"大四切り", 14, 11, SizeUnit::Inch, 150},
};

constexpr int kGroupSizes[] = {1, 5, 6, 3, 3, 3, 3, 3, 3, 3, 7};
constexpr int kGroups = int(std::size(kGroupSizes));

// Units of the unit per inch; pixels have none.
double PerInch(SizeUnit unit)
{
    switch (unit) {
    case SizeUnit::Cm:
        return 2.54;
    case SizeUnit::Mm:
        return 25.4;
    default:
        return 1.0;
    }
}

double ExactPixels(double value, SizeUnit unit, double resolution)
{
    return unit == SizeUnit::Pixel ? value : value * resolution / PerInch(unit);
}

bool IsUnit(int32_t unit)
{
    return unit >= int32_t(SizeUnit::Pixel) && unit <= int32_t(SizeUnit::Mm);
}

void PutLE32(uint8_t* out, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out[k] = uint8_t(v >> (8 * k));
}

uint32_t GetLE32(const uint8_t* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

std::string Printed(const char* format, double a, double b = 0)
{
    const int n = std::snprintf(nullptr, 0, format, a, b);
    std::string out(size_t(std::max(n, 0)), '\0');
    std::snprintf(out.data(), out.size() + 1, format, a, b);
    return out;
}

} // namespace

int32_t ToPixels(double value, SizeUnit unit, double resolution)
{
    return roundSat(ExactPixels(value, unit, resolution));
}

double FromPixels(double pixels, SizeUnit unit, double resolution)
{
    if (unit == SizeUnit::Pixel)
        return pixels;
    if (!(resolution > 0))
        return 0;
    return pixels / resolution * PerInch(unit);
}

std::string FormatSizeValue(double value, SizeUnit unit)
{
    return Printed(unit == SizeUnit::Pixel ? "%1.0f" : "%1.6g", value);
}

SValueRange SideRange(SizeUnit unit, double resolution)
{
    return {FromPixels(kNewPictureMinSide, unit, resolution), FromPixels(kNewPictureMaxSide, unit, resolution)};
}

SValueRange ResolutionRange(SizeUnit unit, double width, double height)
{
    const double inches = std::max(width, height) / PerInch(unit);
    if (unit == SizeUnit::Pixel || !(inches > 0) || !std::isfinite(inches))
        return {kNewPictureMinResolution, kNewPictureMaxResolution};
    // A side beyond what 72 ... 600 can bring within the pixel limits
    // leaves the nearest end of that range, never an empty one.
    const double lo = std::max(kNewPictureMinResolution, kNewPictureMinSide / inches);
    const double hi = std::min(kNewPictureMaxResolution, kNewPictureMaxSide / inches);
    return {std::min(lo, kNewPictureMaxResolution), std::max(hi, kNewPictureMinResolution)};
}

const SPaperPresetEntry& PaperPresetEntry(int entry)
{
    return kEntries[std::clamp(entry, 0, kPaperPresetEntries - 1)];
}

int PresetListLines()
{
    return kPaperPresetEntries + kGroups - 1;
}

int PresetLineOfEntry(int entry)
{
    if (entry < 0 || entry >= kPaperPresetEntries)
        return -1;
    int line = entry;
    for (int g = 0, end = kGroupSizes[0]; end <= entry; end += kGroupSizes[++g])
        ++line; // one separator after each group that ends at or before the entry
    return line;
}

int PresetEntryOfLine(int line)
{
    int entry = 0;
    for (int g = 0; g < kGroups; ++g) {
        if (line < kGroupSizes[g])
            return line < 0 ? -1 : entry + line;
        line -= kGroupSizes[g];
        entry += kGroupSizes[g];
        if (line-- == 0)
            return -1; // the separator after group g
    }
    return -1;
}

int FindPaperPreset(int32_t width, int32_t height, double resolution, PaperOrientation& orientation)
{
    for (int e = kFirstFixedPreset; e < kPaperPresetEntries; ++e) {
        const SPaperPresetEntry& p = kEntries[e];
        const int32_t lo = ToPixels(p.longSide, p.unit, resolution);
        const int32_t sh = ToPixels(p.shortSide, p.unit, resolution);
        if (width == lo && height == sh) {
            orientation = PaperOrientation::Landscape;
            return e;
        }
        if (width == sh && height == lo) {
            orientation = PaperOrientation::Portrait;
            return e;
        }
    }
    return 0;
}

// ---- user presets ----

void SUserPaperPreset::Encode(uint8_t (&out)[kBytes]) const
{
    PutLE32(out, uint32_t(unit));
    PutLE32(out + 4, uint32_t(resolution));
    PutLE32(out + 8, std::bit_cast<uint32_t>(width));
    PutLE32(out + 12, std::bit_cast<uint32_t>(height));
    PutLE32(out + 16, transparent ? 1u : 0u);
}

SUserPaperPreset SUserPaperPreset::Decode(const uint8_t (&in)[kBytes])
{
    SUserPaperPreset p;
    p.unit = SizeUnit(int32_t(GetLE32(in)));
    p.resolution = int32_t(GetLE32(in + 4));
    p.width = std::bit_cast<float>(GetLE32(in + 8));
    p.height = std::bit_cast<float>(GetLE32(in + 12));
    p.transparent = GetLE32(in + 16) != 0;
    return p;
}

void SUserPaperPreset::Sanitize()
{
    if (!IsUnit(int32_t(unit)))
        unit = SizeUnit::Pixel;
    resolution = std::clamp(resolution, int32_t(kNewPictureMinResolution), int32_t(kNewPictureMaxResolution));
    const SValueRange range = SideRange(unit, resolution);
    auto side = [&](float& v, double defaultPixels) {
        const double d = std::isfinite(v) ? double(v) : FromPixels(defaultPixels, unit, resolution);
        v = float(std::clamp(d, range.min, range.max));
    };
    side(width, 640);
    side(height, 480);
}

// ---- the model ----

NewPictureModel::NewPictureModel(const std::array<SUserPaperPreset, kUserPaperPresets>& userPresets)
    : user_(userPresets)
{
    for (SUserPaperPreset& p : user_)
        p.Sanitize();
    SelectEntry(1);
}

bool NewPictureModel::SelectEntry(int entry)
{
    if (entry < 0 || entry >= kPaperPresetEntries)
        return false;
    entry_ = entry;
    if (UserPresetSelected()) {
        const SUserPaperPreset& p = user_[size_t(entry - 1)];
        unit_ = p.unit;
        resolution_ = p.resolution;
        width_ = p.width;
        height_ = p.height;
        transparent_ = p.transparent;
        return true;
    }
    const SPaperPresetEntry& p = kEntries[entry];
    const bool portrait = OrientationEnabled() && orientation_ == PaperOrientation::Portrait;
    unit_ = p.unit;
    resolution_ = p.resolution;
    width_ = portrait ? p.shortSide : p.longSide;
    height_ = portrait ? p.longSide : p.shortSide;
    return true;
}

int NewPictureModel::SelectLine(int line, int direction)
{
    line = std::clamp(line, 0, PresetListLines() - 1);
    if (PresetEntryOfLine(line) < 0)
        line += direction < 0 ? -1 : 1; // separators never end the list nor stand together
    SelectEntry(PresetEntryOfLine(line));
    return SelectedLine();
}

bool NewPictureModel::SetOrientation(PaperOrientation orientation)
{
    if (!OrientationEnabled())
        return false;
    if (orientation != orientation_)
        std::swap(width_, height_);
    orientation_ = orientation;
    return true;
}

void NewPictureModel::SetUnit(SizeUnit unit)
{
    if (!IsUnit(int32_t(unit)) || unit == unit_)
        return;
    auto convert = [&](double v) {
        const double moved = FromPixels(ExactPixels(v, unit_, resolution_), unit, resolution_);
        return unit == SizeUnit::Pixel ? double(roundSat(moved)) : moved;
    };
    width_ = convert(width_);
    height_ = convert(height_);
    unit_ = unit;
    width_ = ClampSide(width_);
    height_ = ClampSide(height_);
    Edited();
}

bool NewPictureModel::SetSize(double width, double height)
{
    if (!std::isfinite(width) || !std::isfinite(height))
        return false;
    width_ = ClampSide(width);
    height_ = ClampSide(height);
    Edited();
    return true;
}

bool NewPictureModel::SetResolution(double resolution)
{
    if (!std::isfinite(resolution))
        return false;
    const SValueRange r = ResolutionLimits();
    resolution_ = std::clamp(resolution, r.min, r.max);
    width_ = ClampSide(width_);
    height_ = ClampSide(height_);
    Edited();
    return true;
}

void NewPictureModel::SetTransparent(bool transparent)
{
    transparent_ = transparent;
    if (UserPresetSelected())
        Edited();
}

void NewPictureModel::Edited()
{
    if (UserPresetSelected()) {
        user_[size_t(entry_ - 1)] = {unit_, roundSat(resolution_), float(width_), float(height_), transparent_};
        return;
    }
    entry_ = FindPaperPreset(WidthPixels(), HeightPixels(), resolution_, orientation_);
}

double NewPictureModel::ClampSide(double value) const
{
    const SValueRange r = SidesRange();
    return std::clamp(value, r.min, r.max);
}

int32_t NewPictureModel::WidthPixels() const
{
    return std::clamp(ToPixels(width_, unit_, resolution_), kNewPictureMinSide, kNewPictureMaxSide);
}

int32_t NewPictureModel::HeightPixels() const
{
    return std::clamp(ToPixels(height_, unit_, resolution_), kNewPictureMinSide, kNewPictureMaxSide);
}

std::string NewPictureModel::SizeTitle() const
{
    return Printed("画像サイズ ( %1.0f × %1.0f px )", WidthPixels(), HeightPixels());
}

const SUserPaperPreset& NewPictureModel::UserPreset(int number) const
{
    return user_[size_t(std::clamp(number, 1, kUserPaperPresets) - 1)];
}

SNewPictureResult NewPictureModel::Result() const
{
    return {WidthPixels(), HeightPixels(), roundSat(resolution_), transparent_};
}

} // namespace morvane
