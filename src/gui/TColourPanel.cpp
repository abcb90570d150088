#include "gui/TColourPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "input/ToolState.h"
#include "view/ColourWheel.h"

namespace morvane {

namespace {

constexpr ColourChannel kChannels[6] = {ColourChannel::Red, ColourChannel::Green,      ColourChannel::Blue,
                                        ColourChannel::Hue, ColourChannel::Saturation, ColourChannel::Value};
constexpr const char* kChannelNames[6] = {"R", "G", "B", "H", "S", "V"};

QColor ColourOf(uint32_t rgb) { return QColor(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)); }

QImage ImageOf(const TMTC& picture)
{
    QImage image(picture.Width, picture.Height, QImage::Format_ARGB32);
    for (int32_t y = 0; y < picture.Height; ++y)
        std::memcpy(image.scanLine(y), picture.Row(y), size_t(picture.Width) * 4);
    return image;
}

// Main colour in front at the top left, sub colour behind at the bottom
// right; the one being edited is framed.
class Swatches final : public QWidget {
public:
    Swatches(TColourPanel& panel, ToolState& tools, QWidget* parent) : QWidget(parent), panel_(panel), tools_(tools)
    {
        setObjectName(QStringLiteral("colourSwatches"));
        setFixedSize(52, 52);
    }
    static QRect MainRect() { return {2, 2, 32, 32}; }
    static QRect SubRect() { return {18, 18, 32, 32}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const bool subActive = panel_.Edit().ActiveCell() == ColourEdit::Cell::Sub;
        const auto swatch = [&](QRect r, uint32_t colour, bool active) {
            p.fillRect(r, ColourOf(colour));
            p.setPen(QPen(active ? palette().highlight().color() : QColor(90, 90, 90), active ? 2 : 1));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        };
        swatch(SubRect(), tools_.SubColour(), subActive);
        swatch(MainRect(), tools_.MainColour(), !subActive);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        const QPoint at = event->position().toPoint();
        if (MainRect().contains(at))
            panel_.ChooseCell(ColourEdit::Cell::Main);
        else if (SubRect().contains(at))
            panel_.ChooseCell(ColourEdit::Cell::Sub);
    }

private:
    TColourPanel& panel_;
    ToolState& tools_;
};

} // namespace

// ---- the wheel ----

TColourWheel::TColourWheel(ColourEdit& edit, QWidget* parent) : QWidget(parent), edit_(edit)
{
    setObjectName(QStringLiteral("colourWheel"));
    setMinimumSize(120, 120);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int32_t TColourWheel::Side() const { return std::max(1, std::min(width(), height())); }

QPointF TColourWheel::Origin() const { return {(width() - Side()) / 2.0, (height() - Side()) / 2.0}; }

QPointF TColourWheel::SquarePoint(const Hsv& hsv) const
{
    const WheelPoint p = SquareMarker(WheelOf(Side()), hsv);
    return Origin() + QPointF(p.x + 0.5, p.y + 0.5);
}

QPointF TColourWheel::RingPoint(double hue) const
{
    const WheelPoint p = HueMarker(WheelOf(Side()), hue);
    return Origin() + QPointF(p.x, p.y);
}

void TColourWheel::paintEvent(QPaintEvent*)
{
    const Hsv hsv = edit_.CurrentHsv();
    if (drawnSide_ != Side() || drawnHue_ != hsv.h) {
        DrawColourWheel(picture_, Side(), hsv.h);
        drawnSide_ = Side();
        drawnHue_ = hsv.h;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(Origin(), ImageOf(picture_));
    const WheelGeometry wheel = WheelOf(Side());
    const auto marker = [&](WheelPoint at, double radius) {
        const QPointF c = Origin() + QPointF(at.x, at.y);
        p.setPen(QPen(Qt::black, 1.5));
        p.drawEllipse(c, radius, radius);
        p.setPen(QPen(Qt::white, 1));
        p.drawEllipse(c, radius - 1.5, radius - 1.5);
    };
    marker(HueMarker(wheel, hsv.h), (wheel.outer - wheel.inner) / 2 - 1);
    marker(SquareMarker(wheel, hsv), 5);
}

void TColourWheel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position() - Origin();
    const WheelGeometry wheel = WheelOf(Side());
    if (HueAt(wheel, at.x(), at.y()))
        drag_ = Drag::Ring;
    else if (at.x() >= wheel.square.left && at.x() < wheel.square.right && at.y() >= wheel.square.top &&
             at.y() < wheel.square.bottom)
        drag_ = Drag::Square;
    else
        return;
    Pick(event->position());
}

void TColourWheel::mouseMoveEvent(QMouseEvent* event)
{
    if (drag_ != Drag::None)
        Pick(event->position());
}

void TColourWheel::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::None; }

void TColourWheel::Pick(QPointF at)
{
    at -= Origin();
    const WheelGeometry wheel = WheelOf(Side());
    const Hsv hsv = edit_.CurrentHsv();
    if (drag_ == Drag::Ring)
        edit_.SetHsv({HueToward(wheel, at.x(), at.y()), hsv.s, hsv.v});
    else
        edit_.SetHsv(SquareAt(wheel, at.x() - 0.5, at.y() - 0.5, hsv.h));
    update();
}

// ---- the panel ----

TColourPanel::TColourPanel(ToolState& tools, QWidget* parent) : QWidget(parent), tools_(tools), edit_(tools)
{
    setObjectName(QStringLiteral("colourPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* top = new QHBoxLayout;
    swatches_ = new Swatches(*this, tools_, this);
    top->addWidget(swatches_);
    auto* buttons = new QVBoxLayout;
    auto* swap = new QToolButton(this);
    swap->setObjectName(QStringLiteral("colourSwap"));
    swap->setText(QStringLiteral("⇄"));
    swap->setToolTip(QStringLiteral("入れ替え (X)"));
    connect(swap, &QToolButton::clicked, this, [this] { tools_.SwapColours(); });
    auto* reset = new QToolButton(this);
    reset->setObjectName(QStringLiteral("colourReset"));
    reset->setText(QStringLiteral("■□"));
    reset->setToolTip(QStringLiteral("初期値に戻す (D)"));
    connect(reset, &QToolButton::clicked, this, [this] { tools_.ResetColours(); });
    buttons->addWidget(swap);
    buttons->addWidget(reset);
    buttons->addStretch();
    top->addLayout(buttons);
    top->addStretch();
    hex_ = new QLineEdit(this);
    hex_->setObjectName(QStringLiteral("colourHex"));
    hex_->setMaximumWidth(80);
    hex_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("#?[0-9A-Fa-f]{6}")), hex_));
    connect(hex_, &QLineEdit::editingFinished, this, [this] {
        bool ok = false;
        const uint32_t rgb = hex_->text().remove(QLatin1Char('#')).toUInt(&ok, 16);
        if (ok)
            edit_.SetColour(rgb);
        Refresh();
    });
    top->addWidget(hex_, 0, Qt::AlignTop);
    layout->addLayout(top);

    wheel_ = new TColourWheel(edit_, this);
    layout->addWidget(wheel_, 1);

    auto* grid = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        const ColourChannel channel = kChannels[i];
        auto* label = new QLabel(QString::fromLatin1(kChannelNames[i]), this);
        sliders_[i] = new QSlider(Qt::Horizontal, this);
        sliders_[i]->setObjectName(QStringLiteral("colour%1").arg(QLatin1String(kChannelNames[i])));
        sliders_[i]->setRange(0, ColourEdit::Maximum(channel));
        spins_[i] = new QSpinBox(this);
        spins_[i]->setRange(0, ColourEdit::Maximum(channel));
        spins_[i]->setKeyboardTracking(false);
        const auto set = [this, channel](int v) {
            if (!refreshing_)
                edit_.SetValue(channel, v);
            Refresh();
        };
        connect(sliders_[i], &QSlider::valueChanged, this, set);
        connect(spins_[i], &QSpinBox::valueChanged, this, set);
        grid->addWidget(label, i, 0);
        grid->addWidget(sliders_[i], i, 1);
        grid->addWidget(spins_[i], i, 2);
    }
    layout->addLayout(grid);
    listener_ = tools_.Listen([this](uint32_t changes) {
        if (changes & toolchange::kColours) {
            edit_.Follow();
            Refresh();
        }
    });
    Refresh();
}

TColourPanel::~TColourPanel() { tools_.Forget(listener_); }

void TColourPanel::ChooseCell(ColourEdit::Cell cell)
{
    edit_.ChooseCell(cell, cellExchange && cellExchange());
    Refresh();
}

void TColourPanel::Refresh()
{
    if (refreshing_)
        return;
    refreshing_ = true;
    for (int i = 0; i < 6; ++i) {
        const int v = edit_.Value(kChannels[i]);
        sliders_[i]->setValue(v);
        spins_[i]->setValue(v);
    }
    if (!hex_->hasFocus())
        hex_->setText(QStringLiteral("#%1").arg(edit_.Colour(), 6, 16, QLatin1Char('0')).toUpper());
    refreshing_ = false;
    swatches_->update();
    wheel_->update();
}

} // namespace morvane
