#include "gui/TLoupePanel.h"

#include <QEvent>
#include <QFormLayout>
#include <QPainter>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

#include "document/TPaper.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {
// Whole pixels: a pixel's centre is on the integer.
int32_t PixelOf(double v) { return truncSat<int32_t>(std::floor(v + 0.5)); }
int32_t FloorDiv(int32_t a, int32_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
} // namespace

TLoupePanel::TLoupePanel(TMainForm& form, QWidget* parent)
    : QWidget(parent), form_(form), view_(new QWidget(this)), magnification_(new QSpinBox(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    view_->setObjectName(QStringLiteral("loupeView"));
    view_->setMinimumSize(128, 128);
    view_->installEventFilter(this);
    layout->addWidget(view_, 1);
    auto* form2 = new QFormLayout;
    magnification_->setObjectName(QStringLiteral("magnification"));
    magnification_->setRange(2, 16);
    magnification_->setValue(4);
    magnification_->setSuffix(QStringLiteral("×"));
    form2->addRow(QStringLiteral("倍率"), magnification_);
    layout->addLayout(form2);
    connect(magnification_, &QSpinBox::valueChanged, view_, qOverload<>(&QWidget::update));
}

void TLoupePanel::Refresh()
{
    TDrawWindow* w = form_.ActiveDrawWindow();
    shown_ = w != nullptr;
    if (w) {
        const PointD at = w->Input().LastDocumentPoint();
        centre_ = {PixelOf(at.x), PixelOf(at.y)};
    }
    view_->update();
}

Point TLoupePanel::PixelAt(QPoint viewPoint) const
{
    const int32_t m = magnification_->value();
    // The centre pixel's cell starts at the view's middle less half a cell.
    const int32_t left = view_->width() / 2 - m / 2, top = view_->height() / 2 - m / 2;
    return {centre_.x + FloorDiv(viewPoint.x() - left, m), centre_.y + FloorDiv(viewPoint.y() - top, m)};
}

void TLoupePanel::PaintView()
{
    QPainter p(view_);
    p.fillRect(view_->rect(), Qt::darkGray);
    TDrawWindow* w = form_.ActiveDrawWindow();
    if (!shown_ || !w)
        return;
    const TTC& composite = w->Paper().Composite();
    const int32_t m = magnification_->value();
    const int32_t left = view_->width() / 2 - m / 2, top = view_->height() / 2 - m / 2;
    for (int32_t cy = -(top / m) - 1; top + cy * m < view_->height(); ++cy)
        for (int32_t cx = -(left / m) - 1; left + cx * m < view_->width(); ++cx) {
            const int32_t dx = centre_.x + cx, dy = centre_.y + cy;
            if (dx < 0 || dy < 0 || dx >= composite.Width || dy >= composite.Height)
                continue;
            p.fillRect(left + cx * m, top + cy * m, m, m, QColor::fromRgb(composite.GetPixel(dx, dy) | 0xFF000000u));
        }
    p.setPen(QPen(Qt::red, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(left - 1, top - 1, m + 1, m + 1);
}

bool TLoupePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::Paint) {
        PaintView();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace morvane
