#include "gui/TFormFilter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

#include "document/CFlt4Core.h"
#include "gui/TPreviewFrame.h"
#include "platform/Clock.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

// The histogram picture: 258 x 102 with a sunken frame, one column per
// level, the three channels tinted over each other or one alone.
class THistogramView final : public QFrame {
public:
    THistogramView(const CHistogram& histogram, QWidget* parent) : QFrame(parent), histogram_(histogram)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(1);
        setFixedSize(258, 102);
        setObjectName(QStringLiteral("histogram"));
    }
    // -1: the three channels; 0..2 red, green, blue; 3 luminance.
    void Show(int channel)
    {
        channel_ = channel;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        QPainter p(this);
        p.fillRect(1, 1, 256, 100, Qt::white);
        const QColor tints[] = {QColor(204, 85, 85), QColor(85, 204, 85), QColor(85, 85, 204), Qt::black};
        const CHistogram::Channel order[] = {CHistogram::Red, CHistogram::Green, CHistogram::Blue, CHistogram::Luma};
        for (int c = 0; c < 4; ++c) {
            if (channel_ >= 0 ? c != channel_ : c == 3)
                continue;
            QColor tint = tints[c];
            if (channel_ < 0)
                tint.setAlpha(150);
            p.setPen(tint);
            for (int x = 0; x < 256; ++x)
                if (const int h = histogram_.ColumnHeight(order[c], x); h > 0)
                    p.drawLine(1 + x, 100, 1 + x, 101 - h);
        }
    }

private:
    const CHistogram& histogram_;
    int channel_ = -1;
};

namespace {

constexpr uint8_t kLevels = 60, kThreshold = 49, kColourBalance = 24;

int SliderSteps(const FilterParam& p) { return p.kind == ParamKind::Float ? 100 : 1; }

constexpr int kGridSide = 5;

} // namespace

TFormFilter::TFormFilter(const FilterDescriptor& filter, CFlt4Core& run, const FilterLastParams& last,
                         QWidget* parent)
    : QDialog(parent), filter_(filter), run_(run), controller_(filter, last.record, last.preview, CurrentClock())
{
    setWindowTitle(QString::fromUtf8(filter.name));
    setObjectName(QString::fromUtf8(filter.dialog));
    if (run.Backup() && (filter.code == kLevels || filter.code == kThreshold))
        histogram_.Gather(*run.Backup(), run.Bounds(), run.Coverage());
    timer_.setSingleShot(true);
    timer_.setInterval(int(FilterDialogController::kUpdateDelayMs));
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (controller_.TimerDue())
            UpdatePreview(false);
        else if (controller_.TimerPending())
            timer_.start();
    });
    Build();
    LoadControls();
    if (pane_)
        pane_->Bind(run_, [this] { return controller_.Current(); });
}

TFormFilter::~TFormFilter() = default;

void TFormFilter::Build()
{
    auto* layout = new QVBoxLayout(this);
    const bool levels = filter_.code == kLevels, threshold = filter_.code == kThreshold;
    if (levels) {
        channels_ = new QComboBox(this);
        channels_->setObjectName(QStringLiteral("channelList"));
        channels_->addItems({QStringLiteral("RGB"), QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")});
        connect(channels_, &QComboBox::currentIndexChanged, this, [this](int channel) {
            LoadControls();
            if (histogramView_)
                histogramView_->Show(channel - 1);
        });
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("チャンネル"), this));
        row->addWidget(channels_, 1);
        layout->addLayout(row);
    }
    if (levels || threshold) {
        histogramView_ = new THistogramView(histogram_, this);
        histogramView_->Show(threshold ? 3 : -1);
        layout->addWidget(histogramView_, 0, Qt::AlignHCenter);
    }
    if (filter_.pane) {
        pane_ = new TPreviewFrame(this);
        pane_->setObjectName(QStringLiteral("previewPane"));
        layout->addWidget(pane_, 0, Qt::AlignHCenter);
    }
    auto* grid = new QGridLayout;
    int row = 0;
    for (size_t i = 0; i < filter_.params.size(); ++i) {
        const FilterParam& p = filter_.params[i];
        if (p.control == ParamControl::None)
            continue;
        if (p.count > 1 && p.control == ParamControl::Edit)
            AddGrid(i, grid, row++);
        else
            AddParam(i, grid, row++);
    }
    layout->addLayout(grid);
    if (controller_.HasSeed()) {
        auto* reseed = new QPushButton(QStringLiteral("再作成(&R)"), this);
        reseed->setObjectName(QStringLiteral("reseedButton"));
        connect(reseed, &QPushButton::clicked, this,
                [this] { Answer(controller_.Reseed(CurrentClock().Milliseconds())); });
        layout->addWidget(reseed, 0, Qt::AlignLeft);
    }
    if (filter_.code == kColourBalance) {
        sync_ = new QCheckBox(QStringLiteral("スライダーを連動(&S)"), this);
        sync_->setObjectName(QStringLiteral("syncBox"));
        layout->addWidget(sync_);
    }

    auto* side = new QHBoxLayout;
    if (levels || threshold) {
        auto* reset = new QPushButton(levels ? QStringLiteral("初期値(&R)") : QStringLiteral("初期値(&D)"), this);
        reset->setObjectName(QStringLiteral("defaultsButton"));
        connect(reset, &QPushButton::clicked, this, [this] { Answer(controller_.ResetDefaults()); });
        auto* automatic = new QPushButton(QStringLiteral("自動調整(&A)"), this);
        automatic->setObjectName(QStringLiteral("autoButton"));
        connect(automatic, &QPushButton::clicked, this, [this] { Answer(controller_.AutoAdjust(histogram_)); });
        side->addWidget(reset);
        side->addWidget(automatic);
    }
    preview_ = new QCheckBox(QStringLiteral("プレビュー(&P)"), this);
    preview_->setObjectName(QStringLiteral("previewBox"));
    connect(preview_, &QCheckBox::toggled, this, [this](bool on) {
        if (!loading_)
            Answer(controller_.SetPreview(on));
    });
    side->addStretch(1);
    side->addWidget(preview_);
    layout->addLayout(side);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("okButton"));
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QDoubleSpinBox* TFormFilter::NumberBox(const FilterParam& p, const QString& name)
{
    auto* number = new QDoubleSpinBox(this);
    const bool real = p.kind == ParamKind::Float || p.kind == ParamKind::WrapFloat;
    number->setDecimals(real ? 2 : int(std::lround(std::log10(std::abs(p.scale)))));
    double lo = p.min / p.scale, hi = p.max / p.scale;
    // The zoom blur's centre moves over half the bounds each way.
    const EdgeRect& b = run_.Bounds();
    if (p.kind == ParamKind::OffsetX || p.kind == ParamKind::OffsetY) {
        const double half = (p.kind == ParamKind::OffsetX ? b.right - b.left : b.bottom - b.top) / 2;
        lo = std::max(lo, -half), hi = std::min(hi, half);
    }
    number->setRange(std::min(lo, hi), std::max(lo, hi));
    number->setSingleStep(p.step / std::abs(p.scale));
    number->setWrapping(p.kind == ParamKind::WrapAngle || p.kind == ParamKind::WrapShort);
    number->setObjectName(name);
    return number;
}

void TFormFilter::AddParam(size_t index, QGridLayout* grid, int row)
{
    const FilterParam& p = filter_.params[index];
    ParamControls c{index};
    const QString label = QString::fromUtf8(p.label);
    if (p.kind == ParamKind::Flag) {
        c.check = new QCheckBox(label, this);
        grid->addWidget(c.check, row, 0, 1, 3);
        return Connect(c);
    }
    grid->addWidget(new QLabel(label, this), row, 0);
    if (p.control == ParamControl::List) {
        c.list = new QComboBox(this);
        c.list->setObjectName(QStringLiteral("list%1").arg(index));
        for (const char* item : p.items)
            c.list->addItem(QString::fromUtf8(item));
        grid->addWidget(c.list, row, 1, 1, 2);
        return Connect(c);
    }
    c.number = NumberBox(p, QStringLiteral("number%1").arg(index));
    if (p.control != ParamControl::Edit) {
        const int steps = SliderSteps(p);
        const bool wraps = p.kind == ParamKind::WrapAngle || p.kind == ParamKind::WrapShort;
        c.slider = new QSlider(Qt::Horizontal, this);
        c.slider->setRange(int(std::lround(c.number->minimum() * std::abs(p.scale) * steps)),
                           int(std::lround(c.number->maximum() * std::abs(p.scale) * steps)) - (wraps ? 1 : 0));
        c.slider->setMinimumWidth(200);
        c.slider->setObjectName(QStringLiteral("slider%1").arg(index));
        grid->addWidget(c.slider, row, 1);
    }
    grid->addWidget(c.number, row, 2);
    Connect(c);
}

void TFormFilter::AddGrid(size_t index, QGridLayout* grid, int row)
{
    const FilterParam& p = filter_.params[index];
    auto* weights = new QGridLayout;
    for (int i = 0; i < p.count; ++i) {
        ParamControls c{index, i};
        c.number = NumberBox(p, QStringLiteral("number%1_%2").arg(index).arg(i));
        c.number->setMinimumWidth(80);
        weights->addWidget(c.number, i / kGridSide, i % kGridSide);
        Connect(c);
    }
    grid->addLayout(weights, row, 0, 1, 3);
}

void TFormFilter::Connect(const ParamControls& c)
{
    controls_.push_back(c);
    const FilterParam& p = filter_.params[c.param];
    if (c.check)
        connect(c.check, &QCheckBox::toggled, this, [this, c](bool on) { ValueChanged(c, on ? 1 : 0); });
    if (c.list)
        connect(c.list, &QComboBox::currentIndexChanged, this, [this, c](int i) { ValueChanged(c, i); });
    if (c.slider) {
        // The slider counts stored units (sign included), the box shown ones.
        const double perShown = SliderSteps(p) * std::abs(p.scale);
        connect(c.slider, &QSlider::valueChanged, this, [this, c, perShown](int v) { ValueChanged(c, v / perShown); });
    }
    if (c.number)
        connect(c.number, &QDoubleSpinBox::valueChanged, this, [this, c](double v) { ValueChanged(c, v); });
}

int TFormFilter::IndexOf(const ParamControls& c) const
{
    return c.index >= 0 ? c.index : filter_.params[c.param].count > 1 ? Channel() : 0;
}

int TFormFilter::Channel() const { return channels_ ? channels_->currentIndex() : 0; }

void TFormFilter::LoadControls()
{
    loading_ = true;
    for (const ParamControls& c : controls_) {
        const FilterParam& p = filter_.params[c.param];
        const double shown = controller_.Value(c.param, IndexOf(c));
        if (c.check) {
            const QSignalBlocker block(c.check);
            c.check->setChecked(shown != 0);
            continue;
        }
        if (c.list) {
            const QSignalBlocker block(c.list);
            c.list->setCurrentIndex(int(shown));
            continue;
        }
        if (c.slider) {
            const QSignalBlocker blockSlider(c.slider);
            c.slider->setValue(int(std::lround(shown * std::abs(p.scale) * SliderSteps(p))));
        }
        const QSignalBlocker blockNumber(c.number);
        c.number->setValue(shown);
    }
    const QSignalBlocker block(preview_);
    preview_->setChecked(controller_.Preview());
    loading_ = false;
}

void TFormFilter::ValueChanged(const ParamControls& c, double shown)
{
    if (loading_)
        return;
    const FilterDialogController::Change change = controller_.SetValue(c.param, IndexOf(c), shown);
    if (sync_ && sync_->isChecked())
        for (size_t other = 0; other < filter_.params.size(); ++other)
            controller_.SetValue(other, 0, shown);
    // A slider and its number box follow each other (and the ordering rule).
    Answer(change);
}

void TFormFilter::Answer(FilterDialogController::Change change)
{
    LoadControls();
    if (change == FilterDialogController::Change::Debounced)
        timer_.start();
    else if (change == FilterDialogController::Change::Immediate)
        UpdatePreview(false);
}

void TFormFilter::UpdatePreview(bool forced)
{
    if (!forced && !controller_.NeedsUpdate())
        return;
    controller_.StoreApplied();
    timer_.stop();
    if (pane_)
        pane_->Refresh();
    if (controller_.Preview())
        run_.PreviewOnDocument({controller_.Current()});
    else
        run_.EndPreview(true);
}

void TFormFilter::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    UpdatePreview(true);
}

} // namespace morvane
