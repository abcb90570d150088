#pragma once
// The tool buttons: one per painting menu (showing its last tool, its kinds
// in a drop-down), one per operation of the other classes (disabled while
// the document window does not handle its class), and the keys of the
// groups, the brush size and the colours on the main window.
#include <QWidget>

#include <functional>
#include <vector>

#include "app/ToolCatalog.h"

class QToolButton;

namespace morvane {

class ToolState;

class TToolPanel final : public QWidget {
public:
    TToolPanel(ToolState& tools, QWidget* parent = nullptr);
    ~TToolPanel() override;

    // Runs a choice: the main window ends the running gesture first.
    std::function<void(const ToolItem&)> choose;
    // Whether a second press of a group's key steps ("ToolFindNext").
    std::function<bool()> stepNext;

    // The group keys, Shift with them, [ and ] for the size, X to swap and
    // D to reset the colours, as actions of window.
    void AddKeys(QWidget& window);
    // A key of a group pressed (shift: with Shift).
    void GroupKey(char key, bool shift);
    // [ and ]: one step of the size control down or up.
    void SizeStep(bool up);

    // Every button, for the tests and the pictures.
    const std::vector<QToolButton*>& Buttons() const { return buttons_; }

private:
    struct GroupButton {
        size_t group;
        QToolButton* button;
    };
    struct ItemButton {
        const ToolItem* item;
        QToolButton* button;
    };

    void Build();
    void Refresh();
    void Choose(const ToolItem& item);

    ToolState& tools_;
    ToolPicker picker_;
    std::vector<GroupButton> groups_;
    std::vector<ItemButton> items_;
    std::vector<QToolButton*> buttons_;
    int listener_ = 0;
};

} // namespace morvane
