#include "document/CLayerMngr.h"

#include <algorithm>
#include <exception>

#include "platform/UserNotifier.h"

namespace morvane {

namespace {
const char* const kBadIndex = "不正なレイヤインデックスです!";
const char* const kInitFailed = "レイヤの初期化に失敗しました!";
const char* const kAddFailed = "レイヤの追加に失敗しました!";
const char* const kMoveFailed = "レイヤ移動に失敗しました！";
} // namespace

CLayerMngr::CLayerMngr(int32_t capacity)
{
    items_.reserve(size_t(std::clamp(capacity, 0, kMaxLayers)));
}

std::string CLayerMngr::NextName(int32_t k) const
{
    return "レイヤ" + std::to_string(int64_t(NameCounter) + k);
}

void CLayerMngr::NameLayer(int32_t i, int32_t step)
{
    NameCounter += step;
    if (CLayerData* layer = At(i))
        layer->Name = NextName(0);
}

void CLayerMngr::CopyName(int32_t i, int32_t j)
{
    CLayerData* a = At(i);
    const CLayerData* b = At(j);
    if (a && b)
        a->Name = b->Name;
}

int32_t CLayerMngr::AddLayer(int32_t index, int32_t width, bool visible, uint8_t opacity, int mode, int32_t height)
{
    if (index < 0) {
        Notifier().Warn(kBadIndex);
        return -1;
    }
    if (!CanAdd()) {
        Notifier().Warn(kAddFailed);
        return -1;
    }
    auto layer = std::make_unique<CLayerData>();
    if (!layer->Setup(width, height, mode, ThumbW, ThumbH)) {
        Notifier().Warn(kInitFailed);
        return -1;
    }
    if (PictureW > 0 && PictureH > 0) {
        layer->NominalW = PictureW;
        layer->NominalH = PictureH;
        if (!layer->SizeThumbnail(ThumbW, ThumbH)) {
            Notifier().Warn(kInitFailed);
            return -1;
        }
        layer->ResetThumbnail(true);
    }
    layer->Visible = visible;
    layer->Opacity = opacity;
    layer->DitherSeed.Value = DitherSeedFor(CreatedCount);
    const int32_t at = index < Count() ? index : Count();
    try {
        items_.insert(items_.begin() + at, std::move(layer));
    } catch (const std::exception&) {
        Notifier().Warn(kAddFailed);
        return -1;
    }
    ++CreatedCount;
    if (current_ < 0)
        current_ = 0;
    Renumber();
    return at;
}

bool CLayerMngr::InsertLayer(int32_t index, std::unique_ptr<CLayerData> layer)
{
    if (!layer || !CanAdd())
        return false;
    items_.insert(items_.begin() + std::clamp(index, 0, Count()), std::move(layer));
    if (current_ < 0)
        current_ = 0;
    Renumber();
    return true;
}

std::unique_ptr<CLayerData> CLayerMngr::RemoveLayer(int32_t i)
{
    if (!IsValidIndex(i))
        return nullptr;
    std::unique_ptr<CLayerData> layer = std::move(items_[size_t(i)]);
    items_.erase(items_.begin() + i);
    KeepCurrentInRange();
    Renumber();
    return layer;
}

void CLayerMngr::DeleteLayer(int32_t i) { RemoveLayer(i); }

std::unique_ptr<CLayerData> CLayerMngr::ReplaceLayer(int32_t i, std::unique_ptr<CLayerData> layer)
{
    if (!IsValidIndex(i) || !layer)
        return layer;
    std::swap(items_[size_t(i)], layer);
    Renumber();
    return layer;
}

int32_t CLayerMngr::MoveLayer(int32_t to, int32_t from)
{
    if (!IsValidIndex(from) || to == from)
        return -1;
    to = std::clamp(to, 0, Count() - 1);
    std::unique_ptr<CLayerData> layer = std::move(items_[size_t(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(layer));
    Renumber();
    return to;
}

int32_t CLayerMngr::MoveBlock(int32_t to, int32_t from, int32_t count)
{
    if (count < 1 || !IsValidIndex(from) || count > Count() - from) {
        Notifier().Warn(kMoveFailed);
        return -1;
    }
    to = std::clamp(to, 0, Count() - count);
    if (to == from)
        return -1;
    std::vector<std::unique_ptr<CLayerData>> run;
    try {
        run.reserve(size_t(count));
    } catch (const std::exception&) {
        Notifier().Warn(kMoveFailed);
        return -1;
    }
    for (int32_t k = 0; k < count; ++k)
        run.push_back(std::move(items_[size_t(from + k)]));
    items_.erase(items_.begin() + from, items_.begin() + from + count);
    // The run's first layer takes the level of the layer it lands on, one
    // deeper when that layer leads a group (the run joins the group).
    int32_t level = 0;
    if (to > 0) {
        const CLayerData& below = *items_[size_t(to - 1)];
        const bool leads = to < Count() && items_[size_t(to)]->LinkLevel > below.LinkLevel;
        level = below.LinkLevel + (leads ? 1 : 0);
    }
    const int32_t delta = level - run.front()->LinkLevel;
    for (auto& layer : run)
        layer->SetLevel(layer->LinkLevel + delta);
    // Capacity is there: the run was just taken out.
    items_.insert(items_.begin() + to, std::make_move_iterator(run.begin()), std::make_move_iterator(run.end()));
    Renumber();
    return to;
}

void CLayerMngr::SetCurrent(int32_t i)
{
    if (IsValidIndex(i))
        current_ = i;
}

int32_t CLayerMngr::VisibleCount() const
{
    return int32_t(std::count_if(items_.begin(), items_.end(), [](const auto& l) { return l->Visible; }));
}

void CLayerMngr::ToggleAllVisible()
{
    for (auto& layer : items_)
        layer->Visible = !layer->Visible;
}

void CLayerMngr::SetAllVisible(bool visible)
{
    for (auto& layer : items_)
        layer->Visible = visible;
}

void CLayerMngr::ShowOnly(int32_t i)
{
    if (!IsValidIndex(i))
        return;
    for (int32_t k = 0; k < Count(); ++k)
        items_[size_t(k)]->Visible = k == i;
}

void CLayerMngr::SetVisibleRun(int32_t i, int32_t n, bool visible)
{
    if (!IsValidIndex(i))
        return;
    const int32_t end = int32_t(std::min<int64_t>(int64_t(i) + std::max(n, 0), Count()));
    for (int32_t k = i; k < end; ++k)
        items_[size_t(k)]->Visible = visible;
}

int32_t CLayerMngr::IndexOfId(int32_t id) const
{
    for (int32_t i = 0; i < Count(); ++i)
        if (items_[size_t(i)]->Id == id)
            return i;
    return -1;
}

int32_t CLayerMngr::IdAt(int32_t i) const { return IsValidIndex(i) ? items_[size_t(i)]->Id : -1; }

bool CLayerMngr::SwapWith(int32_t i, CLayerMngr& other, int32_t j)
{
    if (!IsValidIndex(i) || !other.IsValidIndex(j))
        return false;
    std::swap(items_[size_t(i)], other.items_[size_t(j)]);
    Renumber();
    other.Renumber();
    return true;
}

int64_t CLayerMngr::MemoryUsed() const
{
    int64_t sum = 0;
    for (const auto& layer : items_)
        sum += layer->MemoryUsed();
    return sum;
}

int32_t CLayerMngr::LinkedRunLength(int32_t i) const
{
    if (!IsValidIndex(i))
        return 0;
    int32_t n = 0;
    while (i + n + 1 < Count() && items_[size_t(i + n + 1)]->LinkLevel > items_[size_t(i)]->LinkLevel)
        ++n;
    return n;
}

int32_t CLayerMngr::HighestLevel() const
{
    int32_t level = 0;
    for (const auto& layer : items_)
        level = std::max(level, layer->LinkLevel);
    return level;
}

bool CLayerMngr::RaiseLevel(int32_t i)
{
    // Only a layer not already deeper than the one below it can link to it.
    if (i < 1 || !IsValidIndex(i) || HighestLevel() >= kRaiseLimit ||
        items_[size_t(i)]->LinkLevel > items_[size_t(i - 1)]->LinkLevel)
        return false;
    const int32_t run = LinkedRunLength(i);
    for (int32_t k = i; k <= i + run; ++k)
        items_[size_t(k)]->SetLevel(items_[size_t(k)]->LinkLevel + 1);
    return true;
}

bool CLayerMngr::LowerLevel(int32_t i)
{
    if (!IsValidIndex(i) || items_[size_t(i)]->LinkLevel == 0)
        return false;
    const int32_t run = LinkedRunLength(i);
    for (int32_t k = i; k <= i + run; ++k)
        items_[size_t(k)]->SetLevel(items_[size_t(k)]->LinkLevel - 1);
    return true;
}

void CLayerMngr::Renumber()
{
    for (int32_t i = 0; i < Count(); ++i)
        items_[size_t(i)]->Position = i;
}

void CLayerMngr::KeepCurrentInRange()
{
    current_ = Count() == 0 ? -1 : std::clamp(current_, 0, Count() - 1);
}

} // namespace morvane
