#include "filters/FilterDescriptor.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "filters/RecordBytes.h"
#include "filters/ToneFilters.h"
#include "storage/FixedPoint.h"

namespace morvane {
namespace {

using K = ParamKind;
using C = ParamControl;

constexpr FilterParam kLevels[] = {
    {"入力最小", K::Byte, 0, 0, 255, 0, 1, C::Slider, {}, 4, 1, 2},
    {"中間", K::Byte, 4, 1, 199, 100, 1, C::Slider, {}, 4, 100},
    {"入力最大", K::Byte, 8, 0, 255, 255, 1, C::Slider, {}, 4, 1, -1, 0},
    {"出力最小", K::Byte, 12, 0, 255, 0, 1, C::Slider, {}, 4},
    {"出力最大", K::Byte, 16, 0, 255, 255, 1, C::Slider, {}, 4},
    {"リニア", K::Flag, 20, 0, 1, 1, 1, C::Check},
};
constexpr FilterParam kColourBalance[] = {
    {"赤", K::Float, 0, 0.5, 2, 1, 0.01},
    {"緑", K::Float, 4, 0.5, 2, 1, 0.01},
    {"青", K::Float, 8, 0.5, 2, 1, 0.01},
};
constexpr FilterParam kBrightnessContrast[] = {
    {"明るさ", K::Integer, 0, -100, 100, 0},
    {"コントラスト", K::Integer, 4, -100, 100, 0},
    {"リニア", K::Flag, 8, 0, 1, 0, 1, C::Check},
};
constexpr FilterParam kHueSaturation[] = {
    {"色相", K::WrapAngle, 0, -180, 180, 0},
    {"彩度", K::Integer, 4, -100, 100, 0},
    {"明度", K::Integer, 8, -100, 100, 0},
    {"モノトーン", K::Flag, 12, 0, 1, 0, 1, C::Check},
    {"リニア", K::Flag, 13, 0, 1, 0, 1, C::Check},
};
constexpr FilterParam kThreshold[] = {
    {"しきい値", K::Byte, 0, 1, 255, 128},
    {"モード", K::Byte, 1, 0, 255, 1, 1, C::None},
};
constexpr FilterParam kPosterize[] = {
    {"階調数", K::Integer, 0, 2, 254, 4},
};
constexpr FilterParam kLuminanceToAlpha[] = {
    {"色", K::Colour, 0, 0, 0xFFFFFF, 0, 1, C::None},
    {"着色", K::Flag, 4, 0, 1, 0, 1, C::None},
};

const FilterDescriptor kFilters[] = {
    {"actFilterLevels4", "レベル補正", 60, 24, "TFormLevels4", kLevels, &LevelsFilter},
    {"actFilterGamma4", "カラーバランス", 24, 16, "TFormGamma4", kColourBalance, &ColourBalanceFilter},
    {"actFilterContrast4", "明るさ・コントラスト", 62, 16, "TFormBrightnessContrast4", kBrightnessContrast,
     &BrightnessContrastFilter},
    {"actFilterHLS4", "色相・彩度", 61, 16, "TFormHueSaturation4", kHueSaturation, &HueSaturationFilter},
    {"actFilterMono", "", 20, 0, "", {}, &GreyscaleFilter},
    {"actFilterNega", "色調反転", 81, 0, "", {}, &InvertFilter},
    {"actFilterSolarization", "ソラリゼーション", 56, 0, "", {}, &SolarizeFilter},
    {"actFilterMonotone", "モノクロ2階調", 49, 8, "TFormThreshold4", kThreshold, &ThresholdFilter},
    {"actFilterPoster4", "ポスタリゼーション", 27, 8, "TFormPosterize4", kPosterize, &PosterizeFilter},
    {"ActEditDens2A", "", 63, 8, "", kLuminanceToAlpha, &LuminanceToAlphaFilter},
};

size_t FieldSize(K kind)
{
    switch (kind) {
    case K::Integer:
    case K::Float:
    case K::Colour:
    case K::WrapAngle:
    case K::Seed: return 4;
    default: return 1;
    }
}

size_t FieldAt(const FilterParam& p, int index) { return p.offset + size_t(index) * FieldSize(p.kind); }

double WrapDegrees(double v)
{
    const double w = std::fmod(v + 180.0, 360.0);
    return (w < 0 ? w + 360.0 : w) - 180.0;
}

} // namespace

std::span<const FilterDescriptor> FilterDescriptors() { return kFilters; }

const FilterDescriptor* FilterByCode(uint8_t code)
{
    auto it = std::find_if(std::begin(kFilters), std::end(kFilters), [code](const auto& d) { return d.code == code; });
    return it == std::end(kFilters) ? nullptr : &*it;
}

const FilterDescriptor* FilterByAct(std::string_view act)
{
    auto it = std::find_if(std::begin(kFilters), std::end(kFilters), [act](const auto& d) { return d.act == act; });
    return it == std::end(kFilters) ? nullptr : &*it;
}

double ReadParam(const FilterParam& p, std::span<const uint8_t> record, int index)
{
    const size_t at = FieldAt(p, index);
    switch (p.kind) {
    case K::Float: return RecordF32(record, at);
    case K::Colour: return RecordU32(record, at) & 0x00FFFFFFu;
    case K::Integer:
    case K::WrapAngle:
    case K::Seed: return RecordI32(record, at);
    default: return record[at];
    }
}

void WriteParam(const FilterParam& p, std::span<uint8_t> record, double value, int index)
{
    const size_t at = FieldAt(p, index);
    switch (p.kind) {
    case K::Float: PutRecordF32(record, at, float(value)); break;
    case K::Colour: PutRecordU32(record, at, uint32_t(roundAwaySat<int64_t>(value)) & 0x00FFFFFFu); break;
    case K::Integer:
    case K::WrapAngle:
    case K::Seed: PutRecordU32(record, at, uint32_t(roundAwaySat<int32_t>(value))); break;
    default: record[at] = uint8_t(std::clamp<int32_t>(roundAwaySat<int32_t>(value), 0, 255)); break;
    }
}

std::vector<uint8_t> DefaultRecord(const FilterDescriptor& d)
{
    std::vector<uint8_t> record(d.recordSize, 0);
    for (const FilterParam& p : d.params)
        for (int i = 0; i < p.count; ++i)
            WriteParam(p, record, p.def, i);
    return record;
}

bool ValidateRecord(const FilterDescriptor& d, const FilterRecord& r)
{
    if (r.bytes.size() != d.recordSize || (d.data == DataRule::None && !r.data.empty()))
        return false;
    for (const FilterParam& p : d.params)
        for (int i = 0; i < p.count; ++i) {
            const double v = ReadParam(p, r.bytes, i);
            if (!std::isfinite(v) || (p.kind == K::Enumeration && (v < 0 || v >= double(p.items.size()))))
                return false;
        }
    return true;
}

void SanitizeRecord(const FilterDescriptor& d, std::span<uint8_t> record)
{
    for (const FilterParam& p : d.params)
        for (int i = 0; i < p.count; ++i) {
            const double v = ReadParam(p, record, i);
            WriteParam(p, record, p.kind == K::WrapAngle ? WrapDegrees(v) : std::clamp(v, p.min, p.max), i);
        }
}

std::vector<uint8_t> PrepareRepeat(const FilterDescriptor&, std::span<const uint8_t> record)
{
    return {record.begin(), record.end()};
}

} // namespace morvane
