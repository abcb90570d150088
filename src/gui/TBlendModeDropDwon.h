#pragma once
// The blend-mode drop-down: the 22 modes in the display order every mode
// list shares, read and set by mode number.
#include <QComboBox>

namespace morvane {

class TBlendModeDropDwon final : public QComboBox {
public:
    explicit TBlendModeDropDwon(QWidget* parent = nullptr);
    // -1 when nothing is chosen.
    int Mode() const;
    // Chooses the mode without signalling a user's choice.
    void SetMode(int mode);
};

} // namespace morvane
