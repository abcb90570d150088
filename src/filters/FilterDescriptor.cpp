#include "filters/FilterDescriptor.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "filters/NeighbourFilters.h"
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

constexpr const char* kDiffuseModes[] = {"通常", "比較(暗)", "比較(明)"};
constexpr double kI32 = 2147483647.0;

constexpr FilterParam kMotionBlur[] = {
    {"角度", K::WrapShort, 2, -180, 180, 0},
    {"距離", K::Byte, 0, 1, 100, 1},
    {"方式", K::Byte, 1, 0, 2, 2, 1, C::None},
    {"角度(旧)", K::WrapFloat, 4, -180, 180, 0, 1, C::None},
};
constexpr FilterParam kZoomBlur[] = {
    {"量", K::Byte, 4, 1, 100, 1},
    {"中心 X", K::OffsetX, 0, -16383, 16383, 0},
    {"中心 Y", K::OffsetY, 2, -16383, 16383, 0},
    {"保護", K::Protect, 5, 0, 1, 0, 1, C::None},
    {"方式", K::Byte, 6, 0, 1, 1, 1, C::None},
};
constexpr FilterParam kGaussian[] = {
    {"半径", K::Float, 0, 0.1, 10, 1, 0.1},
};
constexpr FilterParam kCustomSharpen[] = {
    {"量", K::Float, 0, 0, 1, 0.3, 0.01},
};
constexpr FilterParam kNoise[] = {
    {"量", K::Integer, 0, 0, 512, 1},
    {"グレースケール", K::Flag, 4, 0, 1, 0, 1, C::Check},
    {"乱数の種", K::Seed, 8, -kI32, kI32, 0, 1, C::None},
};
constexpr FilterParam kDiffuse[] = {
    {"範囲", K::Integer, 0, 1, 255, 1},
    {"モード", K::Choice, 4, 0, 2, 0, 1, C::List, kDiffuseModes},
    {"放射状", K::Flag, 12, 0, 1, 0, 1, C::Check},
    {"乱数の種", K::Seed, 8, -kI32, kI32, 0, 1, C::None},
    {"保護", K::Protect, 14, 0, 1, 0, 1, C::None},
};
constexpr FilterParam kMosaic[] = {
    {"セルの大きさ", K::Integer, 0, 2, 255, 2},
    {"保護", K::Integer, 4, 0, 1, 0, 1, C::None},
};
constexpr FilterParam kEmboss[] = {
    // Recorded negated: the dialog shows 120 for the stored -120.
    {"角度", K::WrapAngle, 0, -180, 180, -120, 1, C::Slider, {}, 1, -1},
    {"高さ", K::Float, 4, 0.1, 100, 3, 0.1},
    {"量", K::Integer, 8, 1, 500, 100},
};
// 25 weights row by row, then divisor and offset.
constexpr double kIdentity55[25] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr FilterParam kCustom55[] = {
    {"係数", K::Integer, 0, -kI32, kI32, 0, 1, C::Edit, {}, 25, 1, -1, -1, kIdentity55},
    {"除数", K::Divisor, 100, 1, 9999, 1, 1, C::Edit},
    {"オフセット", K::Integer, 104, -9999, 9999, 0, 1, C::Edit},
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
    {"actFilterBlur", "ぼかし", 64, 0, "", {}, &BlurFilter},
    {"actFilterBlurStrong", "ぼかし(強)", 65, 0, "", {}, &StrongBlurFilter},
    {"actFilterBlurMove4", "ぼかし(移動)", 4, 8, "TFormMotionBlur4", kMotionBlur, &MotionBlurFilter,
     DataRule::None, true},
    {"actFilterBlurZoom", "ぼかし(ズーム)", 66, 8, "TFormRadialBlur4", kZoomBlur, &ZoomBlurFilter, DataRule::None,
     true},
    {"actFilterGauss", "ぼかし(ガウス)", 67, 8, "TFormGaussianBlur4", kGaussian, &GaussianBlurFilter,
     DataRule::None, true},
    {"actFilterSharp4", "シャープ", 12, 0, "", {}, &SharpenFilter},
    {"actFilterSharpStrong4", "シャープ(強)", 13, 0, "", {}, &StrongSharpenFilter},
    {"actFilterSharpCustom4", "シャープ(カスタム)", 14, 8, "TFormSharpenCustom4", kCustomSharpen,
     &CustomSharpenFilter, DataRule::None, true},
    {"actFilterNoise4", "ノイズ", 25, 16, "TFormNoise4", kNoise, &NoiseFilter, DataRule::None, true},
    {"actFilterDifuse", "拡散", 59, 16, "TFormDifuse4", kDiffuse, &DiffuseFilter, DataRule::None, true},
    {"actFilterMosaic4", "モザイク", 26, 8, "TFormMosaic4", kMosaic, &MosaicFilter, DataRule::None, true},
    {"actFilterEmboss4", "エンボス", 50, 16, "TFormEmboss4", kEmboss, &EmbossFilter, DataRule::None, true},
    {"actFilterFindEdge", "輪郭検出", 53, 0, "", {}, &FindEdgesFilter},
    {"actFilterCustom55", "カスタム", 51, 108, "TFormCustom4", kCustom55, &Custom55Filter, DataRule::Whole, true},
    // Recorded by earlier generations only: no command of their own.
    {"", "", 0, 0, "", {}, &EarlierBlurFilter},
    {"", "", 1, 0, "", {}, &EarlierStrongBlurFilter},
};

size_t FieldSize(K kind)
{
    switch (kind) {
    case K::Integer:
    case K::Float:
    case K::Colour:
    case K::WrapAngle:
    case K::Seed:
    case K::WrapFloat:
    case K::Choice:
    case K::Divisor: return 4;
    case K::Short:
    case K::WrapShort:
    case K::OffsetX:
    case K::OffsetY: return 2;
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
    case K::Float:
    case K::WrapFloat: return RecordF32(record, at);
    case K::Short:
    case K::WrapShort:
    case K::OffsetX:
    case K::OffsetY: return int16_t(record[at] | record[at + 1] << 8);
    case K::Choice:
    case K::Divisor:
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
    case K::Float:
    case K::WrapFloat: PutRecordF32(record, at, float(value)); break;
    case K::Short:
    case K::WrapShort:
    case K::OffsetX:
    case K::OffsetY: {
        const auto v = uint16_t(std::clamp<int32_t>(roundAwaySat<int32_t>(value), -32768, 32767));
        record[at] = uint8_t(v), record[at + 1] = uint8_t(v >> 8);
        break;
    }
    case K::Choice:
    case K::Divisor:
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
            WriteParam(p, record, DefaultOf(p, i), i);
    return record;
}

bool ValidateRecord(const FilterDescriptor& d, const FilterRecord& r)
{
    if (r.bytes.size() != d.recordSize || !r.data.empty())
        return false;
    for (const FilterParam& p : d.params)
        for (int i = 0; i < p.count; ++i) {
            const double v = ReadParam(p, r.bytes, i);
            const bool listed = p.kind == K::Enumeration || p.kind == K::Choice;
            if (!std::isfinite(v) || (listed && (v < 0 || v >= double(p.items.size()))))
                return false;
        }
    return true;
}

void SanitizeRecord(const FilterDescriptor& d, std::span<uint8_t> record)
{
    for (const FilterParam& p : d.params)
        for (int i = 0; i < p.count; ++i) {
            const double v = ReadParam(p, record, i);
            const bool wraps = p.kind == K::WrapAngle || p.kind == K::WrapShort || p.kind == K::WrapFloat;
            const bool keepsZero = p.kind == K::Divisor && v == 0;
            WriteParam(p, record, wraps ? WrapDegrees(v) : keepsZero ? 0 : std::clamp(v, p.min, p.max), i);
        }
}

bool IsMomentParam(const FilterParam& p) { return p.kind == K::Seed || p.kind == K::Protect; }

void PrepareDialog(const FilterDescriptor& d, std::span<uint8_t> record, const RunMoment& m)
{
    for (const FilterParam& p : d.params) {
        if (p.kind == K::Seed)
            WriteParam(p, record, int32_t(m.seed));
        else if (p.kind == K::Protect)
            WriteParam(p, record, m.protect ? 1 : 0);
        else if (p.kind == K::OffsetX || p.kind == K::OffsetY)
            WriteParam(p, record, 0);
    }
}

std::vector<uint8_t> PrepareRepeat(const FilterDescriptor& d, std::span<const uint8_t> record, const RunMoment& m)
{
    std::vector<uint8_t> out(record.begin(), record.end());
    for (const FilterParam& p : d.params) {
        if (p.kind == K::Seed)
            WriteParam(p, out, int32_t(m.seed));
        else if (p.kind == K::Protect)
            WriteParam(p, out, m.protect ? 1 : 0);
        else if (p.kind == K::OffsetX || p.kind == K::OffsetY) {
            const bool x = p.kind == K::OffsetX;
            const double now = x ? m.bounds.right - m.bounds.left : m.bounds.bottom - m.bounds.top;
            const double then = x ? m.chosenIn.right - m.chosenIn.left : m.chosenIn.bottom - m.chosenIn.top;
            if (then > 0)
                WriteParam(p, out, ReadParam(p, out) * now / then);
        }
    }
    return out;
}

} // namespace morvane
