#include "gui/TNavigatorPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "document/TPaper.h"
#include "gui/PixelImages.h"
#include "gui/TDrawWindow.h"
#include "gui/TMainForm.h"

namespace morvane {

int ZoomStepIndex(ScaleRatio scale)
{
    const double v = double(scale.num) / scale.den;
    int index = 0;
    for (int i = 0; i < int(kScaleSteps.size()); ++i)
        if (double(kScaleSteps[size_t(i)].num) / kScaleSteps[size_t(i)].den <= v)
            index = i;
    return index;
}

namespace {

QToolButton* SmallButton(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setAutoRaise(true);
    return b;
}

// The view's turn shown from -180 to 180.
int SignedAngle(double clockwise)
{
    const int a = int(std::lround(clockwise)) % 360;
    return a > 180 ? a - 360 : a;
}

} // namespace

TNavigatorPanel::TNavigatorPanel(TMainForm& form, QWidget* parent)
    : QWidget(parent), form_(form), map_(new QWidget(this)), zoom_(new QSlider(Qt::Horizontal, this)),
      percent_(new QLabel(this)), angle_(new QSlider(Qt::Horizontal, this))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    map_->setObjectName(QStringLiteral("navigatorMap"));
    map_->setMinimumSize(160, 120);
    map_->installEventFilter(this);
    grid->addWidget(map_, 0, 0, 1, 4);
    zoom_->setRange(0, int(kScaleSteps.size()) - 1);
    zoom_->setObjectName(QStringLiteral("zoom"));
    QToolButton* out = SmallButton(this, "zoomOut", QStringLiteral("−"));
    QToolButton* in = SmallButton(this, "zoomIn", QStringLiteral("+"));
    grid->addWidget(out, 1, 0);
    grid->addWidget(zoom_, 1, 1);
    grid->addWidget(in, 1, 2);
    percent_->setMinimumWidth(48);
    grid->addWidget(percent_, 1, 3);
    angle_->setRange(-180, 180);
    angle_->setObjectName(QStringLiteral("angle"));
    QToolButton* reset = SmallButton(this, "angleReset", QStringLiteral("0°"));
    grid->addWidget(angle_, 2, 0, 1, 3);
    grid->addWidget(reset, 2, 3);

    connect(zoom_, &QSlider::valueChanged, this, [this](int step) {
        if (TDrawWindow* w = Window())
            w->SetZoom(kScaleSteps[size_t(step)]);
        Refresh();
    });
    connect(out, &QToolButton::clicked, this, [this] { form_.Run(QStringLiteral("ActViewZoomO")); });
    connect(in, &QToolButton::clicked, this, [this] { form_.Run(QStringLiteral("ActViewZoomI")); });
    connect(angle_, &QSlider::valueChanged, this, [this](int degrees) {
        if (TDrawWindow* w = Window())
            w->SetViewAngle(degrees < 0 ? degrees + 360 : degrees);
        Refresh();
    });
    connect(reset, &QToolButton::clicked, this, [this] { form_.Run(QStringLiteral("ActViewRot0")); });
    Refresh();
}

QToolButton* TNavigatorPanel::Button(const char* name) const
{
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

TDrawWindow* TNavigatorPanel::Window() const { return form_.ActiveDrawWindow(); }

void TNavigatorPanel::Refresh()
{
    TDrawWindow* w = Window();
    for (QWidget* control : std::initializer_list<QWidget*>{zoom_, angle_})
        control->setEnabled(w != nullptr);
    if (!w) {
        picture_.Release();
        map_->update();
        return;
    }
    TPaper& paper = w->Paper();
    docW_ = paper.Width;
    docH_ = paper.Height;
    // The picture fits the map (and kMaxSide) with its own aspect.
    const double scale = std::min({double(kMaxSide), double(map_->width()), double(map_->height())}) /
                         std::max({docW_, docH_, 1});
    const double fit = std::min(scale, std::min(double(map_->width()) / std::max(docW_, 1),
                                                double(map_->height()) / std::max(docH_, 1)));
    const int32_t fitW = std::max(1, int32_t(docW_ * fit)), fitH = std::max(1, int32_t(docH_ * fit));
    picture_.Refresh(paper, fitW, fitH);
    const QSignalBlocker a(zoom_), b(angle_);
    zoom_->setValue(ZoomStepIndex(w->View().Scale()));
    percent_->setText(QStringLiteral("%1%").arg(w->View().ScaleValue() * 100.0, 0, 'g', 4));
    angle_->setValue(SignedAngle(w->ViewAngle()));
    map_->update();
}

QRect TNavigatorPanel::PictureRect() const
{
    const TMTC& picture = picture_.Picture();
    return {(map_->width() - picture.Width) / 2, (map_->height() - picture.Height) / 2, picture.Width,
            picture.Height};
}

DocPoint TNavigatorPanel::DocumentAt(QPoint mapPoint) const
{
    const QRect r = PictureRect();
    if (r.width() <= 0 || docW_ <= 0)
        return {};
    const double s = double(docW_) / r.width();
    return {(mapPoint.x() - r.left() + 0.5) * s - 0.5, (mapPoint.y() - r.top() + 0.5) * s - 0.5};
}

QPointF TNavigatorPanel::MapPointOf(DocPoint doc) const
{
    const QRect r = PictureRect();
    const double s = docW_ > 0 ? double(r.width()) / docW_ : 0.0;
    return {r.left() + (doc.x + 0.5) * s, r.top() + (doc.y + 0.5) * s};
}

void TNavigatorPanel::MoveViewTo(QPoint mapPoint)
{
    TDrawWindow* w = Window();
    if (!w || picture_.Picture().Width <= 0)
        return;
    w->CentreOn(DocumentAt(mapPoint));
    map_->update();
}

void TNavigatorPanel::PaintMap()
{
    QPainter p(map_);
    p.fillRect(map_->rect(), palette().window());
    TDrawWindow* w = Window();
    if (!w || !picture_.Picture().IsValid())
        return;
    p.drawImage(PictureRect().topLeft(), ImageOf(picture_.Picture(), true));
    // The window's four corners in the document, then on the map.
    const CViewState& v = w->View();
    const double cw = v.ClientWidth(), ch = v.ClientHeight();
    QPolygonF outline;
    for (const DocPoint corner : {DocPoint{0, 0}, DocPoint{cw, 0}, DocPoint{cw, ch}, DocPoint{0, ch}})
        outline << MapPointOf(v.WindowToDocument(corner));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, 1.5));
    p.drawPolygon(outline);
}

bool TNavigatorPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != map_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: PaintMap(); return true;
    case QEvent::Resize: Refresh(); return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() & Qt::LeftButton)
            MoveViewTo(mouse->position().toPoint());
        return true;
    }
    default: return false;
    }
}

} // namespace morvane
