#include "gui/TOptionPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

#include "input/ToolState.h"

namespace morvane {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

int SliderSteps(const OptionControl& c) { return int(std::lround(std::pow(10.0, c.decimals))); }

} // namespace

TOptionPanel::TOptionPanel(ToolState& tools, QWidget* parent) : QWidget(parent), tools_(tools)
{
    setObjectName(QStringLiteral("optionPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    Rebuild();
    layout->addStretch();
    listener_ = tools_.Listen([this](uint32_t) {
        if (!SameLayout(controls_, OptionControlsFor(tools_)))
            Rebuild();
        else
            Refresh();
    });
}

TOptionPanel::~TOptionPanel() { tools_.Forget(listener_); }

QString TOptionPanel::ControlName(OptionId id) { return QStringLiteral("option%1").arg(int(id)); }

bool TOptionPanel::SameLayout(const std::vector<OptionControl>& a, const std::vector<OptionControl>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].id != b[i].id || a[i].caption != b[i].caption || a[i].lo != b[i].lo || a[i].hi != b[i].hi ||
            a[i].choices != b[i].choices || std::string(a[i].unit) != b[i].unit)
            return false;
    return true;
}

void TOptionPanel::Rebuild()
{
    // The old rows go once the signal that may have led here has returned.
    if (body_) {
        body_->hide();
        body_->deleteLater();
    }
    body_ = new QWidget(this);
    grid_ = new QGridLayout(body_);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setColumnStretch(1, 1);
    controls_ = OptionControlsFor(tools_);
    auto* title = new QLabel(Text(tools_.Param().Name()), body_);
    title->setObjectName(QStringLiteral("optionTitle"));
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    grid_->addWidget(title, 0, 0, 1, 3);
    for (size_t i = 0; i < controls_.size(); ++i)
        AddRow(controls_[i], int(i) + 1);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, body_);
    body_->show();
    Refresh();
}

void TOptionPanel::AddRow(const OptionControl& c, int row)
{
    const OptionId id = c.id;
    const QString tip = Text(c.hint);
    QWidget* control = nullptr;
    switch (c.kind) {
    case OptionKind::Check: {
        auto* box = new QCheckBox(Text(c.caption), body_);
        connect(box, &QCheckBox::toggled, this, [this, id](bool on) {
            if (!refreshing_)
                SetOption(tools_, id, on ? 1 : 0);
        });
        grid_->addWidget(box, row, 0, 1, 3);
        control = box;
        break;
    }
    case OptionKind::Text: {
        auto* edit = new QLineEdit(body_);
        connect(edit, &QLineEdit::editingFinished, this, [this, id, edit] {
            if (!refreshing_ && !SetOptionText(tools_, id, edit->text().toStdString()))
                Refresh();
        });
        control = edit;
        grid_->addWidget(edit, row, 1, 1, 2);
        break;
    }
    case OptionKind::Choice: {
        auto* combo = new QComboBox(body_);
        for (size_t i = 0; i < c.choices.size(); ++i)
            combo->addItem(Text(c.choices[i]), c.choiceValues[i]);
        connect(combo, &QComboBox::activated, this, [this, id, combo](int index) {
            if (!refreshing_)
                SetOption(tools_, id, combo->itemData(index).toInt());
        });
        control = combo;
        grid_->addWidget(combo, row, 1, 1, 2);
        break;
    }
    case OptionKind::Number: {
        const int steps = SliderSteps(c);
        auto* slider = new QSlider(Qt::Horizontal, body_);
        slider->setObjectName(ControlName(id) + QStringLiteral("Slider"));
        slider->setRange(int(std::lround(c.lo * steps)), int(std::lround(c.hi * steps)));
        auto* spin = new QDoubleSpinBox(body_);
        spin->setRange(c.lo, c.hi);
        spin->setDecimals(c.decimals);
        spin->setSuffix(Text(c.unit));
        spin->setKeyboardTracking(false);
        connect(slider, &QSlider::valueChanged, this, [this, id, steps](int v) {
            if (!refreshing_)
                SetOption(tools_, id, double(v) / steps);
        });
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this, id](double v) {
            if (!refreshing_)
                SetOption(tools_, id, v);
        });
        grid_->addWidget(slider, row, 1);
        grid_->addWidget(spin, row, 2);
        control = spin;
        break;
    }
    }
    control->setObjectName(ControlName(id));
    control->setToolTip(tip);
    control->setEnabled(c.enabled);
    if (c.kind != OptionKind::Check) {
        auto* label = new QLabel(Text(c.caption), body_);
        label->setBuddy(control);
        label->setToolTip(tip);
        grid_->addWidget(label, row, 0);
    }
}

void TOptionPanel::Refresh()
{
    refreshing_ = true;
    if (auto* title = body_->findChild<QLabel*>(QStringLiteral("optionTitle")))
        title->setText(Text(tools_.Param().Name()));
    for (const OptionControl& c : controls_) {
        const QString name = ControlName(c.id);
        const double value = OptionValue(tools_, c.id);
        switch (c.kind) {
        case OptionKind::Check:
            if (auto* box = body_->findChild<QCheckBox*>(name))
                box->setChecked(value != 0);
            break;
        case OptionKind::Text:
            if (auto* edit = body_->findChild<QLineEdit*>(name); edit && !edit->hasFocus())
                edit->setText(Text(tools_.Param().Name()));
            break;
        case OptionKind::Choice:
            if (auto* combo = body_->findChild<QComboBox*>(name))
                combo->setCurrentIndex(combo->findData(int(std::lround(value))));
            break;
        case OptionKind::Number:
            if (auto* spin = body_->findChild<QDoubleSpinBox*>(name))
                spin->setValue(value);
            if (auto* slider = body_->findChild<QSlider*>(name + QStringLiteral("Slider")))
                slider->setValue(int(std::lround(value * SliderSteps(c))));
            break;
        }
    }
    refreshing_ = false;
}

} // namespace morvane
