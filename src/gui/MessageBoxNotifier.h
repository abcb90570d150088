#pragma once
// The desktop program's messages: one message box each, owned by the
// active window.
#include "platform/UserNotifier.h"

namespace morvane {

class MessageBoxNotifier final : public UserNotifier {
public:
    void Warn(const std::string& text) override;
    Answer Ask(const std::string& text, Buttons buttons) override;
    void Inform(const std::string& text) override;
};

} // namespace morvane
