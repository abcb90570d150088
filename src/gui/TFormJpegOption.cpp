#include "gui/TFormJpegOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace morvane {

namespace {

// A number box with its slider, kept in step, and the slider's end marks.
QWidget* LinkedPair(QWidget* parent, QSpinBox* box, QSlider* slider, const QStringList& marks)
{
    QObject::connect(box, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    QObject::connect(slider, &QSlider::valueChanged, box, &QSpinBox::setValue);
    auto* pane = new QWidget(parent);
    auto* grid = new QGridLayout(pane);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(box, 0, 0);
    grid->addWidget(slider, 0, 1, 1, int(marks.size()));
    for (int i = 0; i < marks.size(); ++i) {
        auto* label = new QLabel(marks[i], pane);
        label->setAlignment(i == 0 ? Qt::AlignLeft : i + 1 == marks.size() ? Qt::AlignRight : Qt::AlignHCenter);
        grid->addWidget(label, 1, 1 + i);
    }
    return pane;
}

QSpinBox* NumberBox(QWidget* parent, int low, int high)
{
    auto* box = new QSpinBox(parent);
    box->setRange(low, high);
    return box;
}

QSlider* Slider(QWidget* parent, int low, int high)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(low, high);
    return slider;
}

} // namespace

TFormJpegOption::TFormJpegOption(const CAppProfile::FileIO& s, QWidget* parent)
    : QDialog(parent), stepValues_{s.jpegQVHigh, s.jpegQHigh, s.jpegQStd, s.jpegQLow}
{
    setWindowTitle(QStringLiteral("JPEG 設定"));
    quality_ = NumberBox(this, JpegOptions::kMinQuality, JpegOptions::kMaxQuality);
    qualitySlider_ = Slider(this, JpegOptions::kMinQuality, JpegOptions::kMaxQuality);
    steps_ = new QComboBox(this);
    steps_->addItems({QStringLiteral("最高"), QStringLiteral("高"), QStringLiteral("標準"), QStringLiteral("低")});
    smooth_ = new QCheckBox(QStringLiteral("スムーズ(&S)"), this);
    smoothing_ = NumberBox(this, 0, 100);
    smoothingSlider_ = Slider(this, 0, 100);
    grey_ = new QCheckBox(QStringLiteral("モノクロ(&G)"), this);
    progressive_ = new QCheckBox(QStringLiteral("プログレッシブ(&P)"), this);

    auto* qualityLabel = new QLabel(QStringLiteral("品質(&Q)"), this);
    qualityLabel->setBuddy(quality_);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(qualityLabel);
    top->addStretch();
    top->addWidget(steps_);
    layout->addLayout(top);
    layout->addWidget(LinkedPair(this, quality_, qualitySlider_,
                                 {QStringLiteral("最低"), QStringLiteral("標準"), QStringLiteral("最高")}));
    layout->addWidget(smooth_);
    layout->addWidget(LinkedPair(this, smoothing_, smoothingSlider_, {QStringLiteral("なし"), QStringLiteral("最大")}));
    layout->addWidget(grey_);
    layout->addWidget(progressive_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const auto own = [](int v) { return std::clamp(v, int(JpegOptions::kMinQuality), int(JpegOptions::kMaxQuality)); };
    quality_->setValue(own(s.jpegQuality));
    steps_->setCurrentIndex(s.jpegQType >= 0 && s.jpegQType < kOwnValue ? s.jpegQType : -1);
    smooth_->setChecked(s.jpegUseSmooth);
    smoothing_->setValue(std::clamp(s.jpegValSmooth, 0, 100));
    smoothing_->setEnabled(s.jpegUseSmooth);
    smoothingSlider_->setEnabled(s.jpegUseSmooth);
    progressive_->setChecked(s.jpegUseProgressive);
    connect(smooth_, &QCheckBox::toggled, smoothing_, &QWidget::setEnabled);
    connect(smooth_, &QCheckBox::toggled, smoothingSlider_, &QWidget::setEnabled);
    connect(steps_, &QComboBox::activated, this, &TFormJpegOption::StepChosen);
    connect(quality_, &QSpinBox::valueChanged, this, &TFormJpegOption::QualityTyped);
}

void TFormJpegOption::StepChosen(int step)
{
    if (step < 0 || step >= kOwnValue)
        return;
    choosing_ = true;
    quality_->setValue(std::clamp(stepValues_[step], int(JpegOptions::kMinQuality), int(JpegOptions::kMaxQuality)));
    choosing_ = false;
}

void TFormJpegOption::QualityTyped(int)
{
    if (!choosing_)
        steps_->setCurrentIndex(-1);
}

JpegOptions TFormJpegOption::Options() const
{
    JpegOptions o;
    o.quality = quality_->value();
    o.smoothing = smooth_->isChecked() ? smoothing_->value() : 0;
    o.greyscale = grey_->isChecked();
    o.progressive = progressive_->isChecked();
    return o;
}

void TFormJpegOption::KeepIn(CAppProfile::FileIO& s) const
{
    s.jpegQuality = quality_->value();
    s.jpegQType = steps_->currentIndex() < 0 ? kOwnValue : steps_->currentIndex();
    s.jpegUseSmooth = smooth_->isChecked();
    s.jpegValSmooth = smoothing_->value();
    s.jpegUseProgressive = progressive_->isChecked();
}

} // namespace morvane
