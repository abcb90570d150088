#pragma once
// "JPEG 設定": quality (number, slider and the four steps), smoothing,
// greyscale and progressive, shown before every JPEG export. It starts
// from the settings and writes them back on OK.
#include <QDialog>

#include "app/CAppProfile.h"
#include "files/ImageExport.h"

class QCheckBox;
class QComboBox;
class QSlider;
class QSpinBox;

namespace morvane {

class TFormJpegOption final : public QDialog {
public:
    // The step a typed or slid value gives: none of the four.
    static constexpr int kOwnValue = 4;

    TFormJpegOption(const CAppProfile::FileIO& settings, QWidget* parent = nullptr);
    JpegOptions Options() const;
    // The dialog's values into the settings.
    void KeepIn(CAppProfile::FileIO& settings) const;

    QSpinBox* Quality() const { return quality_; }
    QSlider* QualitySlider() const { return qualitySlider_; }
    QComboBox* Steps() const { return steps_; }
    QCheckBox* Smooth() const { return smooth_; }
    QSpinBox* Smoothing() const { return smoothing_; }
    QCheckBox* Grey() const { return grey_; }
    QCheckBox* Progressive() const { return progressive_; }

private:
    void StepChosen(int step);
    void QualityTyped(int value);

    int stepValues_[4];
    bool choosing_ = false;
    QSpinBox* quality_;
    QSlider* qualitySlider_;
    QComboBox* steps_;
    QCheckBox* smooth_;
    QSpinBox* smoothing_;
    QSlider* smoothingSlider_;
    QCheckBox* grey_;
    QCheckBox* progressive_;
};

} // namespace morvane
