#pragma once
// The loupe: the active window's picture around the pointer, enlarged 2 to
// 16 times without smoothing, its centre pixel marked; it follows the
// pointer while painting too.
#include <QWidget>

#include "view/CViewState.h"

class QSpinBox;

namespace morvane {

class TMainForm;

class TLoupePanel final : public QWidget {
public:
    explicit TLoupePanel(TMainForm& form, QWidget* parent = nullptr);

    // The picture around the active window's last pointer position.
    void Refresh();
    QSpinBox* Magnification() const { return magnification_; }
    QWidget* View() const { return view_; }
    // The document pixel shown at a view point.
    Point PixelAt(QPoint viewPoint) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintView();

    TMainForm& form_;
    QWidget* view_;
    QSpinBox* magnification_;
    Point centre_{};
    bool shown_ = false;
};

} // namespace morvane
