#pragma once
// The end of a viewer run: the replay finished (13) or could not start
// (10-12). The code is reported once, after the -T delay, by a one-shot timer
// so the window keeps drawing meanwhile; then the program ends with the code
// as its exit status.
#include <QTimer>
#include <functional>

#include "app/RenderReport.h"

namespace morvane {

struct CommandLine;

class QtViewerReport {
public:
    // A longer delay is taken as this one (the timer counts int milliseconds).
    static constexpr int kMaxDelaySeconds = 24 * 60 * 60;

    explicit QtViewerReport(const CommandLine& line);

    // Starts the delay; calls after the first are ignored.
    void Finish(int code);
    bool Finishing() const { return code_ != 0; }
    int DelayMs() const { return delayMs_; }

    // What follows the report; by default the application exits with the code.
    std::function<void(int code)> onReported;

private:
    RenderReporter reporter_;
    QTimer timer_;
    int delayMs_;
    int code_ = 0;
};

} // namespace morvane
