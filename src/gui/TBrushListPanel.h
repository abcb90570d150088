#pragma once
// The brush list: the presets of the current kind (name and small icon, as
// a list or a grid by "BrushListType"), or a compatible kind's five pen
// slots. Clicking one makes it the kind's parameter set.
#include <QWidget>

class QListWidget;

namespace morvane {

class ToolState;

class TBrushListPanel final : public QWidget {
public:
    // listType: 1 a grid of icons, anything else a list.
    TBrushListPanel(ToolState& tools, int listType, QWidget* parent = nullptr);
    ~TBrushListPanel() override;

    QListWidget* List() const { return list_; }

private:
    void Rebuild();
    void Chosen(int row);

    ToolState& tools_;
    QListWidget* list_;
    bool pending_ = false;
    int listener_ = 0;
};

} // namespace morvane
