#include "platform/qt/QtInstancePort.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace morvane {

namespace {

QLocalSocket::SocketOptions SocketOptions(bool abstractNamespace)
{
    return abstractNamespace ? QLocalSocket::AbstractNamespaceOption : QLocalSocket::NoOptions;
}

// Reads exactly size bytes before the deadline.
bool ReadExactly(QLocalSocket& socket, qint64 size, QDeadlineTimer deadline, QByteArray& out)
{
    out.clear();
    while (out.size() < size) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        out += socket.read(size - out.size());
    }
    return true;
}

// One client of the listener: names in, a 1 back for each name opened.
class Connection {
public:
    Connection(QLocalSocket* socket, const ForwardHandlers& handlers, int idleMs)
        : socket_(socket), handlers_(handlers)
    {
        socket_->setReadBufferSize(qint64(InstanceNameReader::kMaxBuffered));
        idle_.setSingleShot(true);
        idle_.setInterval(idleMs);
        QObject::connect(&idle_, &QTimer::timeout, socket_, [this] { Close(); });
        idle_.start();
    }

    void Read()
    {
        // Opening a file may run a nested event loop that delivers more.
        if (busy_)
            return;
        busy_ = true;
        Serve();
        busy_ = false;
    }

    void Finished()
    {
        if (!refused_ && handlers_.comeToFront)
            handlers_.comeToFront();
    }

private:
    void Serve()
    {
        while (socket_ && socket_->bytesAvailable() > 0 && reader_.Room() > 0) {
            const QByteArray bytes = socket_->read(qint64(reader_.Room()));
            reader_.Append(bytes.constData(), size_t(bytes.size()));
            std::string name;
            InstanceNameReader::Result result;
            while ((result = reader_.Next(name)) == InstanceNameReader::Result::Name) {
                idle_.start();
                if (handlers_.openFile)
                    handlers_.openFile(name);
                if (!socket_)
                    return;
                socket_->write(&kNameTaken, 1);
            }
            if (result == InstanceNameReader::Result::Malformed) {
                Close();
                return;
            }
        }
    }

    void Close()
    {
        refused_ = true;
        if (socket_)
            socket_->abort();
    }

    QPointer<QLocalSocket> socket_;
    const ForwardHandlers& handlers_;
    InstanceNameReader reader_;
    QTimer idle_;
    bool busy_ = false;
    bool refused_ = false; // malformed or silent: closed by this side
};

} // namespace

QString QtInstancePort::DefaultServerName()
{
    return QStringLiteral("Mv4 Application-%1").arg(uint(getuid()));
}

QtInstancePort::QtInstancePort(QString serverName, bool abstractNamespace, int answerTimeoutMs)
    : name_(std::move(serverName)), abstract_(abstractNamespace), timeoutMs_(answerTimeoutMs)
{
    server_.setSocketOptions(abstract_ ? QLocalServer::AbstractNamespaceOption : QLocalServer::UserAccessOption);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { Accept(); });
}

QtInstancePort::~QtInstancePort()
{
    // The sockets go with the server: none may call back into this port then.
    for (QLocalSocket* socket : server_.findChildren<QLocalSocket*>())
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
    server_.close();
}

bool QtInstancePort::TryForward(const std::vector<std::string>& files)
{
    std::vector<std::string> batch;
    for (const std::string& file : files) {
        if (file.empty())
            continue;
        batch.push_back(file);
        if (batch.size() == kMaxInstanceNames) {
            if (!ForwardBatch(batch))
                return false;
            batch.clear();
        }
    }
    // A start without (further) names still finds the instance and raises it.
    return ForwardBatch(batch);
}

bool QtInstancePort::ForwardBatch(const std::vector<std::string>& names) const
{
    QLocalSocket socket;
    socket.setSocketOptions(SocketOptions(abstract_));
    socket.connectToServer(name_);
    const QDeadlineTimer deadline(timeoutMs_);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    QByteArray answer;
    if (!ReadExactly(socket, 4, deadline, answer) || answer != QByteArray(kGreetingNormal, 4))
        return false;
    for (const std::string& name : names) {
        if (name.size() > kMaxInstanceNameBytes)
            return false;
        const std::string frame = EncodeInstanceName(name);
        socket.write(frame.data(), qint64(frame.size()));
        // Like a synchronous message: each name is opened before the next.
        if (!ReadExactly(socket, 1, QDeadlineTimer(timeoutMs_), answer) || answer[0] != kNameTaken)
            return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs_);
    return true;
}

bool QtInstancePort::Listen(const char (&greeting)[4], ForwardHandlers handlers)
{
    greeting_ = QByteArray(greeting, 4);
    handlers_ = std::move(handlers);
    // Listening over a socket file replaces it, so ask first: a live
    // instance is never displaced, a file nobody accepts on is left by one
    // that died.
    if (SomeoneAnswers())
        return false;
    if (!abstract_)
        QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

bool QtInstancePort::SomeoneAnswers() const
{
    QLocalSocket probe;
    probe.setSocketOptions(SocketOptions(abstract_));
    probe.connectToServer(name_);
    const bool live = probe.waitForConnected(timeoutMs_);
    probe.abort();
    return live;
}

void QtInstancePort::Accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (connections_ >= kMaxConnections) {
            socket->abort();
            continue;
        }
        ++connections_;
        auto connection = std::make_shared<Connection>(socket, handlers_, kIdleTimeoutMs);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [connection] { connection->Read(); });
        QObject::connect(socket, &QLocalSocket::disconnected, socket, [this, connection] {
            --connections_;
            connection->Finished();
        });
        socket->write(greeting_);
    }
}

} // namespace morvane
