#pragma once
// The wait cursor of the desktop program.
#include "platform/BusyCursor.h"

namespace morvane {

class QtBusyCursor final : public BusyCursorPort {
public:
    void Push() override;
    void Pop() override;
};

} // namespace morvane
