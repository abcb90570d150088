#pragma once
// The dialog that asks how far to expand or contract the selection: 1 to
// 32 pixels, starting at 1.
#include <QDialog>

class QSpinBox;

namespace morvane {

class TFormSelExt final : public QDialog {
public:
    TFormSelExt(bool expand, QWidget* parent = nullptr);
    int Pixels() const;
    QSpinBox* Amount() const { return amount_; }

private:
    QSpinBox* amount_;
};

} // namespace morvane
