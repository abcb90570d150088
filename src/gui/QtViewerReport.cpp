#include "gui/QtViewerReport.h"

#include <QCoreApplication>
#include <algorithm>

#include "app/CommandLine.h"

namespace morvane {

QtViewerReport::QtViewerReport(const CommandLine& line)
    : reporter_(line.files.empty() ? std::string() : line.files.front(), line.outputFolder, line.notifyHandle),
      delayMs_(std::clamp(line.delaySeconds, 0, kMaxDelaySeconds) * 1000)
{
    onReported = [](int code) { QCoreApplication::exit(code); };
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the delay is a promise.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const int code = reporter_.Report(code_);
        if (onReported)
            onReported(code);
    });
}

void QtViewerReport::Finish(int code)
{
    if (Finishing())
        return;
    code_ = code;
    timer_.start(delayMs_);
}

} // namespace morvane
