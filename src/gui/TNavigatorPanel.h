#pragma once
// The navigator: the active window's picture shrunk to the panel with the
// part its view shows outlined (a quadrilateral when the view is turned);
// a click or drag moves the view's centre there. Below, the zoom over the
// seventeen steps with − and +, its percentage, and the view's turn from
// −180° to 180° with a reset. Player windows are steered alike.
#include <QWidget>

#include "document/CPictureThumbnail.h"
#include "storage/TMTC.h"
#include "view/CViewState.h"

class QLabel;
class QSlider;
class QToolButton;

namespace morvane {

class TDrawWindow;
class TMainForm;

class TNavigatorPanel final : public QWidget {
public:
    // The picture's largest side in the panel.
    static constexpr int kMaxSide = 256;

    explicit TNavigatorPanel(TMainForm& form, QWidget* parent = nullptr);

    // The picture and the controls from the active window.
    void Refresh();

    QWidget* Map() const { return map_; }
    QSlider* ZoomSlider() const { return zoom_; }
    QSlider* AngleSlider() const { return angle_; }
    QLabel* ZoomText() const { return percent_; }
    QToolButton* Button(const char* name) const;
    // The shrunk picture (what the map shows) and where it lies in the map.
    const TMTC& Picture() const { return picture_.Picture(); }
    QRect PictureRect() const;
    // Map point and document point, both ways.
    DocPoint DocumentAt(QPoint mapPoint) const;
    QPointF MapPointOf(DocPoint doc) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintMap();
    void MoveViewTo(QPoint mapPoint);
    TDrawWindow* Window() const;

    TMainForm& form_;
    QWidget* map_;
    QSlider* zoom_;
    QLabel* percent_;
    QSlider* angle_;
    CPictureThumbnail picture_;
    int32_t docW_ = 0, docH_ = 0;
};

// The step at or just below a scale (0 ... 16).
int ZoomStepIndex(ScaleRatio scale);

} // namespace morvane
