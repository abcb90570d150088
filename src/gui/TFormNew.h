#pragma once
// The new-document dialog: a name, the preset list, width and height with
// their unit, the orientation of paper presets, the resolution and a white
// or transparent paper. The rules live in NewPictureModel; the dialog shows
// the model and hands it every edit. Changes to the user presets go to the
// settings as they are made.
#include <QDialog>

#include <string>

#include "document/NewPictureModel.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace morvane {

class CAppProfile;

struct SNewDocumentChoice {
    std::string name;
    SNewPictureResult picture;
};

class TFormNew final : public QDialog {
public:
    // Opens on user preset 1. The clipboard's image size is not offered yet.
    explicit TFormNew(CAppProfile& profile, QWidget* parent = nullptr);

    const NewPictureModel& Model() const { return model_; }
    SNewDocumentChoice Choice() const;
    // A value typed but not confirmed yet is taken first.
    void accept() override;

private:
    void Build();
    // Shows the model's state in every control, with their signals held.
    void ShowModel();
    // The model changed: show it and keep the settings' user presets in step.
    void Changed();
    void PresetRowChanged(int row);
    void SizeEdited();
    void ResolutionEdited();
    void UnitChosen(int unit);

    CAppProfile& profile_;
    NewPictureModel model_;
    int shownRow_ = -1;

    QLineEdit* name_ = nullptr;
    QListWidget* presets_ = nullptr;
    QGroupBox* sizeGroup_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QComboBox* widthUnit_ = nullptr;
    QComboBox* heightUnit_ = nullptr;
    QLineEdit* resolution_ = nullptr;
    QRadioButton* landscape_ = nullptr;
    QRadioButton* portrait_ = nullptr;
    QRadioButton* white_ = nullptr;
    QRadioButton* transparent_ = nullptr;
};

} // namespace morvane
