#include "gui/TFormLayerOption.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "document/ModeLists.h"
#include "document/TPaper.h"
#include "gui/Cp932NameValidator.h"
#include "gui/TBlendModeDropDwon.h"

namespace morvane {

namespace {

constexpr int kPreviewSide = 160;

QSpinBox* PercentBox(QWidget* parent, const char* name)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, 100);
    box->setSuffix(QStringLiteral("%"));
    return box;
}

QDoubleSpinBox* PositionBox(QWidget* parent, const char* name)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setDecimals(1);
    return box;
}

void SetLimits(QDoubleSpinBox* box, int32_t current, int32_t storeSide)
{
    const PositionRange r = PositionLimits(current, storeSide);
    box->setRange(r.low, r.high);
    box->setValue(current);
}

} // namespace

SLayerOptions LayerOptionsOf(const CLayerData& layer)
{
    SLayerOptions o;
    o.name = layer.Name;
    o.mode = layer.Mode;
    o.opacityPercent = ByteToPercent(layer.Opacity);
    o.dither = layer.Dither;
    o.densityPercent = ByteToPercent(layer.DitherDensity);
    o.left = -layer.OriginX;
    o.top = -layer.OriginY;
    return o;
}

bool ApplyLayerOptions(TPaper& paper, int32_t index, const SLayerOptions& chosen)
{
    const CLayerData* layer = paper.LayerAt(index);
    if (!layer)
        return false;
    const SLayerOptions was = LayerOptionsOf(*layer);
    bool ok = true;
    if (chosen.name != was.name)
        ok = paper.RenameLayer(index, chosen.name) && ok;
    if (chosen.mode != was.mode)
        ok = paper.SetLayerMode(index, chosen.mode) && ok;
    // A per cent shown and taken back unchanged leaves the byte as it was.
    if (chosen.opacityPercent != was.opacityPercent)
        ok = paper.SetLayerOpacity(index, PercentToByte(chosen.opacityPercent)) && ok;
    if (chosen.dither != was.dither || chosen.densityPercent != was.densityPercent)
        ok = paper.SetLayerDither(index, chosen.dither,
                                  chosen.densityPercent != was.densityPercent ? PercentToByte(chosen.densityPercent)
                                                                              : layer->DitherDensity) &&
             ok;
    // The store's left moving by d is a shift of the content by d.
    if (chosen.left != was.left || chosen.top != was.top)
        ok = paper.ShiftLayer(index, int32_t(int64_t(chosen.left) - was.left), int32_t(int64_t(chosen.top) - was.top)) &&
             ok;
    return ok;
}

TFormLayerOption::TFormLayerOption(TPaper& paper, int32_t index, std::function<bool()> trim, QWidget* parent)
    : QDialog(parent), paper_(paper), index_(index), trim_(std::move(trim)), name_(NameField(this, "layerName")),
      mode_(new TBlendModeDropDwon(this)), opacity_(PercentBox(this, "opacity")),
      dither_(new QCheckBox(QStringLiteral("ディザ合成(&D)"), this)), density_(PercentBox(this, "density")),
      left_(PositionBox(this, "left")), top_(PositionBox(this, "top")), storeW_(new QLabel(this)),
      storeH_(new QLabel(this)), preview_(new QWidget(this)),
      trimButton_(new QPushButton(QStringLiteral("表示範囲外を削除(&R)"), this))
{
    setWindowTitle(QStringLiteral("レイヤのプロパティ"));
    const CLayerData& layer = *paper_.LayerAt(index_);
    const SLayerOptions shown = LayerOptionsOf(layer);
    auto* layout = new QVBoxLayout(this);

    auto* general = new QGroupBox(QStringLiteral("一般"), this);
    auto* form = new QFormLayout(general);
    name_->setText(QString::fromStdString(shown.name));
    form->addRow(QStringLiteral("レイヤ名(&N)"), name_);
    mode_->setObjectName(QStringLiteral("layerMode"));
    mode_->SetMode(shown.mode);
    form->addRow(QStringLiteral("モード(&M)"), mode_);
    opacity_->setValue(shown.opacityPercent);
    form->addRow(QStringLiteral("不透明度(&O)"), opacity_);
    dither_->setObjectName(QStringLiteral("dither"));
    dither_->setChecked(shown.dither);
    form->addRow(QString(), dither_);
    density_->setValue(shown.densityPercent);
    form->addRow(QStringLiteral("濃度(&E)"), density_);
    layout->addWidget(general);

    auto* place = new QGroupBox(QStringLiteral("表示位置と保持サイズ"), this);
    auto* grid = new QGridLayout(place);
    const auto labelFor = [place](const char* text, QWidget* buddy) {
        auto* label = new QLabel(QString::fromUtf8(text), place);
        label->setBuddy(buddy);
        return label;
    };
    grid->addWidget(labelFor("左(&L)", left_), 0, 0);
    grid->addWidget(left_, 0, 1);
    grid->addWidget(labelFor("上(&T)", top_), 1, 0);
    grid->addWidget(top_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("幅"), place), 2, 0);
    grid->addWidget(storeW_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("高さ"), place), 3, 0);
    grid->addWidget(storeH_, 3, 1);
    preview_->setObjectName(QStringLiteral("storePreview"));
    preview_->setFixedSize(kPreviewSide, kPreviewSide);
    preview_->installEventFilter(this);
    grid->addWidget(preview_, 0, 2, 4, 1);
    trimButton_->setObjectName(QStringLiteral("trimOutside"));
    grid->addWidget(trimButton_, 4, 0, 1, 3);
    layout->addWidget(place);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(trimButton_, &QPushButton::clicked, this, [this] {
        if (trim_ && trim_())
            ShowStore();
    });
    for (QDoubleSpinBox* box : {left_, top_})
        connect(box, &QDoubleSpinBox::valueChanged, preview_, qOverload<>(&QWidget::update));
    ShowStore();
}

void TFormLayerOption::ShowStore()
{
    const CLayerData& layer = *paper_.LayerAt(index_);
    SetLimits(left_, -layer.OriginX, layer.Store->Width);
    SetLimits(top_, -layer.OriginY, layer.Store->Height);
    storeW_->setText(QString::number(layer.Store->Width));
    storeH_->setText(QString::number(layer.Store->Height));
    trimButton_->setEnabled(layer.IsLargerThanPicture());
    preview_->update();
}

SLayerOptions TFormLayerOption::Choice() const
{
    SLayerOptions c;
    c.name = name_->text().toStdString();
    c.mode = mode_->Mode();
    c.opacityPercent = opacity_->value();
    c.dither = dither_->isChecked();
    c.densityPercent = density_->value();
    c.left = PositionFromField(left_->value());
    c.top = PositionFromField(top_->value());
    return c;
}

bool TFormLayerOption::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == preview_ && event->type() == QEvent::Paint) {
        PaintPreview(preview_);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// The store sampled to the box, and the picture's frame where the position
// fields put it.
void TFormLayerOption::PaintPreview(QWidget* preview)
{
    const CLayerData& layer = *paper_.LayerAt(index_);
    const CBlockVMTC& store = *layer.Store;
    const double scale = double(kPreviewSide) / std::max(store.Width, store.Height);
    const int w = std::max(1, int(store.Width * scale)), h = std::max(1, int(store.Height * scale));
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, store.GetPixelOrDefault(int32_t(x / scale), int32_t(y / scale)));
    QPainter p(preview);
    p.fillRect(preview->rect(), Qt::lightGray);
    p.drawImage(0, 0, image);
    p.setPen(QPen(Qt::red, 1));
    const double left = -PositionFromField(left_->value()), top = -PositionFromField(top_->value());
    p.drawRect(QRectF(left * scale, top * scale, layer.NominalW * scale, layer.NominalH * scale));
}

} // namespace morvane
