#pragma once
// The layer panel: the blend mode, opacity and protection of the current
// layer above the list of layers (top first), the stack's buttons below.
// Every control runs the document operation the menu runs, through the main
// window, so panel work is recorded, undone and replayed like menu work. A
// window that takes no edits (a player) shows its stack read-only.
#include <QWidget>

#include <cstdint>
#include <functional>

class QCheckBox;
class QListView;
class QSlider;
class QSpinBox;
class QToolButton;

namespace morvane {

class LayerListModel;
class TBlendModeDropDwon;
class TDrawWindow;
class TMainForm;
class TPaper;

class TLayerPanel final : public QWidget {
public:
    // The parts of a row, left to right: eye, link mark, thumbnail, text,
    // lock. thumbSide is the thumbnail's box.
    struct RowParts {
        QRect eye, link, thumbnail, text, lock;
    };
    static RowParts PartsOf(const QRect& row, int level, int thumbSide);

    TLayerPanel(TMainForm& form, int listType, QWidget* parent = nullptr);

    // The active window's stack, and the controls from its current layer.
    void Refresh();
    // One layer's row of the active window (index -1: the whole list).
    void RefreshEntry(int32_t layerIndex);

    LayerListModel* Model() const { return model_; }
    QListView* List() const { return list_; }
    TBlendModeDropDwon* ModeBox() const { return mode_; }
    QSlider* OpacitySlider() const { return slider_; }
    QSpinBox* OpacityBox() const { return percent_; }
    QCheckBox* ProtectBox() const { return protect_; }
    // The buttons by their object names: "newLayer", "duplicateLayer",
    // "deleteLayer", "mergeDown", "layerUp", "layerDown", "layerProperties".
    QToolButton* Button(const char* name) const;
    // The side of the thumbnails' box for the list type.
    int ThumbSide() const { return thumbSide_; }

    // What a click on a row's part does (the tests press them this way).
    void ClickRow(int row, const QPoint& at, Qt::KeyboardModifiers modifiers = {});
    void DoubleClickRow(int row, const QPoint& at);
    QRect RowRect(int row) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddButtons();
    void RunCommand(const char* name);
    void NewLayerClicked();
    void MoveCurrent(int step);
    void OpacityChosen(int percent);
    bool Edit(const std::function<bool(TPaper&)>& run);
    TDrawWindow* Window() const;

    TMainForm& form_;
    LayerListModel* model_;
    QListView* list_;
    TBlendModeDropDwon* mode_;
    QSlider* slider_;
    QSpinBox* percent_;
    QCheckBox* protect_;
    int thumbSide_;
};

} // namespace morvane
