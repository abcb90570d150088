#pragma once
// The colour-range dialog: a 1:1 preview of the source (the current layer
// or the picture) where clicks pick colours, the list of picked colours,
// the range of the last one, and the result shown as greyscale or as the
// picked colours on white or black. The preview is recomputed 500 ms after
// the last change of the range; the computation is the document's.
#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QTimer>

#include "document/ColourRange.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QSlider;
class QSpinBox;

namespace morvane {

class TPaper;

class TFormColorMask final : public QDialog {
public:
    enum class Pick : uint8_t { New, Add, Remove, Move };
    enum class Look : uint8_t { Grey, OnWhite, OnBlack };

    explicit TFormColorMask(const TPaper& paper, QWidget* parent = nullptr);

    // The source and the picked colours.
    const SColourRange& Range() const { return range_; }

    // For tests and the window: the parts a user touches.
    QLabel* Preview() const { return preview_; }
    QListWidget* Entries() const { return entries_; }
    QSpinBox* RangeBox() const { return rangeBox_; }
    QComboBox* Source() const { return source_; }
    const QTimer& Debounce() const { return debounce_; }
    void SetPick(Pick pick);
    void SetLook(Look look);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadSource();
    void PickAt(QPoint at);
    void RangeChanged(int value);
    void Reset();
    void Recompute();
    void ShowPreview();
    void ListEntries();

    const TPaper& paper_;
    SColourRange range_;
    QImage picture_; // the source, its pixels as they are
    SCoverage coverage_;
    QPoint pan_{0, 0}, dragFrom_{0, 0};
    bool dragging_ = false;
    Pick pick_ = Pick::New;
    Look look_ = Look::Grey;
    QTimer debounce_;

    QComboBox* source_;
    QLabel* preview_;
    QListWidget* entries_;
    QButtonGroup* picks_;
    QButtonGroup* looks_;
    QLabel* pickLabel_;
    QSlider* rangeSlider_;
    QSpinBox* rangeBox_;
};

} // namespace morvane
