#include "gui/TPreviewFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>

#include "app/PreviewZoom.h"
#include "document/CFlt4Core.h"
#include "storage/CBlockVMTC.h"
#include "storage/CScaleImage.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

constexpr int kPaneW = 260, kPaneH = 200;
constexpr int kDragRepaintMs = 100;

QImage ImageOf(const TMTC& pixels)
{
    QImage image(pixels.Width, pixels.Height, QImage::Format_ARGB32);
    for (int32_t y = 0; y < pixels.Height; ++y)
        std::memcpy(image.scanLine(y), pixels.Row(y), size_t(pixels.Width) * 4);
    return image;
}

} // namespace

TPreviewFrame::TPreviewFrame(QWidget* parent) : QWidget(parent)
{
    box_ = new QWidget(this);
    box_->setObjectName(QStringLiteral("PaintBox1"));
    box_->setFixedSize(kPaneW, kPaneH);
    box_->installEventFilter(this);
    track_ = new QSlider(Qt::Horizontal, this);
    track_->setObjectName(QStringLiteral("Track1"));
    number_ = new QSpinBox(this);
    number_->setObjectName(QStringLiteral("Num1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box_);
    auto* row = new QHBoxLayout;
    row->addWidget(track_, 1);
    row->addWidget(number_);
    row->addWidget(new QLabel(QStringLiteral("%"), this));
    layout->addLayout(row);
    connect(track_, &QSlider::valueChanged, this, [this](int v) {
        if (!loading_)
            SetZoom(int(std::lround(TrackToZoom(v, minZoom_, kPaneMaxZoom))));
    });
    connect(number_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!loading_)
            SetZoom(v);
    });
    timer_.setInterval(kDragRepaintMs);
    connect(&timer_, &QTimer::timeout, this, [this] { Render(false); });
}

void TPreviewFrame::Bind(CFlt4Core& run, RecordSource record)
{
    run_ = &run;
    record_ = std::move(record);
    const CBlockVMTC* layer = run.Backup();
    minZoom_ = PaneMinZoom(layer->Width, layer->Height, kPaneW - 2, kPaneH - 2);
    const EdgeRect& b = run.Bounds();
    centre_ = {(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    loading_ = true;
    track_->setRange(minZoom_, kPaneMaxZoom);
    number_->setRange(minZoom_, kPaneMaxZoom);
    loading_ = false;
    SetZoom(100);
}

void TPreviewFrame::SetZoom(int zoom)
{
    zoom_ = std::clamp(zoom, minZoom_, kPaneMaxZoom);
    loading_ = true;
    track_->setValue(int(std::lround(ZoomToTrack(zoom_, minZoom_, kPaneMaxZoom))));
    number_->setValue(zoom_);
    loading_ = false;
    Refresh();
}

void TPreviewFrame::Refresh() { Render(!dragging_); }

void TPreviewFrame::Layout()
{
    const CBlockVMTC* layer = run_->Backup();
    view_ = PaneViewAt(layer->Width, layer->Height, kPaneW - 2, kPaneH - 2, zoom_, centre_).view;
}

void TPreviewFrame::Render(bool filtered)
{
    if (!run_ || !run_->Backup())
        return;
    Layout();
    TMTC view;
    bool made = false;
    if (filtered) {
        const std::vector<uint8_t> record = record_ ? record_() : std::vector<uint8_t>{};
        made = run_->PaintPane({record}, view_, view);
    }
    if (!made)
        made = view.Resize(view_.right - view_.left, view_.bottom - view_.top) &&
               run_->Backup()->CopyOut(view, {0, 0}, false, 255, ToExtent(view_));
    const PaneView pane = PaneViewAt(run_->Backup()->Width, run_->Backup()->Height, kPaneW - 2, kPaneH - 2, zoom_,
                                     centre_);
    TMTC scaled;
    if (made && MakeScaledCopy(view, pane.scaledW, pane.scaledH, scaled))
        picture_ = ImageOf(scaled);
    box_->update();
}

void TPreviewFrame::PaintBox(QPainter& p)
{
    p.fillRect(box_->rect(), palette().color(QPalette::Button));
    if (picture_.isNull())
        return;
    const QRect image((kPaneW - picture_.width()) / 2, (kPaneH - picture_.height()) / 2, picture_.width(),
                      picture_.height());
    p.setPen(palette().color(QPalette::Shadow));
    p.drawRect(image.adjusted(-1, -1, 0, 0));
    for (int y = image.top(); y <= image.bottom(); y += 8)
        for (int x = image.left(); x <= image.right(); x += 8) {
            const int g = ((x - image.left()) / 8 + (y - image.top()) / 8) % 2 ? 200 : 224;
            p.fillRect(QRect(x, y, 8, 8).intersected(image), QColor(g, g, g));
        }
    p.drawImage(image.topLeft(), picture_);
}

bool TPreviewFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != box_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter p(box_);
        PaintBox(p);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton)
            break;
        dragging_ = true;
        dragFrom_ = m->position().toPoint();
        timer_.start();
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging_ || picture_.isNull())
            break;
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        const double scale = double(view_.right - view_.left) / picture_.width();
        centre_.x -= int32_t(std::lround((at.x() - dragFrom_.x()) * scale));
        centre_.y -= int32_t(std::lround((at.y() - dragFrom_.y()) * scale));
        dragFrom_ = at;
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!dragging_)
            break;
        dragging_ = false;
        timer_.stop();
        // Kept inside the layer as the view is.
        Layout();
        centre_ = {(view_.left + view_.right) / 2, (view_.top + view_.bottom) / 2};
        Render(true);
        return true;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace morvane
