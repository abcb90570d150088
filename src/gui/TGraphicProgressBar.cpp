#include "gui/TGraphicProgressBar.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace morvane {

TGraphicProgressBar::TGraphicProgressBar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TGraphicProgressBar::SetProgress(int32_t executed, int32_t total, uint32_t elapsedMs)
{
    idle_ = false;
    executed_ = executed;
    total_ = total;
    elapsedMs_ = elapsedMs;
    update();
}

void TGraphicProgressBar::Clear()
{
    idle_ = true;
    executed_ = total_ = 0;
    elapsedMs_ = 0;
    update();
}

QString TGraphicProgressBar::Text() const
{
    return idle_ ? QString() : QString::fromStdString(ProgressText(mode_, executed_, total_, elapsedMs_));
}

double TGraphicProgressBar::Fraction() const
{
    if (idle_ || total_ <= 0)
        return 0.0;
    return std::clamp(double(executed_) / double(total_), 0.0, 1.0);
}

QSize TGraphicProgressBar::sizeHint() const
{
    return {160, fontMetrics().height() + 8};
}

void TGraphicProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), palette().base());
    const int filled = int(Fraction() * (frame.width() - 1) + 0.5);
    if (filled > 0)
        painter.fillRect(QRect(frame.left() + 1, frame.top() + 1, filled, frame.height() - 1),
                         palette().highlight());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    // The text stays readable where the bar runs under it.
    const QRect done(0, 0, frame.left() + 1 + filled, height());
    painter.setClipRect(done);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(rect(), Qt::AlignCenter, Text());
    painter.setClipRect(rect().adjusted(done.width(), 0, 0, 0));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(rect(), Qt::AlignCenter, Text());
}

void TGraphicProgressBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    mode_ = NextProgressMode(mode_);
    update();
}

} // namespace morvane
