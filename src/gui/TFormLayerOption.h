#pragma once
// The layer-properties dialog: name, mode, opacity and dither compositing
// ("一般"), and the position of the store against the picture with its
// size and a preview ("表示位置と保持サイズ"). Cutting the store to the
// picture runs at once; everything else is taken at OK, each changed value
// as a step of its own, and Cancel leaves the layer as it was.
#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace morvane {

class CLayerData;
class TBlendModeDropDwon;
class TPaper;

// What the dialog shows of a layer and what OK takes from it: per cent for
// opacity and density, the store's left and top in picture pixels.
struct SLayerOptions {
    std::string name;
    int32_t mode = 3;
    int32_t opacityPercent = 100;
    bool dither = false;
    int32_t densityPercent = 100;
    int32_t left = 0, top = 0;
};
SLayerOptions LayerOptionsOf(const CLayerData& layer);
// Runs each value that differs from the layer's as its own operation
// (name, mode, opacity, dither, position); false when one was refused.
bool ApplyLayerOptions(TPaper& paper, int32_t index, const SLayerOptions& chosen);

class TFormLayerOption final : public QDialog {
public:
    // trim cuts the layer's store to the picture (the document operation)
    // and says whether it did.
    TFormLayerOption(TPaper& paper, int32_t index, std::function<bool()> trim, QWidget* parent = nullptr);

    SLayerOptions Choice() const;

    QLineEdit* NameEdit() const { return name_; }
    TBlendModeDropDwon* ModeBox() const { return mode_; }
    QSpinBox* OpacityBox() const { return opacity_; }
    QCheckBox* DitherBox() const { return dither_; }
    QSpinBox* DensityBox() const { return density_; }
    QDoubleSpinBox* LeftBox() const { return left_; }
    QDoubleSpinBox* TopBox() const { return top_; }
    QPushButton* TrimButton() const { return trimButton_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The store's size, the position limits, the trim button and the
    // preview from the layer as it is now.
    void ShowStore();
    void PaintPreview(QWidget* preview);

    TPaper& paper_;
    int32_t index_;
    std::function<bool()> trim_;
    QLineEdit* name_;
    TBlendModeDropDwon* mode_;
    QSpinBox* opacity_;
    QCheckBox* dither_;
    QSpinBox* density_;
    QDoubleSpinBox* left_;
    QDoubleSpinBox* top_;
    QLabel* storeW_;
    QLabel* storeH_;
    QWidget* preview_;
    QPushButton* trimButton_;
};

} // namespace morvane
