#pragma once
// The mask panel: the document's masks with their thumbnails, the current
// one marked, and the list's buttons below. A click makes a mask current, a
// drag moves it, a double-click opens its properties, the context menu
// combines the clicked mask into the current one. Every action runs the
// recorded document operation, so it undoes and replays like menu work; a
// player window's list is read-only.
#include <QWidget>

#include <cstdint>
#include <functional>

class QListView;
class QMenu;
class QToolButton;

namespace morvane {

enum class CombineMode : uint8_t;
class MaskListModel;
class TMainForm;
class TPaper;

class TMaskPanel final : public QWidget {
public:
    TMaskPanel(TMainForm& form, int listType, QWidget* parent = nullptr);

    // The active window's masks.
    void Refresh();

    MaskListModel* Model() const { return model_; }
    QListView* List() const { return list_; }
    // The buttons by their object names: "newMask", "duplicateMask",
    // "deleteMask".
    QToolButton* Button(const char* name) const;
    int ThumbSide() const { return thumbSide_; }

    // What the mouse does on a row (the tests act this way).
    void ClickRow(int row);
    void DoubleClickRow(int row);
    // The context menu of a row: the four ways to combine that mask into the
    // current one (disabled on the current row itself).
    QMenu* MenuFor(int row);
    bool Combine(int row, CombineMode mode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddButtons();
    bool Edit(const std::function<bool(TPaper&)>& run);
    bool Editable() const;

    TMainForm& form_;
    int thumbSide_;
    MaskListModel* model_;
    QListView* list_;
    QMenu* menu_;
};

} // namespace morvane
