#include "gui/TFormColorMask.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "document/CLayerData.h"
#include "document/TPaper.h"
#include "gui/PixelImages.h"
#include "platform/UserNotifier.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

namespace {

constexpr int kPreviewW = 320, kPreviewH = 240;
constexpr int kDebounceMs = 500;
const char* const kPickLabels[] = {"新規", "追加", "削除", ""};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QRgb Blend(QRgb colour, QRgb background, int c)
{
    const auto mix = [c](int a, int b) { return (a * c + b * (255 - c) + 127) / 255; };
    return qRgb(mix(qRed(colour), qRed(background)), mix(qGreen(colour), qGreen(background)),
                mix(qBlue(colour), qBlue(background)));
}

} // namespace

TFormColorMask::TFormColorMask(const TPaper& paper, QWidget* parent)
    : QDialog(parent), paper_(paper), source_(new QComboBox(this)), preview_(new QLabel(this)),
      entries_(new QListWidget(this)), picks_(new QButtonGroup(this)), looks_(new QButtonGroup(this)),
      pickLabel_(new QLabel(this)), rangeSlider_(new QSlider(Qt::Horizontal, this)), rangeBox_(new QSpinBox(this))
{
    setWindowTitle(Text("色域選択"));
    source_->setObjectName(QStringLiteral("source"));
    source_->addItem(Text("レイヤ"));
    source_->addItem(Text("画像"));
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFixedSize(kPreviewW, kPreviewH);
    preview_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    preview_->installEventFilter(this);
    entries_->setObjectName(QStringLiteral("entries"));

    auto* pickBox = new QGroupBox(this);
    auto* pickRow = new QHBoxLayout(pickBox);
    const char* pickNames[] = {"新規(&N)", "追加(&A)", "削除(&S)", "移動(&H)"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(Text(pickNames[i]), pickBox);
        picks_->addButton(b, i);
        pickRow->addWidget(b);
    }
    auto* lookBox = new QGroupBox(this);
    auto* lookRow = new QHBoxLayout(lookBox);
    const char* lookNames[] = {"グレースケール", "カラー(背景白)", "カラー(背景黒)"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QRadioButton(Text(lookNames[i]), lookBox);
        looks_->addButton(b, i);
        lookRow->addWidget(b);
    }
    rangeSlider_->setRange(1, 255);
    rangeBox_->setRange(1, 255);
    rangeBox_->setObjectName(QStringLiteral("range"));
    auto* rangeLabel = new QLabel(Text("適用範囲(&G)"), this);
    rangeLabel->setBuddy(rangeSlider_);
    auto* reset = new QPushButton(Text("初期値(&R)"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* side = new QVBoxLayout;
    side->addWidget(source_);
    side->addWidget(entries_);
    side->addWidget(pickLabel_);
    auto* left = new QVBoxLayout;
    left->addWidget(preview_);
    left->addWidget(lookBox);
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(side);
    auto* range = new QHBoxLayout;
    range->addWidget(rangeLabel);
    range->addWidget(rangeSlider_, 1);
    range->addWidget(rangeBox_);
    range->addWidget(reset);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pickBox);
    layout->addLayout(range);
    layout->addWidget(buttons);

    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, [this] { Recompute(); });
    connect(rangeSlider_, &QSlider::valueChanged, rangeBox_, &QSpinBox::setValue);
    connect(rangeBox_, &QSpinBox::valueChanged, rangeSlider_, &QSlider::setValue);
    connect(rangeBox_, &QSpinBox::valueChanged, this, [this](int v) { RangeChanged(v); });
    connect(picks_, &QButtonGroup::idClicked, this, [this](int id) { SetPick(Pick(id)); });
    connect(looks_, &QButtonGroup::idClicked, this, [this](int id) { SetLook(Look(id)); });
    connect(source_, &QComboBox::currentIndexChanged, this, [this] { LoadSource(); });
    connect(reset, &QPushButton::clicked, this, [this] { Reset(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    looks_->button(0)->setChecked(true);
    Reset();
    LoadSource();
}

void TFormColorMask::SetPick(Pick pick)
{
    pick_ = pick;
    picks_->button(int(pick))->setChecked(true);
    if (pick != Pick::Move)
        pickLabel_->setText(Text(kPickLabels[int(pick)]));
}

void TFormColorMask::SetLook(Look look)
{
    look_ = look;
    looks_->button(int(look))->setChecked(true);
    ShowPreview();
}

void TFormColorMask::Reset()
{
    SetPick(Pick::New);
    rangeBox_->setValue(kDefaultColourRange);
}

// The source's pixels as they are: the layer's store, or the picture.
void TFormColorMask::LoadSource()
{
    range_.source = source_->currentIndex() == 1 ? ColourRangeSource::Composite : ColourRangeSource::Layer;
    picture_ = QImage();
    const CLayerData* layer = paper_.LayerAt(paper_.CurrentLayer());
    if (range_.source == ColourRangeSource::Composite) {
        picture_ = ImageOf(paper_.Composite(), true);
    } else if (layer && layer->HasStore()) {
        TMTC copy(layer->Store->Width, layer->Store->Height);
        if (copy.IsValid() && layer->Store->CopyOut(copy, {0, 0}, false, 255, {0, 0, copy.Width, copy.Height}))
            picture_ = ImageOf(copy);
    }
    pan_ = {0, 0};
    Recompute();
}

void TFormColorMask::PickAt(QPoint at)
{
    const QPoint p = at + pan_;
    if (!picture_.valid(p))
        return;
    if (pick_ != Pick::New && int(range_.entries.size()) >= kMaxColourRangeEntries) {
        Notifier().Warn(Text("これ以上%1を追加できません！").arg(Text("色")).toStdString());
        return;
    }
    if (pick_ == Pick::New)
        range_.entries.clear();
    range_.entries.push_back(
        {uint32_t(picture_.pixel(p) & 0x00FFFFFFu), pick_ != Pick::Remove, uint8_t(rangeBox_->value())});
    ListEntries();
    Recompute();
}

void TFormColorMask::RangeChanged(int value)
{
    if (range_.entries.empty())
        return;
    range_.entries.back().range = uint8_t(value);
    ListEntries();
    debounce_.start();
}

void TFormColorMask::ListEntries()
{
    entries_->clear();
    for (const SColourRangeEntry& e : range_.entries)
        entries_->addItem(QStringLiteral("%1 #%2  %3")
                              .arg(e.add ? QStringLiteral("+") : QStringLiteral("-"))
                              .arg(e.colour, 6, 16, QLatin1Char('0'))
                              .arg(e.range));
}

void TFormColorMask::Recompute()
{
    debounce_.stop();
    SColourRangeCounts counts;
    const ColourRangeResult result = range_.entries.empty() ? ColourRangeResult::NothingSelected
                                                            : ComputeColourRange(paper_, range_, coverage_, counts);
    if (result != ColourRangeResult::Selected && result != ColourRangeResult::NothingSelected)
        coverage_ = {};
    if (range_.entries.empty())
        coverage_ = {};
    ShowPreview();
}

// The visible part of the source at 1:1 in the chosen look.
void TFormColorMask::ShowPreview()
{
    QImage shown(kPreviewW, kPreviewH, QImage::Format_RGB32);
    shown.fill(Qt::gray);
    const bool covered = !coverage_.bytes.empty();
    for (int y = 0; y < kPreviewH; ++y)
        for (int x = 0; x < kPreviewW; ++x) {
            const QPoint p(x + pan_.x(), y + pan_.y());
            if (!picture_.valid(p))
                continue;
            const int c = covered ? coverage_.Row(coverage_.rect.top + p.y())[p.x()] : 0;
            const QRgb colour = picture_.pixel(p);
            switch (look_) {
            case Look::Grey: shown.setPixel(x, y, qRgb(c, c, c)); break;
            case Look::OnWhite: shown.setPixel(x, y, Blend(colour, qRgb(255, 255, 255), c)); break;
            case Look::OnBlack: shown.setPixel(x, y, Blend(colour, qRgb(0, 0, 0), c)); break;
            }
        }
    preview_->setPixmap(QPixmap::fromImage(shown));
}

bool TFormColorMask::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != preview_)
        return QDialog::eventFilter(watched, event);
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse || mouse->button() == Qt::RightButton)
        return false;
    const QPoint at = mouse->position().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (pick_ != Pick::Move) {
            PickAt(at);
        } else {
            dragging_ = true;
            dragFrom_ = at;
        }
        return true;
    case QEvent::MouseMove:
        if (dragging_) {
            const QPoint limit(std::max(0, picture_.width() - kPreviewW), std::max(0, picture_.height() - kPreviewH));
            pan_ -= at - dragFrom_;
            pan_ = {std::clamp(pan_.x(), 0, limit.x()), std::clamp(pan_.y(), 0, limit.y())};
            dragFrom_ = at;
            ShowPreview();
        }
        return true;
    case QEvent::MouseButtonRelease: dragging_ = false; return true;
    default: return false;
    }
}

} // namespace morvane
