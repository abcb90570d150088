#pragma once
// The wait cursor shown during long operations. A BusyCursor object shows it
// for its lifetime, so the previous cursor returns on every exit path.

namespace morvane {

class BusyCursorPort {
public:
    virtual ~BusyCursorPort() = default;
    virtual void Push() = 0;
    virtual void Pop() = 0;
};

// Installs a port (nullptr restores the headless one, which does nothing).
BusyCursorPort* SetBusyCursorPort(BusyCursorPort* port);
BusyCursorPort& CurrentBusyCursorPort();

class BusyCursor {
public:
    BusyCursor() { CurrentBusyCursorPort().Push(); }
    ~BusyCursor() { CurrentBusyCursorPort().Pop(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace morvane
