#pragma once
// The pen tablet of the desktop program: tablet events of the document
// windows and the application's proximity events, turned into packets for
// the core tablet state. One object for the application; it filters every
// event, so the mouse of a document window is silenced while the pen is near.
#include <QObject>
#include <QPointF>
#include <functional>
#include <vector>

#include "input/TabletState.h"

class QTabletEvent;
class QWidget;

namespace morvane {

class InputRouter;

// Window coordinates are device pixels of the widget.
PointD WindowPoint(const QWidget& widget, QPointF logical);

class QtTabletSource final : public QObject {
public:
    // Tablet coordinates keep the pen's sub-pixel position; OS coordinates
    // are the whole pixels of the cursor.
    enum class CoordinateMode { Os = 0, Tablet = 1 };

    struct Target {
        InputRouter* router = nullptr;
        // The window plays a recording: turning the pen over selects nothing.
        std::function<bool()> playingBack;
        // Keys the window tracks itself (the space bar), as InputModifier bits.
        std::function<uint32_t()> heldKeys;
        // After each packet the window's input took: a stroke may have
        // begun or ended, which changes what the commands may do.
        std::function<void()> handled;
        // The window is the active document window (one of several inside
        // the active main window); without it, the window's own top level
        // must be the active window.
        std::function<bool()> active;
    };

    // Installs itself as the application's event filter.
    explicit QtTabletSource(QObject* parent = nullptr);
    ~QtTabletSource() override;

    // A document window; forgotten when the widget is destroyed.
    void Attach(QWidget& window, Target target);
    void Detach(const QWidget& window);

    void SetCoordinateMode(CoordinateMode mode) { mode_ = mode; }
    CoordinateMode Mode() const { return mode_; }
    const TabletState& State() const { return state_; }
    // A tablet is known: the system lists a pen device, or tablet events
    // have arrived.
    bool TabletPresent() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QWidget* window;
        Target target;
    };

    Entry* Find(const QObject* watched);
    void Packet(Entry& entry, const QTabletEvent& event);
    void Proximity(bool in);

    std::vector<Entry> windows_;
    // The window the pen was last over; it takes proximity changes.
    QWidget* current_ = nullptr;
    CoordinateMode mode_ = CoordinateMode::Tablet;
    TabletState state_;
    bool eventsSeen_ = false;
};

} // namespace morvane
