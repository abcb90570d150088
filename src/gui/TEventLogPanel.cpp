#include "gui/TEventLogPanel.h"

#include <QListView>
#include <QVBoxLayout>

#include "gui/EventLogModel.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

namespace morvane {

TEventLogPanel::TEventLogPanel(TMainForm& form, QWidget* parent)
    : QWidget(parent), form_(form), model_(new EventLogModel(this)), list_(new QListView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    list_->setObjectName(QStringLiteral("eventLog"));
    // A long recording costs no widget and no measuring per row.
    list_->setUniformItemSizes(true);
    list_->setModel(model_);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(list_);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) { StepTo(index.row()); });
    Refresh();
}

void TEventLogPanel::Refresh()
{
    TDrawWindow* w = form_.ActiveDrawWindow();
    model_->SetPaper(w ? &w->Paper() : nullptr);
    if (model_->Current() > 0)
        list_->scrollTo(model_->index(model_->Current() - 1));
}

bool TEventLogPanel::StepTo(int row)
{
    TDrawWindow* w = form_.ActiveDrawWindow();
    if (!w || !w->CanEditNow() || row < 0 || row >= model_->rowCount())
        return false;
    const int32_t target = row + 1;
    bool moved = true;
    while (moved && model_->Current() > target) {
        moved = form_.Run(QStringLiteral("ActEditUndo"));
        model_->Refresh();
    }
    while (moved && model_->Current() < target) {
        moved = form_.Run(QStringLiteral("ActEditRedo"));
        model_->Refresh();
    }
    return model_->Current() == target;
}

} // namespace morvane
