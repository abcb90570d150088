#pragma once
// The single-instance rule over a local socket. The socket lives in the
// abstract namespace where the system has one, so a crashed instance leaves
// nothing behind; a socket file left by one is removed once nobody answers
// on it.
#include <QLocalServer>
#include <QString>

#include "platform/InstancePort.h"

namespace morvane {

class QtInstancePort final : public InstancePort {
public:
    // How long a start waits for an answer before it runs as a normal
    // instance, and how long a listener keeps a silent connection.
    static constexpr int kAnswerTimeoutMs = 3000;
    static constexpr int kIdleTimeoutMs = 10000;
    // Connections served at once; more are closed at once.
    static constexpr int kMaxConnections = 16;

    // "Mv4 Application" and the user id: one instance per user.
    static QString DefaultServerName();

    explicit QtInstancePort(QString serverName = DefaultServerName(), bool abstractNamespace = true,
                            int answerTimeoutMs = kAnswerTimeoutMs);
    ~QtInstancePort() override;

    bool TryForward(const std::vector<std::string>& files) override;
    bool Listen(const char (&greeting)[4], ForwardHandlers handlers) override;

private:
    bool ForwardBatch(const std::vector<std::string>& names) const;
    bool SomeoneAnswers() const;
    void Accept();

    QString name_;
    bool abstract_;
    int timeoutMs_;
    QLocalServer server_;
    QByteArray greeting_;
    ForwardHandlers handlers_;
    int connections_ = 0;
};

} // namespace morvane
