#pragma once
// The report at the end of a replay: how it ended, the file, the time it
// took, the step count and the thumbnails taken along the way.
#include <QDialog>
#include <QImage>
#include <QStringList>

#include <vector>

#include "events/PlaybackSession.h"

namespace morvane {

class TFormEventReport final : public QDialog {
public:
    TFormEventReport(const TEventReportParam& report, std::vector<QImage> thumbnails, QWidget* parent = nullptr);

    // The text lines shown, top to bottom.
    const QStringList& Lines() const { return lines_; }
    // Where slot's thumbnail shows, in the report's coordinates; an empty
    // rectangle for a slot without one.
    QRect ThumbnailRect(int slot) const;

private:
    QStringList lines_;
    QWidget* strip_ = nullptr;
};

// The lines of a report: state, file, time (not for a plain stop), steps.
QStringList ReportLines(const TEventReportParam& report);

} // namespace morvane
