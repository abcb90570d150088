#pragma once
// The dialog of every filter with parameters, built from the filter's
// descriptor: a slider and a number box per numeric value, a check box per
// flag, the channel list of grouped values, the histogram, the defaults and
// automatic buttons where the filter has them, and the preview box. The
// update cycle is FilterDialogController's; the dialog only shows it and
// previews on the document through the run.
#include <QDialog>
#include <QTimer>

#include <memory>
#include <vector>

#include "app/FilterCommand.h"
#include "app/FilterDialogController.h"
#include "filters/CHistogram.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QSlider;

namespace morvane {

class CFlt4Core;
class THistogramView;
class TPreviewFrame;

class TFormFilter final : public QDialog {
public:
    TFormFilter(const FilterDescriptor& filter, CFlt4Core& run, const FilterLastParams& last,
                QWidget* parent = nullptr);
    ~TFormFilter() override;

    FilterLastParams Chosen() const { return {controller_.Current(), controller_.Preview()}; }
    FilterDialogController& Controller() { return controller_; }
    // The zoomable pane of filters judged close up; null for the others.
    TPreviewFrame* Pane() const { return pane_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct ParamControls {
        size_t param;
        // Which of a grouped parameter's values: -1 follows the channel list.
        int index = -1;
        QSlider* slider = nullptr;
        QDoubleSpinBox* number = nullptr;
        QCheckBox* check = nullptr;
        QComboBox* list = nullptr;
    };
    void Build();
    void AddParam(size_t index, QGridLayout* grid, int row);
    // A grid of number boxes, one per value of a grouped parameter (the
    // 5 x 5 weights).
    void AddGrid(size_t index, QGridLayout* grid, int row);
    QDoubleSpinBox* NumberBox(const FilterParam& p, const QString& name);
    void Connect(const ParamControls& c);
    int IndexOf(const ParamControls& c) const;
    // The controller's values shown in every control, their signals held.
    void LoadControls();
    void ValueChanged(const ParamControls& c, double shown);
    void Answer(FilterDialogController::Change change);
    void UpdatePreview(bool forced);
    int Channel() const;

    const FilterDescriptor& filter_;
    CFlt4Core& run_;
    FilterDialogController controller_;
    CHistogram histogram_;
    std::vector<ParamControls> controls_;
    QComboBox* channels_ = nullptr;
    QCheckBox* preview_ = nullptr;
    // Colour balance: one slider moves all three.
    QCheckBox* sync_ = nullptr;
    THistogramView* histogramView_ = nullptr;
    TPreviewFrame* pane_ = nullptr;
    QTimer timer_;
    bool loading_ = false;
};

} // namespace morvane
