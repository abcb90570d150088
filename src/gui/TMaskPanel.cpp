#include "gui/TMaskPanel.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "document/CMaskMngr.h"
#include "document/TPaper.h"
#include "gui/MaskListModel.h"
#include "gui/PanelLists.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

namespace morvane {

namespace {

class MaskRowDelegate final : public QStyledItemDelegate {
public:
    MaskRowDelegate(int thumbSide, QObject* parent) : QStyledItemDelegate(parent), thumbSide_(thumbSide) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), std::max(thumbSide_, option.fontMetrics.height()) + 4};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        p->save();
        const bool current = index.data(MaskListModel::CurrentRole).toBool();
        p->fillRect(option.rect, current ? option.palette.highlight() : option.palette.base());
        const QRect box(option.rect.left() + 4, option.rect.top() + (option.rect.height() - thumbSide_) / 2,
                        thumbSide_, thumbSide_);
        const QImage thumb = index.data(Qt::DecorationRole).value<QImage>();
        if (!thumb.isNull()) {
            const QRect at(box.center() - QPoint(thumb.width() / 2, thumb.height() / 2), thumb.size());
            p->drawImage(at, thumb);
            p->setPen(Qt::gray);
            p->drawRect(at.adjusted(0, 0, -1, -1));
        }
        const QRect text(box.right() + 8, option.rect.top(), option.rect.right() - box.right() - 8,
                         option.rect.height());
        p->setPen(current ? option.palette.highlightedText().color() : option.palette.text().color());
        p->drawText(text, Qt::AlignVCenter,
                    option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
        p->restore();
    }

private:
    int thumbSide_;
};

} // namespace

TMaskPanel::TMaskPanel(TMainForm& form, int listType, QWidget* parent)
    : QWidget(parent), form_(form), thumbSide_(ListThumbSide(listType)), model_(new MaskListModel(thumbSide_, this)),
      list_(new QListView(this)), menu_(new QMenu(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    model_->edit = [this](const std::function<bool(TPaper&)>& run) { return Edit(run); };
    list_->setModel(model_);
    list_->setItemDelegate(new MaskRowDelegate(thumbSide_, list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setDropIndicatorShown(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->viewport()->installEventFilter(this);
    layout->addWidget(list_, 1);
    AddButtons();
    Refresh();
}

void TMaskPanel::AddButtons()
{
    const auto run = [this](const char* command) {
        return [this, command] {
            form_.Run(QString::fromLatin1(command));
            Refresh();
        };
    };
    AddPanelButtons(*this, *static_cast<QVBoxLayout*>(layout()),
                    {
                        {"newMask", "document-new", "新規マスク", run("ActMaskNew")},
                        {"duplicateMask", "edit-copy", "マスクを複製", run("ActMaskDup")},
                        {"deleteMask", "edit-delete", "マスクを削除", run("ActMaskDel")},
                    });
}

QToolButton* TMaskPanel::Button(const char* name) const
{
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

bool TMaskPanel::Editable() const
{
    const TDrawWindow* window = form_.ActiveDrawWindow();
    return window && window->CanEditNow();
}

bool TMaskPanel::Edit(const std::function<bool(TPaper&)>& run)
{
    const bool done = form_.EditPaper(run);
    Refresh();
    return done;
}

void TMaskPanel::Refresh()
{
    TDrawWindow* window = form_.ActiveDrawWindow();
    const bool editable = Editable();
    model_->SetPaper(window ? &window->Paper() : nullptr, !editable);
    for (QToolButton* button : findChildren<QToolButton*>())
        button->setEnabled(editable);
    if (window) {
        const QModelIndex current = model_->index(window->Paper().Masks().Current());
        if (list_->currentIndex() != current)
            list_->setCurrentIndex(current);
    }
}

void TMaskPanel::ClickRow(int row)
{
    if (Editable() && row >= 0 && row < model_->rowCount())
        Edit([row](TPaper& p) { return p.SelectMask(row); });
}

void TMaskPanel::DoubleClickRow(int row)
{
    if (!Editable() || row < 0 || row >= model_->rowCount())
        return;
    ClickRow(row);
    form_.Run(QStringLiteral("ActMaskOption"));
    Refresh();
}

bool TMaskPanel::Combine(int row, CombineMode mode)
{
    return Editable() && Edit([row, mode](TPaper& p) { return p.CombineMasks(row, p.Masks().Current(), mode); });
}

QMenu* TMaskPanel::MenuFor(int row)
{
    menu_->clear();
    TDrawWindow* window = form_.ActiveDrawWindow();
    const bool usable = Editable() && row >= 0 && row < model_->rowCount() && row != window->Paper().Masks().Current();
    const std::pair<const char*, CombineMode> entries[] = {
        {"選択範囲をコピー(&C)", CombineMode::Replace},
        {"選択範囲に加える(&A)", CombineMode::Add},
        {"選択範囲から取り除く(&R)", CombineMode::Subtract},
        {"共通部分に置き換える(&E)", CombineMode::Intersect},
    };
    for (const auto& [text, mode] : entries) {
        QAction* action = menu_->addAction(QString::fromUtf8(text));
        action->setEnabled(usable);
        connect(action, &QAction::triggered, this, [this, row, mode = mode] { Combine(row, mode); });
    }
    return menu_;
}

bool TMaskPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != list_->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        const QModelIndex index = list_->indexAt(menuEvent->pos());
        if (index.isValid())
            MenuFor(index.row())->popup(menuEvent->globalPos());
        return true;
    }
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex index = list_->indexAt(mouse->position().toPoint());
    if (mouse->button() != Qt::LeftButton || !index.isValid())
        return false;
    if (event->type() == QEvent::MouseButtonDblClick) {
        DoubleClickRow(index.row());
        return true;
    }
    ClickRow(index.row());
    // Left to the view as well: a press may start a drag.
    return false;
}

} // namespace morvane
