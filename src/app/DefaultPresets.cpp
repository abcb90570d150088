#include "app/DefaultPresets.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "files/BrushPresetFile.h"
#include "files/NibPresetFile.h"
#include "files/PresetLocation.h"
#include "paint/CPenMethodMngr.h"
#include "paint/CPenShapeMngr.h"
#include "paint/PenSlots.h"
#include "paint/TPaintParam.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {

// Names of the seven built-in round nibs, in their order.
constexpr const char* kRoundNibNames[CPenShapeMngr::kBuiltInCount] = {
    "鉛筆", "透明水彩", "硬い円", "柔らかい円", "エアーブラシ", "指先", "焼き込み",
};

// The linear step of the program's random generators, so the bitmaps are
// the same on every machine.
class Steps {
public:
    explicit Steps(uint32_t seed) : state_(seed) {}
    // 0 .. 1
    double Next()
    {
        state_ = state_ * 134775813u + 1u;
        return double(state_ >> 8) / double(1u << 24);
    }

private:
    uint32_t state_;
};

// A bitmap nib from a coverage function over w x h, four samples a pixel
// each way.
template <typename Coverage>
std::unique_ptr<CPenShapeObj> BitmapNib(const char* name, int32_t w, int32_t h, Coverage coverage)
{
    auto channel = std::make_unique<TChannel>(w, h);
    if (!channel->IsValid())
        return nullptr;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    inside += coverage(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0) ? 1 : 0;
            // The channel keeps 255 - coverage.
            *channel->PixelPtr(x, y) = uint8_t(255 - (inside * 255 + 8) / 16);
        }
    auto nib = std::make_unique<CPenShapeObj>();
    nib->valid = true;
    nib->isBitmap = 1;
    nib->name = name;
    if (!nib->SetBitmap(std::move(channel)))
        return nullptr;
    return nib;
}

// Streaks across a disc, as a dry brush leaves them.
std::unique_ptr<CPenShapeObj> StreakNib()
{
    constexpr int32_t kSide = 48;
    std::vector<double> rows(kSide);
    Steps steps(20);
    for (double& r : rows)
        r = steps.Next();
    return BitmapNib("かすれ", kSide, kSide, [&](double x, double y) {
        const double dx = x - kSide / 2.0, dy = y - kSide / 2.0;
        return dx * dx + dy * dy < 23.0 * 23.0 && rows[size_t(y)] > 0.35;
    });
}

// A five-pointed star.
std::unique_ptr<CPenShapeObj> StarNib()
{
    constexpr int32_t kSide = 41;
    // Directions every 36 degrees from straight up, written out: the bytes
    // must not depend on the machine's sine.
    constexpr double kC36 = 0.80901699437494742, kS36 = 0.58778525229247313;
    constexpr double kC72 = 0.30901699437494742, kS72 = 0.95105651629515357;
    constexpr double kDirections[10][2] = {{0, -1},      {kS36, -kC36}, {kS72, -kC72}, {kS72, kC72},
                                           {kS36, kC36}, {0, 1},        {-kS36, kC36}, {-kS72, kC72},
                                           {-kS72, -kC72}, {-kS36, -kC36}};
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 8.0 : 20.0;
        points.push_back({kSide / 2.0 + r * kDirections[i][0], kSide / 2.0 + r * kDirections[i][1]});
    }
    return BitmapNib("星", kSide, kSide, [&](double x, double y) {
        bool in = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                in = !in;
        }
        return in;
    });
}

// Scattered dots of a few sizes.
std::unique_ptr<CPenShapeObj> DotsNib()
{
    constexpr int32_t kSide = 40;
    struct Dot {
        double x, y, r;
    };
    std::vector<Dot> dots;
    Steps steps(7);
    // Points of a square kept when they lie in its disc.
    while (dots.size() < 28) {
        const double x = steps.Next() * 2 - 1, y = steps.Next() * 2 - 1, r = 1.0 + steps.Next() * 2.0;
        if (x * x + y * y <= 1)
            dots.push_back({kSide / 2.0 + 16.0 * x, kSide / 2.0 + 16.0 * y, r});
    }
    return BitmapNib("点描", kSide, kSide, [&](double x, double y) {
        for (const Dot& d : dots)
            if ((x - d.x) * (x - d.x) + (y - d.y) * (y - d.y) < d.r * d.r)
                return true;
        return false;
    });
}

// A brush: the kind, its name, the nib it starts from, and what differs
// from its stroke method's first use.
struct BrushPlan {
    PaintKind kind;
    const char* name;
    const char* nib;
    float density = 0, spacing = 0; // 0: the first use's
};

constexpr BrushPlan kBrushes[] = {
    {PaintKind::Pencil4, "鉛筆", "鉛筆"},
    {PaintKind::Eraser4, "消しゴム", "硬い円"},
    {PaintKind::WaterColor4, "透明水彩", "透明水彩"},
    {PaintKind::AirBrush4, "エアーブラシ", "エアーブラシ"},
    {PaintKind::Blur4, "ぼかし", "柔らかい円"},
    {PaintKind::FingerTip4, "指先", "指先"},
    {PaintKind::Spread4, "のばし", "指先"},
    {PaintKind::Burn4, "焼き込み", "焼き込み"},
    {PaintKind::Dodge4, "覆い焼き", "焼き込み"},
    {PaintKind::AirBrush4, "かすれ", "かすれ", 0.5f, 0.25f},
    {PaintKind::AirBrush4, "星", "星", 1.0f, 1.2f},
    {PaintKind::AirBrush4, "点描", "点描", 0.8f, 0.6f},
};

const CPenShapeObj* NibNamed(const CPenShapeMngr& nibs, const char* name)
{
    for (int32_t i = 0; i < nibs.Count(); ++i)
        if (nibs.Item(i)->name == name)
            return nibs.Item(i);
    return nullptr;
}

std::unique_ptr<CPenMethodObj> MakeBrush(const BrushPlan& plan, const CPenShapeMngr& nibs)
{
    const CPenShapeObj* nib = NibNamed(nibs, plan.nib);
    if (!nib)
        return nullptr;
    TPaintParam param(plan.kind);
    param.FromNibPreset(nib->PresetParts());
    const PenSettingRecord first = PenSlotDefaults(param.Info().strokeMethod);
    param.SetName(plan.name);
    param.SetPressureSize(first.pressureSize);
    param.SetPressureDensity(first.pressureDensity);
    param.SetDensity(plan.density > 0 ? plan.density : first.density);
    // The first uses space the compatible engine's dabs; the current engine
    // takes a tenth of the radius where they name no spacing of their own.
    param.SetSpacing(plan.spacing > 0 ? plan.spacing : first.spacing >= 0.5f ? 0.1f : first.spacing);
    param.SetEffect(1, first.effect1);
    param.SetEffect(2, first.effect2);
    param.SetEffect(3, first.effect3);
    param.SetGamma(first.gamma);
    auto brush = std::make_unique<CPenMethodObj>();
    if (!brush->FromPaintParam(param))
        return nullptr;
    brush->valid = true;
    return brush;
}

} // namespace

bool MakeDefaultNibs(CPenShapeMngr& nibs)
{
    try {
        if (!nibs.FillBuiltIns())
            return false;
        for (int32_t i = 0; i < nibs.Count(); ++i)
            nibs.Item(i)->name = kRoundNibNames[i];
        for (auto make : {StreakNib, StarNib, DotsNib}) {
            std::unique_ptr<CPenShapeObj> nib = make();
            if (!nib || nibs.Add(std::move(nib)) < 0)
                return false;
        }
        nibs.Select(0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool MakeDefaultBrushes(CPenMethodMngr& brushes, const CPenShapeMngr& nibs)
{
    try {
        brushes.Clear();
        for (const BrushPlan& plan : kBrushes) {
            std::unique_ptr<CPenMethodObj> brush = MakeBrush(plan, nibs);
            if (!brush || brushes.Add(std::move(brush)) < 0)
                return false;
        }
        brushes.Select(0);
        return brushes.HasEveryKind();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int WriteDefaultPresets(const std::string& folder)
{
    CPenShapeMngr nibs;
    CPenMethodMngr brushes;
    if (!MakeDefaultNibs(nibs) || !MakeDefaultBrushes(brushes, nibs))
        return -1;
    const std::filesystem::path at(folder);
    if (const WriteCode code = WriteNibPresetFile((at / kDefaultNibFile).string(), nibs); code != WriteCode::Ok)
        return CodeNumber(code);
    return CodeNumber(WriteBrushPresetFile((at / kDefaultBrushFile).string(), brushes));
}

} // namespace morvane
