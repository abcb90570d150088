#include "platform/UserNotifier.h"

#include "platform/DiagnosticSink.h"
#include "platform/SeamSlot.h"

namespace morvane {

Answer DefaultAnswer(Buttons buttons)
{
    switch (buttons) {
    case Buttons::OkCancel:
    case Buttons::YesNoCancel: return Answer::Cancel;
    case Buttons::YesNo: return Answer::No;
    case Buttons::Ok: break;
    }
    return Answer::Ok;
}

void RecordingNotifier::Warn(const std::string& text)
{
    messages.push_back({MessageKind::Warning, text});
}

Answer RecordingNotifier::Ask(const std::string& text, Buttons buttons)
{
    messages.push_back({MessageKind::Question, text});
    if (script.empty())
        return DefaultAnswer(buttons);
    Answer answer = script.front();
    script.pop_front();
    return answer;
}

void RecordingNotifier::Inform(const std::string& text)
{
    messages.push_back({MessageKind::Information, text});
}

void LoggingNotifier::Warn(const std::string& text)
{
    RecordingNotifier::Warn(text);
    Diagnose("warning: " + text);
}

Answer LoggingNotifier::Ask(const std::string& text, Buttons buttons)
{
    Diagnose("question: " + text);
    return RecordingNotifier::Ask(text, buttons);
}

void LoggingNotifier::Inform(const std::string& text)
{
    RecordingNotifier::Inform(text);
    Diagnose("information: " + text);
}

namespace {
SeamSlot<UserNotifier, LoggingNotifier>& Slot()
{
    static SeamSlot<UserNotifier, LoggingNotifier> slot;
    return slot;
}
} // namespace

UserNotifier& Notifier() { return Slot().Get(); }
UserNotifier* SetNotifier(UserNotifier* notifier) { return Slot().Set(notifier); }

} // namespace morvane
