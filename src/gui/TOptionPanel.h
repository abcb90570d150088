#pragma once
// The option panel: the current tool's controls as the option model lists
// them, laid out as rows, rebuilt when the tool's set of controls changes
// and refreshed whenever the tool state does.
#include <QWidget>

#include <vector>

#include "app/ToolOptions.h"

class QGridLayout;

namespace morvane {

class ToolState;

class TOptionPanel final : public QWidget {
public:
    TOptionPanel(ToolState& tools, QWidget* parent = nullptr);
    ~TOptionPanel() override;

    // The object name of a control's widget ("option" and the id's number).
    static QString ControlName(OptionId id);
    const std::vector<OptionControl>& Controls() const { return controls_; }

private:
    void Rebuild();
    void Refresh();
    void AddRow(const OptionControl& control, int row);
    static bool SameLayout(const std::vector<OptionControl>& a, const std::vector<OptionControl>& b);

    ToolState& tools_;
    QWidget* body_ = nullptr;
    QGridLayout* grid_ = nullptr;
    std::vector<OptionControl> controls_;
    bool refreshing_ = false;
    int listener_ = 0;
};

} // namespace morvane
