#pragma once
// The zoomable preview pane of filter dialogs whose result is judged on a
// close-up: the visible part of the layer as the filter makes it, over a
// checkerboard, with a zoom slider (100 % in its middle) and a number box.
// Dragging pans and shows the unfiltered layer, repainted every 100 ms;
// releasing the button shows the filtered view again.
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

#include "storage/Rect.h"

class QSlider;
class QSpinBox;

namespace morvane {

class CFlt4Core;

class TPreviewFrame final : public QWidget {
public:
    // The record the pane filters with, asked at each paint.
    using RecordSource = std::function<std::vector<uint8_t>()>;

    explicit TPreviewFrame(QWidget* parent = nullptr);

    // Binds the run; the view is centred on its bounds at 100 %.
    void Bind(CFlt4Core& run, RecordSource record);
    // The filtered picture again (after a parameter change).
    void Refresh();
    int Zoom() const { return zoom_; }
    void SetZoom(int zoom);
    const EdgeRect& View() const { return view_; }
    const QImage& Picture() const { return picture_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void Render(bool filtered);
    void PaintBox(class QPainter& p);

    CFlt4Core* run_ = nullptr;
    RecordSource record_;
    QWidget* box_ = nullptr;
    QSlider* track_ = nullptr;
    QSpinBox* number_ = nullptr;
    QTimer timer_;
    int zoom_ = 100, minZoom_ = 100;
    Point centre_{};
    EdgeRect view_{};
    QImage picture_;
    bool dragging_ = false;
    QPoint dragFrom_;
    bool loading_ = false;
};

} // namespace morvane
