// The single-instance rule between two starts: a later start hands its names
// to a running normal instance and nothing to a viewer or render one, the
// listener refuses malformed frames and outlives them, a silent listener
// lets the new start run on its own, and a socket left by a dead instance
// is taken over.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalSocket>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <QtTest>
#include <cstring>
#include <memory>

#include "platform/InstancePort.h"
#include "platform/qt/QtInstancePort.h"

using namespace morvane;

namespace {

QString UniqueName()
{
    return QStringLiteral("mv-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

// A running instance: its own thread and event loop, as another process
// would have, so a start in the test thread can block on it.
class RunningInstance {
public:
    RunningInstance(QString name, const char (&greeting)[4], bool abstractNamespace = true)
    {
        thread_.start();
        context_.moveToThread(&thread_);
        QMetaObject::invokeMethod(
            &context_,
            [&] {
                port_ = std::make_unique<QtInstancePort>(name, abstractNamespace);
                ForwardHandlers handlers;
                handlers.openFile = [this](const std::string& file) {
                    QMutexLocker lock(&mutex_);
                    files_.push_back(file);
                };
                handlers.comeToFront = [this] {
                    QMutexLocker lock(&mutex_);
                    ++raised_;
                };
                listening_ = port_->Listen(greeting, std::move(handlers));
            },
            Qt::BlockingQueuedConnection);
    }
    ~RunningInstance()
    {
        QMetaObject::invokeMethod(&context_, [&] { port_.reset(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool Listening() const { return listening_; }
    std::vector<std::string> Files()
    {
        QMutexLocker lock(&mutex_);
        return files_;
    }
    int Raised()
    {
        QMutexLocker lock(&mutex_);
        return raised_;
    }

private:
    QThread thread_;
    QObject context_;
    std::unique_ptr<QtInstancePort> port_;
    bool listening_ = false;
    QMutex mutex_;
    std::vector<std::string> files_;
    int raised_ = 0;
};

// Connects as a raw client and returns the greeting.
QByteArray Greet(QLocalSocket& socket, const QString& name)
{
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    if (!socket.waitForConnected(2000))
        return {};
    while (socket.bytesAvailable() < 4 && socket.waitForReadyRead(2000)) {
    }
    return socket.read(4);
}

QByteArray Frame(uint32_t size, const QByteArray& body)
{
    QByteArray frame;
    for (int shift = 0; shift < 32; shift += 8)
        frame.append(char((size >> shift) & 0xFF));
    return frame + body;
}

bool ClosedByPeer(QLocalSocket& socket)
{
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(3000);
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void SecondStartForwardsItsNamesInOrder()
    {
        const QString name = UniqueName();
        RunningInstance first(name, kGreetingNormal);
        QVERIFY(first.Listening());
        QtInstancePort second(name);
        const std::vector<std::string> files = {"/tmp/a.vd4", "", "/tmp/画像 2.vd4"};
        QVERIFY(second.TryForward(files));
        QTRY_COMPARE(first.Files(), (std::vector<std::string>{"/tmp/a.vd4", "/tmp/画像 2.vd4"}));
        QTRY_COMPARE(first.Raised(), 1);
        // No names at all: the start still only raises the running one.
        QVERIFY(second.TryForward({}));
        QTRY_COMPARE(first.Raised(), 2);
        QCOMPARE(first.Files().size(), size_t(2));

        // Only one normal instance listens under a name.
        QtInstancePort third(name);
        QVERIFY(!third.Listen(kGreetingNormal, {}));
    }

    void LongListsGoOverSeveralConnections()
    {
        const QString name = UniqueName();
        RunningInstance first(name, kGreetingNormal);
        std::vector<std::string> files;
        for (uint32_t i = 0; i < kMaxInstanceNames + 3; ++i)
            files.push_back("/f/" + std::to_string(i));
        QVERIFY(QtInstancePort(name).TryForward(files));
        QTRY_COMPARE(first.Files(), files);
    }

    void ViewerAndRenderInstancesReceiveNothing()
    {
        for (const auto* greeting : {&kGreetingViewer, &kGreetingRender}) {
            const QString name = UniqueName();
            RunningInstance other(name, *greeting);
            QVERIFY(other.Listening());
            QVERIFY(!QtInstancePort(name).TryForward({"/tmp/a.vd4"}));
            QTest::qWait(50);
            QVERIFY(other.Files().empty());
        }
        // Nobody at all.
        QVERIFY(!QtInstancePort(UniqueName()).TryForward({"/tmp/a.vd4"}));
    }

    void SilentListenerMakesANormalStart()
    {
        // Accepts (the system queues the connection) but never greets: this
        // thread's loop does not run while the start waits.
        const QString name = UniqueName();
        QLocalServer mute;
        mute.setSocketOptions(QLocalServer::AbstractNamespaceOption);
        QVERIFY(mute.listen(name));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!QtInstancePort(name, true, 300).TryForward({"/tmp/a.vd4"}));
        QVERIFY(clock.elapsed() < 2000);
    }

    void MalformedFramesCloseTheConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty name") << Frame(0, {});
        QTest::newRow("huge length") << Frame(0xFFFFFFFFu, "abc");
        QTest::newRow("just past the bound") << Frame(kMaxInstanceNameBytes + 1, QByteArray(64, 'a'));
        QTest::newRow("NUL inside") << Frame(5, QByteArray("ab\0cd", 5));
        QTest::newRow("not UTF-8") << Frame(3, "a\xff" "b");
        QTest::newRow("overlong slash") << Frame(2, "\xc0\xaf");
        QTest::newRow("truncated sequence") << Frame(2, "a\xe3");
        QTest::newRow("surrogate") << Frame(3, "\xed\xa0\x80");
    }
    void MalformedFramesCloseTheConnection()
    {
        QFETCH(QByteArray, bytes);
        const QString name = UniqueName();
        RunningInstance first(name, kGreetingNormal);
        {
            QLocalSocket client;
            QCOMPARE(Greet(client, name), QByteArray(kGreetingNormal, 4));
            client.write(bytes);
            client.flush();
            QVERIFY(ClosedByPeer(client));
        }
        QVERIFY(first.Files().empty());
        QCOMPARE(first.Raised(), 0);
        // The listener goes on serving.
        QVERIFY(QtInstancePort(name).TryForward({"/ok"}));
        QTRY_COMPARE(first.Files(), std::vector<std::string>{"/ok"});
    }

    void TooManyNamesOnOneConnectionAreRefused()
    {
        const QString name = UniqueName();
        RunningInstance first(name, kGreetingNormal);
        QLocalSocket client;
        QCOMPARE(Greet(client, name), QByteArray(kGreetingNormal, 4));
        QByteArray all;
        for (uint32_t i = 0; i <= kMaxInstanceNames; ++i)
            all += Frame(1, "x");
        client.write(all);
        client.flush();
        QVERIFY(ClosedByPeer(client));
        QCOMPARE(first.Files().size(), size_t(kMaxInstanceNames));
    }

    void StaleSocketFileIsTakenOver()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("instance");
        // A socket file whose owner died: bound, never unlinked.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(path));

        RunningInstance first(path, kGreetingNormal, false);
        QVERIFY(first.Listening());
        QVERIFY(QtInstancePort(path, false).TryForward({"/tmp/b.vd4"}));
        QTRY_COMPARE(first.Files(), std::vector<std::string>{"/tmp/b.vd4"});
        // A live one is never removed.
        QVERIFY(!QtInstancePort(path, false).Listen(kGreetingNormal, {}));
        QVERIFY(QtInstancePort(path, false).TryForward({"/tmp/c.vd4"}));
        QTRY_COMPARE(first.Files().size(), size_t(2));
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
