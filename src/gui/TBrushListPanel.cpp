#include "gui/TBrushListPanel.h"

#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

#include "app/ToolCatalog.h"
#include "input/ToolState.h"
#include "gui/ToolIcons.h"
#include "paint/CPenMethodObj.h"

namespace morvane {

namespace {

// Where an entry leads: a preset's index in the list, or a slot 1-5.
constexpr int kSlotRole = Qt::UserRole + 1;
constexpr int kPresetRole = Qt::UserRole + 2;

QIcon KindIcon(PaintKind kind)
{
    for (const ToolGroup& group : ToolGroups())
        for (const ToolItem& item : group.items)
            if (item.kind == int(kind))
                return ToolIcon(item.icon);
    return {};
}

} // namespace

TBrushListPanel::TBrushListPanel(ToolState& tools, int listType, QWidget* parent)
    : QWidget(parent), tools_(tools), list_(new QListWidget(this))
{
    setObjectName(QStringLiteral("brushListPanel"));
    list_->setObjectName(QStringLiteral("brushList"));
    if (listType == 1) {
        list_->setViewMode(QListView::IconMode);
        list_->setIconSize(QSize(32, 32));
        list_->setResizeMode(QListView::Adjust);
        list_->setGridSize(QSize(72, 56));
    } else {
        list_->setIconSize(QSize(22, 22));
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(list_);
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { Chosen(list_->row(item)); });
    // Rebuilt after the event that changed the tool: a click on an entry
    // must not see its list cleared under it.
    listener_ = tools_.Listen([this](uint32_t changes) {
        const uint32_t shown = toolchange::kOperation | toolchange::kBrushes | toolchange::kSlots |
                               (tools_.ChosenSlot(tools_.Kind()) ? toolchange::kParams : 0u);
        if (!(changes & shown) || pending_)
            return;
        pending_ = true;
        QMetaObject::invokeMethod(this, [this] {
            pending_ = false;
            Rebuild();
        }, Qt::QueuedConnection);
    });
    Rebuild();
}

TBrushListPanel::~TBrushListPanel() { tools_.Forget(listener_); }

void TBrushListPanel::Rebuild()
{
    const QSignalBlocker quiet(list_);
    list_->clear();
    const PaintKind kind = tools_.Kind();
    if (const int chosen = tools_.ChosenSlot(kind)) {
        for (int slot = 1; slot <= kPenSlotsPerTool; ++slot) {
            const int tool = int(std::find(PenSlotKinds().begin(), PenSlotKinds().end(), kind) - PenSlotKinds().begin());
            const PenSettingRecord* record = tools_.Slots().Slot(tool, slot);
            auto* item = new QListWidgetItem(KindIcon(kind), QStringLiteral("スロット%1 (%2px)")
                                                                 .arg(slot)
                                                                 .arg(record ? double(record->radius) : 0.0, 0, 'f', 1));
            item->setData(kSlotRole, slot);
            list_->addItem(item);
            if (slot == chosen)
                list_->setCurrentItem(item);
        }
        return;
    }
    const CPenMethodMngr& brushes = tools_.Brushes();
    for (int32_t i = 0; i < brushes.Count(); ++i) {
        const CPenMethodObj* preset = brushes.Item(i);
        if (!preset || preset->Kind() != kind)
            continue;
        const QIcon icon = preset->SmallIcon() ? PictureIcon(*preset->SmallIcon()) : KindIcon(kind);
        auto* item = new QListWidgetItem(icon, QString::fromStdString(preset->name));
        item->setData(kPresetRole, i);
        list_->addItem(item);
        if (i == brushes.Selected())
            list_->setCurrentItem(item);
    }
}

void TBrushListPanel::Chosen(int row)
{
    QListWidgetItem* item = list_->item(row);
    if (!item)
        return;
    if (const int slot = item->data(kSlotRole).toInt())
        tools_.ChooseSlot(slot);
    else if (item->data(kPresetRole).isValid())
        tools_.ChoosePreset(item->data(kPresetRole).toInt());
}

} // namespace morvane
