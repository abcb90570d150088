#pragma once
// Messages for the user: warnings, questions and information. The desktop
// program shows message boxes; the headless notifier records the exact texts,
// answers questions from a script and never blocks.
#include <deque>
#include <string>
#include <vector>

namespace morvane {

enum class MessageKind { Warning, Question, Information };

// The buttons a question may offer; the answer is one of them.
enum class Answer { Ok, Cancel, Yes, No };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    virtual void Warn(const std::string& text) = 0;
    virtual Answer Ask(const std::string& text, Buttons buttons) = 0;
    virtual void Inform(const std::string& text) = 0;
};

struct NotifiedMessage {
    MessageKind kind;
    std::string text;
};

// Records every message. Questions take the next scripted answer, or the
// default one (Cancel where offered, else No, else Ok) when the script is empty.
class RecordingNotifier : public UserNotifier {
public:
    void Warn(const std::string& text) override;
    Answer Ask(const std::string& text, Buttons buttons) override;
    void Inform(const std::string& text) override;

    std::vector<NotifiedMessage> messages;
    std::deque<Answer> script;
};

// Render mode: every message goes to the diagnostic sink; questions take the
// default answer. Nothing waits for a person.
class LoggingNotifier final : public RecordingNotifier {
public:
    void Warn(const std::string& text) override;
    Answer Ask(const std::string& text, Buttons buttons) override;
    void Inform(const std::string& text) override;
};

Answer DefaultAnswer(Buttons buttons);

UserNotifier& Notifier();
// Installs a notifier (nullptr restores the logging one); returns the previous.
UserNotifier* SetNotifier(UserNotifier* notifier);

} // namespace morvane
