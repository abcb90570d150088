#include "gui/TLayerPanel.h"

#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "document/ModeLists.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "gui/Cp932NameValidator.h"
#include "gui/LayerListModel.h"
#include "gui/PanelLists.h"
#include "gui/TBlendModeDropDwon.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

namespace morvane {

namespace {

constexpr int kPartSide = 18;
constexpr int kLevelIndent = 6;
constexpr int kMaxIndent = 8; // levels beyond this share the last indent

// A glyph's box of w x h in the middle of a row's part.
QRect Centred(const QRect& r, int w, int h) { return {r.center().x() - w / 2, r.center().y() - h / 2, w, h}; }

void DrawEye(QPainter& p, const QRect& r, bool open)
{
    const QRect eye = Centred(r, 14, 8);
    p.setPen(QPen(open ? Qt::black : Qt::lightGray, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(eye);
    if (open) {
        p.setBrush(Qt::black);
        p.drawEllipse(eye.center(), 2, 2);
    }
}

void DrawLock(QPainter& p, const QRect& r, bool locked)
{
    p.setPen(QPen(locked ? Qt::black : Qt::lightGray, 1));
    p.setBrush(locked ? QBrush(Qt::darkYellow) : Qt::NoBrush);
    const QRect body = Centred(r, 10, 7).translated(0, 3);
    p.drawRect(body);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(body.left() + 2, body.top() - 5, body.width() - 4, 10), 0, 180 * 16);
}

void DrawChain(QPainter& p, const QRect& r)
{
    p.setPen(QPen(Qt::darkBlue, 1));
    p.setBrush(Qt::NoBrush);
    const int cx = r.right() - 5, cy = r.center().y();
    p.drawEllipse(QRect(cx - 3, cy - 7, 6, 8));
    p.drawEllipse(QRect(cx - 3, cy - 1, 6, 8));
    // The indent shows the level; the mark stands at its end.
}

class LayerRowDelegate final : public QStyledItemDelegate {
public:
    LayerRowDelegate(int thumbSide, QObject* parent) : QStyledItemDelegate(parent), thumbSide_(thumbSide) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), std::max(thumbSide_, 2 * option.fontMetrics.height()) + 4};
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        p->save();
        const bool current = index.data(LayerListModel::CurrentRole).toBool();
        p->fillRect(option.rect, current ? option.palette.highlight() : option.palette.base());
        const TLayerPanel::RowParts parts =
            TLayerPanel::PartsOf(option.rect, index.data(LayerListModel::LevelRole).toInt(), thumbSide_);
        DrawEye(*p, parts.eye, index.data(LayerListModel::VisibleRole).toBool());
        if (index.data(LayerListModel::LevelRole).toInt() > 0)
            DrawChain(*p, parts.link);
        const QImage thumb = index.data(Qt::DecorationRole).value<QImage>();
        if (!thumb.isNull()) {
            const QSize fit = thumb.size().scaled(parts.thumbnail.size(), Qt::KeepAspectRatio);
            const QRect at(parts.thumbnail.center() - QPoint(fit.width() / 2, fit.height() / 2), fit);
            DrawChecker(*p, at);
            p->drawImage(at, thumb);
            p->setPen(Qt::gray);
            p->setBrush(Qt::NoBrush);
            p->drawRect(at.adjusted(0, 0, -1, -1));
        }
        p->setPen(current ? option.palette.highlightedText().color() : option.palette.text().color());
        const int line = option.fontMetrics.height();
        const QRect text = parts.text.adjusted(4, 0, 0, 0);
        const QString name = index.data(Qt::DisplayRole).toString();
        const SLayerParam* mode = LayerParam(index.data(LayerListModel::ModeRole).toInt());
        const QString look = QStringLiteral("%1  %2%")
                                 .arg(mode ? QString::fromUtf8(mode->Name) : QString())
                                 .arg(ByteToPercent(uint8_t(index.data(LayerListModel::OpacityRole).toInt())));
        p->drawText(QRect(text.left(), text.center().y() - line, text.width(), line), Qt::AlignVCenter,
                    option.fontMetrics.elidedText(name, Qt::ElideRight, text.width()));
        p->drawText(QRect(text.left(), text.center().y(), text.width(), line), Qt::AlignVCenter, look);
        DrawLock(*p, parts.lock, index.data(LayerListModel::ProtectRole).toBool());
        p->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return NameField(parent, "layerName");
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override
    {
        const TLayerPanel::RowParts parts =
            TLayerPanel::PartsOf(option.rect, index.data(LayerListModel::LevelRole).toInt(), thumbSide_);
        editor->setGeometry(parts.text.left(), option.rect.top(), parts.text.width(), option.rect.height() / 2);
    }

private:
    int thumbSide_;
};

} // namespace

TLayerPanel::RowParts TLayerPanel::PartsOf(const QRect& row, int level, int thumbSide)
{
    RowParts r;
    const int top = row.top(), h = row.height();
    r.eye = QRect(row.left() + 2, top, kPartSide, h);
    r.link = QRect(r.eye.right() + 1, top, 10 + kLevelIndent * std::clamp(level, 0, kMaxIndent), h);
    r.thumbnail = QRect(r.link.right() + 1, top + (h - thumbSide) / 2, thumbSide, thumbSide);
    r.lock = QRect(row.right() - kPartSide - 1, top, kPartSide, h);
    r.text = QRect(r.thumbnail.right() + 1, top, std::max(0, r.lock.left() - r.thumbnail.right() - 1), h);
    return r;
}

TLayerPanel::TLayerPanel(TMainForm& form, int listType, QWidget* parent)
    : QWidget(parent), form_(form), model_(new LayerListModel(this)), list_(new QListView(this)),
      mode_(new TBlendModeDropDwon(this)), slider_(new QSlider(Qt::Horizontal, this)), percent_(new QSpinBox(this)),
      protect_(new QCheckBox(QStringLiteral("透明部分の保護"), this)), thumbSide_(ListThumbSide(listType))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    mode_->setObjectName(QStringLiteral("layerMode"));
    layout->addWidget(mode_);
    auto* opacity = new QHBoxLayout;
    opacity->addWidget(new QLabel(QStringLiteral("不透明度"), this));
    slider_->setRange(0, 100);
    percent_->setRange(0, 100);
    percent_->setSuffix(QStringLiteral("%"));
    opacity->addWidget(slider_, 1);
    opacity->addWidget(percent_);
    layout->addLayout(opacity);
    protect_->setObjectName(QStringLiteral("layerProtect"));
    layout->addWidget(protect_);

    model_->edit = [this](const std::function<bool(TPaper&)>& run) { return Edit(run); };
    list_->setModel(model_);
    list_->setItemDelegate(new LayerRowDelegate(thumbSide_, list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setDropIndicatorShown(true);
    list_->viewport()->installEventFilter(this);
    layout->addWidget(list_, 1);
    AddButtons();

    connect(mode_, &QComboBox::activated, this, [this] {
        const int mode = mode_->Mode();
        Edit([mode](TPaper& p) { return p.SetLayerMode(p.CurrentLayer(), mode); });
    });
    // A drag shows its value and records once, at the release.
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        percent_->blockSignals(true);
        percent_->setValue(v);
        percent_->blockSignals(false);
        if (!slider_->isSliderDown())
            OpacityChosen(v);
    });
    connect(slider_, &QSlider::sliderReleased, this, [this] { OpacityChosen(slider_->value()); });
    connect(percent_, &QSpinBox::editingFinished, this, [this] { OpacityChosen(percent_->value()); });
    connect(protect_, &QCheckBox::clicked, this, [this](bool on) {
        Edit([on](TPaper& p) { return p.SetLayerProtectAlpha(p.CurrentLayer(), on); });
    });
    Refresh();
}

void TLayerPanel::AddButtons()
{
    AddPanelButtons(*this, *static_cast<QVBoxLayout*>(layout()),
                    {
                        {"newLayer", "document-new", "新規レイヤ (Shift: ダイアログ)", [this] { NewLayerClicked(); }},
                        {"duplicateLayer", "edit-copy", "レイヤを複製", [this] { RunCommand("ActLyrDup"); }},
                        {"deleteLayer", "edit-delete", "レイヤを削除", [this] { RunCommand("ActLyrDel"); }},
                        {"mergeDown", "go-bottom", "下のレイヤと結合", [this] { RunCommand("ActLyrMergeD"); }},
                        {"layerUp", "go-up", "上へ", [this] { MoveCurrent(+1); }},
                        {"layerDown", "go-down", "下へ", [this] { MoveCurrent(-1); }},
                        {"layerProperties", "document-properties", "レイヤのプロパティ", [this] { RunCommand("ActLyrOpt"); }},
                    });
}

QToolButton* TLayerPanel::Button(const char* name) const
{
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

TDrawWindow* TLayerPanel::Window() const { return form_.ActiveDrawWindow(); }

bool TLayerPanel::Edit(const std::function<bool(TPaper&)>& run)
{
    const bool done = form_.EditPaper(run);
    Refresh();
    return done;
}

void TLayerPanel::RunCommand(const char* name) { form_.Run(QString::fromLatin1(name)); }

void TLayerPanel::NewLayerClicked()
{
    // The quick form, as the tool window's button always made it; the
    // dialog with Shift.
    if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)
        RunCommand("ActLyrNew");
    else
        Edit(AddQuickLayer);
}

void TLayerPanel::MoveCurrent(int step)
{
    Edit([step](TPaper& p) {
        const int32_t i = p.CurrentLayer();
        CLayerMngr& layers = p.Layers();
        const int32_t count = layers.LinkedRunLength(i) + 1;
        // Up: past the layer above the run; a run moves whole.
        const int32_t to = i + step;
        if (to < 0 || to + count > p.LayerCount())
            return false;
        return count > 1 ? p.MoveLinkGroup(i, to) : p.MoveLayer(i, to);
    });
}

void TLayerPanel::OpacityChosen(int percent)
{
    const int value = PercentToByte(percent);
    Edit([value](TPaper& p) {
        const CLayerData* layer = p.LayerAt(p.CurrentLayer());
        return layer && (layer->Opacity == value || p.SetLayerOpacity(p.CurrentLayer(), value));
    });
}

void TLayerPanel::Refresh()
{
    TDrawWindow* window = Window();
    const bool editable = window && window->CanEditNow();
    model_->SetPaper(window ? &window->Paper() : nullptr, !editable);
    const CLayerData* layer = window ? window->Paper().LayerAt(window->Paper().CurrentLayer()) : nullptr;
    for (QWidget* control : std::initializer_list<QWidget*>{mode_, slider_, percent_, protect_})
        control->setEnabled(editable && layer);
    for (QToolButton* button : findChildren<QToolButton*>())
        button->setEnabled(editable);
    if (layer) {
        mode_->SetMode(layer->Mode);
        const QSignalBlocker a(slider_), b(percent_), c(protect_);
        if (!slider_->isSliderDown())
            slider_->setValue(ByteToPercent(layer->Opacity));
        if (!percent_->hasFocus())
            percent_->setValue(ByteToPercent(layer->Opacity));
        protect_->setChecked(layer->ProtectAlpha);
        const QModelIndex current = model_->index(model_->RowOfLayer(window->Paper().CurrentLayer()));
        if (list_->currentIndex() != current)
            list_->setCurrentIndex(current);
    }
}

void TLayerPanel::RefreshEntry(int32_t layerIndex)
{
    if (layerIndex < 0)
        Refresh();
    else
        model_->RefreshEntry(layerIndex);
}

QRect TLayerPanel::RowRect(int row) const { return list_->visualRect(model_->index(row)); }

void TLayerPanel::ClickRow(int row, const QPoint& at, Qt::KeyboardModifiers)
{
    const int32_t i = model_->LayerOfRow(row);
    TDrawWindow* window = Window();
    if (!window || row < 0 || row >= model_->rowCount() || !window->CanEditNow())
        return;
    const CLayerData* layer = window->Paper().LayerAt(i);
    const RowParts parts = PartsOf(RowRect(row), layer->LinkLevel, thumbSide_);
    const bool visible = layer->Visible, protect = layer->ProtectAlpha, linked = layer->LinkLevel > 0;
    if (parts.eye.contains(at))
        Edit([i, visible](TPaper& p) { return p.SetLayerVisible(i, !visible); });
    else if (parts.lock.contains(at))
        Edit([i, protect](TPaper& p) { return p.SetLayerProtectAlpha(i, !protect); });
    else if (parts.link.contains(at))
        Edit([i, linked](TPaper& p) { return p.LinkLayer(i, !linked); });
    else
        // The current layer is no step of its own: the next command records it.
        Edit([i](TPaper& p) { return p.SelectLayer(i); });
}

void TLayerPanel::DoubleClickRow(int row, const QPoint& at)
{
    TDrawWindow* window = Window();
    if (!window || row < 0 || row >= model_->rowCount() || !window->CanEditNow())
        return;
    const CLayerData* layer = window->Paper().LayerAt(model_->LayerOfRow(row));
    const RowParts parts = PartsOf(RowRect(row), layer->LinkLevel, thumbSide_);
    if (parts.thumbnail.contains(at)) {
        Edit([i = model_->LayerOfRow(row)](TPaper& p) { return p.SelectLayer(i); });
        RunCommand("ActLyrOpt");
    } else if (parts.text.contains(at)) {
        list_->edit(model_->index(row));
    }
}

bool TLayerPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != list_->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint at = mouse->position().toPoint();
    const QModelIndex index = list_->indexAt(at);
    if (!index.isValid())
        return false;
    if (event->type() == QEvent::MouseButtonDblClick) {
        DoubleClickRow(index.row(), at);
        return true;
    }
    ClickRow(index.row(), at, mouse->modifiers());
    // Left to the view as well: a press on the row's body may start a drag.
    return false;
}

} // namespace morvane
