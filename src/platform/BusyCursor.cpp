#include "platform/BusyCursor.h"

#include "platform/SeamSlot.h"

namespace morvane {

namespace {
class HeadlessBusyCursor final : public BusyCursorPort {
public:
    void Push() override {}
    void Pop() override {}
};

SeamSlot<BusyCursorPort, HeadlessBusyCursor>& Slot()
{
    static SeamSlot<BusyCursorPort, HeadlessBusyCursor> slot;
    return slot;
}
} // namespace

BusyCursorPort& CurrentBusyCursorPort() { return Slot().Get(); }
BusyCursorPort* SetBusyCursorPort(BusyCursorPort* port) { return Slot().Set(port); }

} // namespace morvane
