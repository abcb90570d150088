#pragma once
// The information panel: the pointer's position in the active picture and
// the composite's colour there, the picture's size and resolution, the
// current layer, and the memory figures of the status display. Requests to
// refresh are gathered and served at most every 50 ms.
#include <QTimer>
#include <QWidget>

class QLabel;

namespace morvane {

class TMainForm;

class TInfoPanel final : public QWidget {
public:
    static constexpr int kRefreshInterval = 50;

    explicit TInfoPanel(TMainForm& form, QWidget* parent = nullptr);

    // Asks for a refresh; the panel refreshes once the interval has passed.
    void RequestRefresh();
    // Every line from the active window now.
    void Refresh();
    // The line's text by its object name: "position", "colour", "size",
    // "resolution", "layer", "totalMemory", "layerMemory", "undoMemory".
    QString Line(const char* name) const;

private:
    QLabel* AddLine(const char* name, const QString& caption);

    TMainForm& form_;
    QTimer timer_;
    QLabel* swatch_ = nullptr;
};

} // namespace morvane
