#include "gui/TFormNew.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <array>

#include "app/CAppProfile.h"

namespace morvane {
namespace {

// In SizeUnit order.
const char* const kUnitNames[] = {"pixel", "inch", "cm", "mm"};

std::array<SUserPaperPreset, kUserPaperPresets> UserPresetsOf(const CAppProfile& profile)
{
    std::array<SUserPaperPreset, kUserPaperPresets> presets;
    for (int i = 0; i < kUserPaperPresets; ++i)
        presets[size_t(i)] = ToUserPaperPreset(profile.paper[i + 1]);
    return presets;
}

QComboBox* UnitCombo(QWidget* parent, const char* objectName)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(objectName));
    for (const char* unit : kUnitNames)
        combo->addItem(QString::fromLatin1(unit));
    return combo;
}

QLineEdit* NumberEdit(QWidget* parent, const char* objectName)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMaximumWidth(90);
    return edit;
}

// A number typed into an edit; the fallback for text that is none.
double TypedValue(const QLineEdit* edit, double fallback)
{
    bool ok = false;
    const double value = edit->text().trimmed().toDouble(&ok);
    return ok ? value : fallback;
}

void SetTextHeld(QLineEdit* edit, const QString& text)
{
    const QSignalBlocker hold(edit);
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

TFormNew::TFormNew(CAppProfile& profile, QWidget* parent)
    : QDialog(parent), profile_(profile), model_(UserPresetsOf(profile))
{
    setWindowTitle(QStringLiteral("新規作成"));
    Build();
    ShowModel();
}

void TFormNew::Build()
{
    name_ = new QLineEdit(QStringLiteral("無題"), this);
    name_->setObjectName(QStringLiteral("nameEdit"));
    auto* nameLabel = new QLabel(QStringLiteral("名前(&N)"), this);
    nameLabel->setBuddy(name_);

    presets_ = new QListWidget(this);
    presets_->setObjectName(QStringLiteral("presetList"));
    for (int line = 0; line < PresetListLines(); ++line) {
        const int entry = PresetEntryOfLine(line);
        presets_->addItem(entry < 0 ? QString() : QString::fromUtf8(PaperPresetEntry(entry).name));
    }
    presets_->setMinimumWidth(130);
    auto* presetLabel = new QLabel(QStringLiteral("プリセット(&P)"), this);
    presetLabel->setBuddy(presets_);

    sizeGroup_ = new QGroupBox(this);
    width_ = NumberEdit(sizeGroup_, "widthEdit");
    height_ = NumberEdit(sizeGroup_, "heightEdit");
    resolution_ = NumberEdit(sizeGroup_, "resolutionEdit");
    widthUnit_ = UnitCombo(sizeGroup_, "widthUnit");
    heightUnit_ = UnitCombo(sizeGroup_, "heightUnit");
    landscape_ = new QRadioButton(QStringLiteral("横(&L)"), sizeGroup_);
    landscape_->setObjectName(QStringLiteral("landscape"));
    portrait_ = new QRadioButton(QStringLiteral("縦(&T)"), sizeGroup_);
    portrait_->setObjectName(QStringLiteral("portrait"));
    auto* orientation = new QButtonGroup(sizeGroup_);
    orientation->addButton(landscape_);
    orientation->addButton(portrait_);

    auto* grid = new QGridLayout(sizeGroup_);
    const auto row = [&](int r, const QString& caption, QLineEdit* edit, QWidget* unit) {
        auto* label = new QLabel(caption, sizeGroup_);
        label->setBuddy(edit);
        grid->addWidget(label, r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(unit, r, 2);
    };
    row(0, QStringLiteral("幅(&W)"), width_, widthUnit_);
    row(1, QStringLiteral("高さ(&H)"), height_, heightUnit_);
    row(2, QStringLiteral("解像度(&R)"), resolution_, new QLabel(QStringLiteral("pixel/inch"), sizeGroup_));
    auto* turns = new QHBoxLayout;
    turns->addWidget(landscape_);
    turns->addWidget(portrait_);
    turns->addStretch();
    grid->addLayout(turns, 3, 0, 1, 3);

    auto* paperGroup = new QGroupBox(QStringLiteral("用紙"), this);
    white_ = new QRadioButton(QStringLiteral("白(&I)"), paperGroup);
    white_->setObjectName(QStringLiteral("whitePaper"));
    transparent_ = new QRadioButton(QStringLiteral("透明(&A)"), paperGroup);
    transparent_->setObjectName(QStringLiteral("transparentPaper"));
    auto* paperLayout = new QHBoxLayout(paperGroup);
    paperLayout->addWidget(white_);
    paperLayout->addWidget(transparent_);
    paperLayout->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(name_);
    auto* left = new QVBoxLayout;
    left->addWidget(presetLabel);
    left->addWidget(presets_);
    auto* right = new QVBoxLayout;
    right->addWidget(sizeGroup_);
    right->addWidget(paperGroup);
    right->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(middle);
    layout->addWidget(buttons);

    connect(presets_, &QListWidget::currentRowChanged, this, [this](int r) { PresetRowChanged(r); });
    connect(width_, &QLineEdit::editingFinished, this, [this] { SizeEdited(); });
    connect(height_, &QLineEdit::editingFinished, this, [this] { SizeEdited(); });
    connect(resolution_, &QLineEdit::editingFinished, this, [this] { ResolutionEdited(); });
    for (QComboBox* unit : {widthUnit_, heightUnit_})
        connect(unit, &QComboBox::activated, this, [this](int index) { UnitChosen(index); });
    connect(portrait_, &QRadioButton::toggled, this, [this](bool on) {
        model_.SetOrientation(on ? PaperOrientation::Portrait : PaperOrientation::Landscape);
        Changed();
    });
    connect(transparent_, &QRadioButton::toggled, this, [this](bool on) {
        model_.SetTransparent(on);
        Changed();
    });
}

SNewDocumentChoice TFormNew::Choice() const
{
    const QString name = name_->text().trimmed();
    return {(name.isEmpty() ? QStringLiteral("無題") : name).toStdString(), model_.Result()};
}

void TFormNew::accept()
{
    SizeEdited();
    ResolutionEdited();
    QDialog::accept();
}

void TFormNew::ShowModel()
{
    shownRow_ = model_.SelectedLine();
    {
        const QSignalBlocker hold(presets_);
        presets_->setCurrentRow(shownRow_);
    }
    sizeGroup_->setTitle(QString::fromStdString(model_.SizeTitle()));
    SetTextHeld(width_, QString::fromStdString(model_.WidthText()));
    SetTextHeld(height_, QString::fromStdString(model_.HeightText()));
    SetTextHeld(resolution_, QString::number(model_.Resolution(), 'g', 6));
    for (QComboBox* unit : {widthUnit_, heightUnit_}) {
        const QSignalBlocker hold(unit);
        unit->setCurrentIndex(int(model_.Unit()));
    }
    for (QRadioButton* button : {landscape_, portrait_, white_, transparent_}) {
        const QSignalBlocker hold(button);
        button->setChecked(button == (model_.Orientation() == PaperOrientation::Portrait ? portrait_ : landscape_) ||
                           button == (model_.Transparent() ? transparent_ : white_));
    }
    landscape_->setEnabled(model_.OrientationEnabled());
    portrait_->setEnabled(model_.OrientationEnabled());
}

void TFormNew::Changed()
{
    ShowModel();
    for (int i = 1; i <= kUserPaperPresets; ++i)
        profile_.paper[i] = FromUserPaperPreset(model_.UserPreset(i));
}

void TFormNew::PresetRowChanged(int row)
{
    if (row < 0)
        return;
    model_.SelectLine(row, row < shownRow_ ? -1 : 1);
    Changed();
}

void TFormNew::SizeEdited()
{
    const double w = TypedValue(width_, model_.Width()), h = TypedValue(height_, model_.Height());
    if (width_->text() != QString::fromStdString(model_.WidthText()) ||
        height_->text() != QString::fromStdString(model_.HeightText()))
        model_.SetSize(w, h);
    Changed();
}

void TFormNew::ResolutionEdited()
{
    if (resolution_->text() != QString::number(model_.Resolution(), 'g', 6))
        model_.SetResolution(TypedValue(resolution_, model_.Resolution()));
    Changed();
}

void TFormNew::UnitChosen(int unit)
{
    model_.SetUnit(SizeUnit(unit));
    Changed();
}

} // namespace morvane
