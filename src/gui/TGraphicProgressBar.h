#pragma once
// The replay's progress: a bar filled by the executed share of the steps,
// with the text of its display mode centred on it. A left click moves to
// the next mode.
#include <QWidget>

#include <cstdint>

#include "events/PlaybackReport.h"

namespace morvane {

class TGraphicProgressBar final : public QWidget {
public:
    explicit TGraphicProgressBar(QWidget* parent = nullptr);

    // elapsedMs: the time since the replay started, at this update.
    void SetProgress(int32_t executed, int32_t total, uint32_t elapsedMs);
    // Nothing playing: an empty bar without text.
    void Clear();

    ProgressMode Mode() const { return mode_; }
    // The text shown now; empty while idle.
    QString Text() const;
    // The filled share, 0 to 1.
    double Fraction() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    ProgressMode mode_ = ProgressMode::Percent;
    bool idle_ = true;
    int32_t executed_ = 0, total_ = 0;
    uint32_t elapsedMs_ = 0;
};

} // namespace morvane
