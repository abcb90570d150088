#pragma once
// The new-layer dialog: a name, the blend mode, the initial colour (its
// neutral entry marked for modes that have one), transparency and opacity.
// The values come from the plain functions of document/ModeLists.h.
#include <QDialog>

#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace morvane {

class TBlendModeDropDwon;

struct SNewLayerChoice {
    std::string name;
    int32_t mode = 3;
    int32_t opacity = 255; // a byte
    uint32_t fill = 0;     // the colour with its alpha
};

class TFormNewLayer final : public QDialog {
public:
    // The name proposed: the stack's next default name.
    explicit TFormNewLayer(const std::string& proposedName, QWidget* parent = nullptr);

    SNewLayerChoice Choice() const;

    TBlendModeDropDwon* ModeBox() const { return mode_; }
    QComboBox* ColourBox() const { return colour_; }
    QCheckBox* TransparentBox() const { return transparent_; }
    QSpinBox* OpacityBox() const { return opacity_; }
    QLineEdit* NameEdit() const { return name_; }

private:
    void ModeChosen();

    QLineEdit* name_;
    TBlendModeDropDwon* mode_;
    QComboBox* colour_;
    QCheckBox* transparent_;
    QSlider* slider_;
    QSpinBox* opacity_;
};

} // namespace morvane
