#include "platform/BusyCursor.h"

namespace morvane {

namespace {
class HeadlessBusyCursor final : public BusyCursorPort {
public:
    void Push() override {}
    void Pop() override {}
};

HeadlessBusyCursor g_headless;
BusyCursorPort* g_port = &g_headless;
} // namespace

BusyCursorPort& CurrentBusyCursorPort() { return *g_port; }

BusyCursorPort* SetBusyCursorPort(BusyCursorPort* port)
{
    BusyCursorPort* previous = g_port;
    g_port = port ? port : &g_headless;
    return previous;
}

} // namespace morvane
