#include "app/ToolCatalog.h"

#include <cctype>

#include "input/InputRouter.h"

namespace morvane {

namespace {

constexpr Operation kPaint{};

constexpr int8_t K(PaintKind kind) { return int8_t(kind); }

constexpr ToolItem kPencils[] = {
    {"鉛筆", kPaint, K(PaintKind::Pencil4), "draw-freehand"},
    {"鉛筆 - 3互換", kPaint, K(PaintKind::Pencil1), "draw-freehand"},
};
constexpr ToolItem kErasers[] = {
    {"消しゴム", kPaint, K(PaintKind::Eraser4), "draw-eraser"},
    {"マジック消しゴム", {ToolClass::SeedFill, 1}, -1, "tool_color_eraser"},
    {"消しゴム - 3互換", kPaint, K(PaintKind::Eraser1), "draw-eraser"},
};
constexpr ToolItem kWaterColours[] = {
    {"透明水彩", kPaint, K(PaintKind::WaterColor4), "draw-watercolor"},
    {"透明水彩 - 3互換", kPaint, K(PaintKind::WaterColor1), "draw-watercolor"},
};
constexpr ToolItem kAirBrushes[] = {
    {"エアーブラシ", kPaint, K(PaintKind::AirBrush4), "tool-spray"},
    {"エア-ブラシ - 3互換", kPaint, K(PaintKind::AirBrush1), "tool-spray"},
};
constexpr ToolItem kBlurs[] = {
    {"ぼかし", kPaint, K(PaintKind::Blur4), "blurimage"},
    {"指先", kPaint, K(PaintKind::FingerTip4), "morvane-fingertip"},
    {"のばし", kPaint, K(PaintKind::Spread4), "morvane-spread"},
    {"ぼかし - 3互換", kPaint, K(PaintKind::Blur1), "blurimage"},
    {"指先 - 3互換", kPaint, K(PaintKind::FingerTip1), "morvane-fingertip"},
};
constexpr ToolItem kBurns[] = {
    {"焼き込み", kPaint, K(PaintKind::Burn4), "morvane-burn"},
    {"覆い焼き", kPaint, K(PaintKind::Dodge4), "morvane-dodge"},
    {"焼き込み - 3互換", kPaint, K(PaintKind::Burn1), "morvane-burn"},
    {"覆い焼き - 3互換", kPaint, K(PaintKind::Dodge1), "morvane-dodge"},
};
constexpr ToolItem kPickers[] = {
    {"スポイト", {ToolClass::ColourPicker, 0}, -1, "color-picker"},
};
constexpr ToolItem kViews[] = {
    {"手のひら", {ToolClass::View, kViewHand}, -1, "hand"},
    {"表示回転", {ToolClass::View, kViewRotate}, -1, "transform-rotate"},
    {"ペンのサイズ変更", {ToolClass::View, kViewBrushSize}, -1, "morvane-brush-size"},
};
constexpr ToolItem kZooms[] = {
    {"拡大", {ToolClass::Zoom, kZoomIn}, -1, "zoom-in"},
    {"縮小", {ToolClass::Zoom, kZoomOut}, -1, "zoom-out"},
};
constexpr ToolItem kSeedFills[] = {
    {"塗りつぶし", {ToolClass::SeedFill, 2}, -1, "color-fill"},
    {"自動選択", {ToolClass::SeedFill, 3}, -1, "morvane-wand"},
};
constexpr ToolItem kMoves[] = {
    {"レイヤ移動", {ToolClass::Move, 0}, -1, "transform-move"},
    {"選択範囲の移動", {ToolClass::Move, 1}, -1, "edit-select"},
    {"選択範囲とレイヤの移動", {ToolClass::Move, 2}, -1, "morvane-move-selection"},
    {"グラデーション", {ToolClass::Move, 3}, -1, "color-gradient"},
    {"切り抜き", {ToolClass::Move, 4}, -1, "transform-crop"},
};
constexpr ToolItem kShapes[] = {
    {"単線描画", {ToolClass::Shape, 0}, -1, "draw-line"},
    {"複線描画", {ToolClass::Shape, 1}, -1, "draw-polyline"},
    {"矩形描画", {ToolClass::Shape, 2}, -1, "draw-rectangle"},
    {"楕円描画", {ToolClass::Shape, 3}, -1, "draw-ellipse"},
    {"多角形描画", {ToolClass::Shape, 4}, -1, "draw-polygon"},
};
constexpr ToolItem kAreaFills[] = {
    {"矩形塗りつぶし", {ToolClass::AreaFill, 0}, -1, "morvane-fill-rectangle"},
    {"楕円塗りつぶし", {ToolClass::AreaFill, 1}, -1, "morvane-fill-ellipse"},
    {"多角形塗りつぶし", {ToolClass::AreaFill, 2}, -1, "morvane-fill-polygon"},
    {"自由塗りつぶし", {ToolClass::AreaFill, 3}, -1, "morvane-fill-free"},
};
constexpr ToolItem kSelections[] = {
    {"矩形選択", {ToolClass::Selection, 0}, -1, "tool_rect_selection"},
    {"楕円選択", {ToolClass::Selection, 1}, -1, "tool_elliptical_selection"},
    {"多角形選択", {ToolClass::Selection, 2}, -1, "morvane-select-polygon"},
    {"自由選択", {ToolClass::Selection, 3}, -1, "tool_free_form_selection"},
};
constexpr ToolItem kTexts[] = {
    {"文字描画", {ToolClass::Text, 0}, -1, "draw-text"},
    {"文字選択", {ToolClass::Text, 1}, -1, "edit-select-text"},
};

constexpr ToolGroup kGroups[] = {
    {'B', true, kPencils},     {'E', true, kErasers},    {'W', true, kWaterColours}, {'A', true, kAirBrushes},
    {'R', true, kBlurs},       {'O', true, kBurns},      {'I', false, kPickers},     {'H', false, kViews},
    {'Z', false, kZooms},      {0, false, kSeedFills},   {0, false, kMoves},         {0, false, kShapes},
    {0, false, kAreaFills},    {0, false, kSelections},  {0, false, kTexts},
};
static_assert(std::size(kGroups) <= 16);

bool Matches(const ToolItem& item, const ToolState& tools)
{
    if (item.kind >= 0)
        return tools.Current() == Operation{} && int(tools.Kind()) == item.kind;
    return tools.Current() == item.operation;
}

} // namespace

std::span<const ToolGroup> ToolGroups() { return kGroups; }

bool ItemAvailable(const ToolItem& item) { return OperationBuilt(item.operation); }

const ToolItem* ItemOf(const ToolState& tools)
{
    for (const ToolGroup& group : kGroups)
        for (const ToolItem& item : group.items)
            if (Matches(item, tools))
                return &item;
    return nullptr;
}

void ChooseItem(ToolState& tools, const ToolItem& item)
{
    if (!ItemAvailable(item))
        return;
    if (item.kind >= 0)
        tools.SelectKind(PaintKind(item.kind));
    else
        tools.Select(item.operation);
}

void ToolPicker::Follow(const ToolState& tools)
{
    for (size_t g = 0; g < std::size(kGroups); ++g)
        for (size_t i = 0; i < kGroups[g].items.size(); ++i)
            if (Matches(kGroups[g].items[i], tools))
                last_[g] = i;
}

const ToolItem& ToolPicker::LastUsed(size_t group) const
{
    const ToolGroup& g = kGroups[group < std::size(kGroups) ? group : 0];
    return g.items[last_[group] < g.items.size() ? last_[group] : 0];
}

const ToolItem* ToolPicker::Key(char key, bool shift, bool stepNext, const ToolState& tools) const
{
    key = char(std::toupper(static_cast<unsigned char>(key)));
    for (size_t g = 0; g < std::size(kGroups); ++g) {
        const ToolGroup& group = kGroups[g];
        if (key == 0 || group.key != key)
            continue;
        const size_t n = group.items.size();
        const size_t at = last_[g] < n ? last_[g] : 0;
        const bool inGroup = Matches(group.items[at], tools);
        if (!inGroup || shift == stepNext)
            return &group.items[at];
        for (size_t step = 1; step <= n; ++step)
            if (const ToolItem& next = group.items[(at + step) % n]; ItemAvailable(next))
                return &next;
        return &group.items[at];
    }
    return nullptr;
}

} // namespace morvane
