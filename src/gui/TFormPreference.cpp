#include "gui/TFormPreference.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cstring>
#include <variant>

namespace morvane {

namespace {

// The names of the choices the table leaves as numbers.
QStringList ChoiceNames(const char* setting, int count)
{
    if (std::strcmp(setting, "DrawToolCursor") == 0 || std::strcmp(setting, "OtherToolCursor") == 0)
        return {QStringLiteral("標準"), QStringLiteral("精細")};
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QString::number(i);
    return names;
}

// The file types a "参照" button offers, by the value it fills.
QString FilterOf(const char* setting)
{
    const struct {
        const char* setting;
        const char* filter;
    } filters[] = {{"CursorFile", "カーソル (*.cur *.png *.bmp)"},
                   {"brushFile", "ブラシ設定 (*.pmt)"},
                   {"nibFile", "ペン先設定 (*.psh)"},
                   {"palFile", "色見本 (*.mpl *.aco *.pcs *.txt)"},
                   {"gradFile2", "グラデーション (*.mgs)"}};
    for (const auto& f : filters)
        if (std::strcmp(f.setting, setting) == 0)
            return QString::fromUtf8(f.filter);
    return {};
}

void SetColourButton(QPushButton* b, int32_t rgb)
{
    b->setProperty("colour", rgb);
    const QColor c = QColor::fromRgb(QRgb(uint32_t(rgb) & 0xFFFFFFu));
    b->setStyleSheet(QStringLiteral("background: %1").arg(c.name()));
}

} // namespace

TFormPreference::TFormPreference(CAppProfile& profile, QWidget* parent)
    : QDialog(parent), profile_(profile), pages_(new QListWidget(this)), stack_(new QStackedWidget(this))
{
    setWindowTitle(QStringLiteral("環境設定"));
    askFile = [this](const QString& filter) { return QFileDialog::getOpenFileName(this, QString(), QString(), filter); };
    auto* top = new QHBoxLayout;
    pages_->setObjectName(QStringLiteral("pageList"));
    pages_->setMaximumWidth(150);
    top->addWidget(pages_);
    top->addWidget(stack_, 1);
    const std::vector<SettingEntry> table = profile_.Table();
    QFormLayout* form = nullptr;
    const char* page = nullptr;
    for (const PreferenceControl& c : PreferenceControls()) {
        if (!page || std::strcmp(page, c.page) != 0) {
            page = c.page;
            pages_->addItem(QString::fromUtf8(page));
            auto* widget = new QWidget(stack_);
            form = new QFormLayout(widget);
            stack_->addWidget(widget);
        }
        QWidget* control = MakeControl(c, *FindSetting(table, c.section, c.setting), stack_->widget(stack_->count() - 1));
        controls_.push_back(control);
        if (c.kind == ControlKind::Check)
            form->addRow(control);
        else
            form->addRow(QString::fromUtf8(c.caption), control);
    }
    connect(pages_, &QListWidget::currentRowChanged, stack_, &QStackedWidget::setCurrentIndex);
    pages_->setCurrentRow(0);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* reset = buttons->addButton(QStringLiteral("初期化(&I)"), QDialogButtonBox::ResetRole);
    reset->setObjectName(QStringLiteral("reset"));
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::AcceptRole);
    close->setObjectName(QStringLiteral("close"));
    connect(reset, &QPushButton::clicked, this, [this] { ResetAsked(); });
    connect(close, &QPushButton::clicked, this, [this] { CloseAsked(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    Show(ReadControls(profile_));
}

QWidget* TFormPreference::MakeControl(const PreferenceControl& c, const SettingEntry& entry, QWidget* page)
{
    const QString name = QString::fromLatin1(c.setting) + (c.bit >= 0 ? QString::number(c.bit) : QString());
    QWidget* control = nullptr;
    switch (c.kind) {
    case ControlKind::Check: {
        auto* box = new QCheckBox(QString::fromUtf8(c.caption), page);
        connect(box, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
        control = box;
        break;
    }
    case ControlKind::Choice: {
        auto* combo = new QComboBox(page);
        combo->addItems(ChoiceNames(c.setting, int(entry.hi) + 1));
        control = combo;
        break;
    }
    case ControlKind::Number: {
        auto* spin = new QSpinBox(page);
        spin->setRange(int(entry.lo), int(entry.hi));
        control = spin;
        break;
    }
    case ControlKind::Opacity: {
        auto* spin = new QSpinBox(page);
        spin->setRange(0, 100);
        spin->setSuffix(QStringLiteral("%"));
        control = spin;
        break;
    }
    case ControlKind::Colour: {
        auto* button = new QPushButton(page);
        connect(button, &QPushButton::clicked, this, [this, button] {
            const QColor c = QColorDialog::getColor(QColor::fromRgb(QRgb(button->property("colour").toInt())), this);
            if (c.isValid())
                SetColourButton(button, int32_t(c.rgb() & 0xFFFFFFu));
        });
        control = button;
        break;
    }
    case ControlKind::Text: {
        auto* row = new QWidget(page);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* edit = new QLineEdit(row);
        edit->setObjectName(name + QStringLiteral("Edit"));
        auto* browse = new QPushButton(QStringLiteral("参照"), row);
        browse->setObjectName(name + QStringLiteral("Browse"));
        layout->addWidget(edit, 1);
        layout->addWidget(browse);
        connect(browse, &QPushButton::clicked, this, [this, edit, filter = FilterOf(c.setting)] {
            const QString path = askFile(filter);
            if (!path.isEmpty())
                edit->setText(path);
        });
        control = row;
        break;
    }
    }
    control->setObjectName(name);
    return control;
}

void TFormPreference::Show(const std::vector<SettingData>& states)
{
    const std::vector<PreferenceControl>& table = PreferenceControls();
    for (size_t i = 0; i < table.size(); ++i) {
        QWidget* w = controls_[i];
        const SettingData& s = states[i];
        switch (table[i].kind) {
        case ControlKind::Check: static_cast<QCheckBox*>(w)->setChecked(std::get<bool>(s)); break;
        case ControlKind::Choice: static_cast<QComboBox*>(w)->setCurrentIndex(std::get<int32_t>(s)); break;
        case ControlKind::Number:
        case ControlKind::Opacity: static_cast<QSpinBox*>(w)->setValue(std::get<int32_t>(s)); break;
        case ControlKind::Colour: SetColourButton(static_cast<QPushButton*>(w), std::get<int32_t>(s)); break;
        case ControlKind::Text:
            w->findChild<QLineEdit*>()->setText(QString::fromStdString(std::get<std::string>(s)));
            break;
        }
    }
    UpdateEnabled();
}

std::vector<SettingData> TFormPreference::States() const
{
    std::vector<SettingData> states;
    const std::vector<PreferenceControl>& table = PreferenceControls();
    for (size_t i = 0; i < table.size(); ++i) {
        const QWidget* w = controls_[i];
        switch (table[i].kind) {
        case ControlKind::Check: states.emplace_back(static_cast<const QCheckBox*>(w)->isChecked()); break;
        case ControlKind::Choice: states.emplace_back(int32_t(static_cast<const QComboBox*>(w)->currentIndex())); break;
        case ControlKind::Number:
        case ControlKind::Opacity: states.emplace_back(int32_t(static_cast<const QSpinBox*>(w)->value())); break;
        case ControlKind::Colour: states.emplace_back(int32_t(w->property("colour").toInt())); break;
        case ControlKind::Text: states.emplace_back(w->findChild<QLineEdit*>()->text().toStdString()); break;
        }
    }
    return states;
}

int TFormPreference::IndexOf(const char* setting, int bit) const
{
    const std::vector<PreferenceControl>& table = PreferenceControls();
    for (size_t i = 0; i < table.size(); ++i)
        if (std::strcmp(table[i].setting, setting) == 0 && table[i].bit == bit)
            return int(i);
    return -1;
}

void TFormPreference::UpdateEnabled()
{
    if (controls_.size() != PreferenceControls().size())
        return;
    const auto checked = [this](const char* setting, int bit) {
        const int i = IndexOf(setting, bit);
        return i >= 0 && static_cast<QCheckBox*>(controls_[size_t(i)])->isChecked();
    };
    // The last files replace the four start files.
    const bool lastFile = checked("UseLastFile", -1);
    for (const char* file : {"brushFile", "nibFile", "palFile", "gradFile2"})
        if (const int i = IndexOf(file); i >= 0)
            controls_[size_t(i)]->setEnabled(!lastFile);
    const bool fit = checked("AutoSizeAdjust", 0);
    for (int bit : {1, 2})
        if (const int i = IndexOf("AutoSizeAdjust", bit); i >= 0)
            controls_[size_t(i)]->setEnabled(fit);
}

void TFormPreference::ResetAsked()
{
    std::vector<SettingData> states = States();
    ResetControls(states, profile_.Environment());
    Show(states);
}

void TFormPreference::CloseAsked()
{
    StoreControls(profile_, States());
    accept();
}

} // namespace morvane
