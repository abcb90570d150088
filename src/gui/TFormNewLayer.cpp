#include "gui/TFormNewLayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

#include "document/ModeLists.h"
#include "gui/Cp932NameValidator.h"
#include "gui/TBlendModeDropDwon.h"

namespace morvane {

TFormNewLayer::TFormNewLayer(const std::string& proposedName, QWidget* parent)
    : QDialog(parent), name_(NameField(this, "layerName")), mode_(new TBlendModeDropDwon(this)),
      colour_(new QComboBox(this)), transparent_(new QCheckBox(QStringLiteral("透明(&T)"), this)),
      slider_(new QSlider(Qt::Horizontal, this)), opacity_(new QSpinBox(this))
{
    setWindowTitle(QStringLiteral("新規レイヤ"));
    auto* form = new QFormLayout(this);
    name_->setText(QString::fromStdString(proposedName));
    form->addRow(QStringLiteral("レイヤ名(&N)"), name_);
    mode_->setObjectName(QStringLiteral("layerMode"));
    mode_->setCurrentIndex(0);
    form->addRow(QStringLiteral("モード(&M)"), mode_);
    colour_->setObjectName(QStringLiteral("initialColour"));
    for (int entry = 0; entry < kInitialColourCount; ++entry)
        colour_->addItem(QString());
    form->addRow(QStringLiteral("初期色(&C)"), colour_);
    transparent_->setObjectName(QStringLiteral("transparent"));
    form->addRow(QString(), transparent_);
    auto* opacity = new QHBoxLayout;
    slider_->setRange(0, 100);
    opacity_->setRange(0, 100);
    opacity_->setSuffix(QStringLiteral("%"));
    opacity_->setObjectName(QStringLiteral("opacity"));
    slider_->setValue(100);
    opacity_->setValue(100);
    opacity->addWidget(slider_, 1);
    opacity->addWidget(opacity_);
    auto* label = new QLabel(QStringLiteral("不透明度(&O)"), this);
    label->setBuddy(opacity_);
    form->addRow(label, opacity);
    connect(slider_, &QSlider::valueChanged, opacity_, &QSpinBox::setValue);
    connect(opacity_, &QSpinBox::valueChanged, slider_, &QSlider::setValue);
    connect(mode_, &QComboBox::currentIndexChanged, this, [this] { ModeChosen(); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    ModeChosen();
}

// The labels name the neutral entry of the mode; the choice moves to it, or
// back to the first entry.
void TFormNewLayer::ModeChosen()
{
    const int mode = mode_->Mode();
    for (int entry = 0; entry < kInitialColourCount; ++entry)
        colour_->setItemText(entry, QString::fromStdString(InitialColourLabel(entry, mode)));
    colour_->setCurrentIndex(InitialColourAfterModeChange(mode));
}

SNewLayerChoice TFormNewLayer::Choice() const
{
    SNewLayerChoice c;
    c.name = name_->text().toStdString();
    c.mode = mode_->Mode();
    c.opacity = PercentToByte(opacity_->value());
    c.fill = NewLayerFill(colour_->currentIndex(), transparent_->isChecked());
    return c;
}

} // namespace morvane
