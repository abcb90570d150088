#pragma once
// The colour panel: main and sub swatches with swap and reset, a hue ring
// around a saturation/value square, RGB and HSV sliders and a hex field,
// all editing the tool state's colours through one ColourEdit.
#include <QWidget>

#include <functional>

#include "app/ColourEdit.h"
#include "storage/TMTC.h"

class QLineEdit;
class QSlider;
class QSpinBox;

namespace morvane {

class ToolState;

// The ring and square, drawn by the core into a picture of the widget's size.
class TColourWheel final : public QWidget {
public:
    explicit TColourWheel(ColourEdit& edit, QWidget* parent = nullptr);
    // The widget point where a colour of the square sits (tests).
    QPointF SquarePoint(const Hsv& hsv) const;
    QPointF RingPoint(double hue) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override { return {180, 180}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

private:
    enum class Drag { None, Ring, Square };
    int32_t Side() const;
    QPointF Origin() const;
    void Pick(QPointF at);

    ColourEdit& edit_;
    TMTC picture_;
    double drawnHue_ = -1;
    int32_t drawnSide_ = 0;
    Drag drag_ = Drag::None;
};

class TColourPanel final : public QWidget {
public:
    TColourPanel(ToolState& tools, QWidget* parent = nullptr);
    ~TColourPanel() override;

    // The "CellExchange" setting, read when the sub swatch is chosen.
    std::function<bool()> cellExchange;

    ColourEdit& Edit() { return edit_; }
    TColourWheel* Wheel() const { return wheel_; }
    // The swatches chosen as a click would (tests and the swatch widget).
    void ChooseCell(ColourEdit::Cell cell);

private:
    void Refresh();

    ToolState& tools_;
    ColourEdit edit_;
    QWidget* swatches_ = nullptr;
    TColourWheel* wheel_ = nullptr;
    QSlider* sliders_[6] = {};
    QSpinBox* spins_[6] = {};
    QLineEdit* hex_ = nullptr;
    bool refreshing_ = false;
    int listener_ = 0;
};

} // namespace morvane
