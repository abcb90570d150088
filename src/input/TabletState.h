#pragma once
// The pen tablet as the program sees it: whether the pen is in proximity,
// the last packet's values, and the switch to the tool kept for the pen's
// back end while the pen is turned over. The toolkit side turns its tablet
// events into packets and proximity changes and hands them here.
#include <cstdint>

#include "input/ViewPort.h"

namespace morvane {

class InputRouter;

struct TabletPacket {
    PointD at;             // window coordinates
    float pressure = 0;    // 0-1
    bool inverted = false; // the back end points at the tablet
    uint32_t modifiers = 0;
};

class TabletState {
public:
    // Out of range or not finite: NaN and infinities give 0.
    static float SanitizePressure(float pressure);

    // A packet for the window under the pen; startAllowed as the router
    // takes it. Turning the pen over while it hovers selects the back end's
    // tool (not in a window that plays a recording). A packet whose position is not finite is dropped
    // (false).
    bool Packet(const TabletPacket& packet, InputRouter& router, bool startAllowed, bool playingBack);
    // The pen entered or left proximity. Leaving ends a running stroke.
    void Proximity(bool in, InputRouter& router);

    bool InProximity() const { return proximity_; }
    const TabletPacket& Last() const { return last_; }
    bool EraserOn() const { return eraser_; }

private:
    // After every tablet message: the back end's tool gives way to the tip's
    // once the pen has left proximity, as soon as the window is not busy.
    void SettleEraser(InputRouter& router);

    bool proximity_ = false;
    bool eraser_ = false;
    bool endPending_ = false;
    TabletPacket last_;
};

} // namespace morvane
