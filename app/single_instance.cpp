#include "app/single_instance.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <unistd.h>

namespace {

// The request: this tag, then the archives; the answer: one byte.
constexpr quint32 kRequestTag = 0x4B565A31; // "KVZ1"
constexpr char kAdded = 'A';
constexpr char kBusy = 'B';
// How long a later start waits for the running instance to answer.
constexpr int kAnswerWaitMs = 10000;

QString& OverrideName() {
    static QString name;
    return name;
}

// Beside the socket; a relative server name lives in the temporary folder.
QString LockPath() {
    const QString name = CSingleInstance::ServerName();
    const QString path = QDir::isAbsolutePath(name) ? name : QDir::temp().filePath(name);
    return path + QStringLiteral(".lock");
}

// The display this start shows its windows on: a start on another display
// (another seat or a second X server of the same user) is a program of its
// own. ":93.0" and ":93" are one display; the characters a file name
// cannot hold are left out.
QString DisplaySuffix() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        const qsizetype dot = display.indexOf(QLatin1Char('.'), colon + 1);
        if (colon >= 0 && dot > colon)
            display.truncate(dot);
    }
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return display.isEmpty() ? QString() : QStringLiteral("-") + display;
}

} // namespace

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() {
    // The server goes before the lock: the name is free only once nobody listens.
    m_server.reset();
    m_lock.reset();
}

QString CSingleInstance::ServerName() {
    if (!OverrideName().isEmpty())
        return OverrideName();
    // The user's own runtime folder where the session has one, else a name
    // with the user id in the temporary folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("kelvane-zip") + DisplaySuffix());
    return QStringLiteral("kelvane-zip-%1").arg(::getuid()) + DisplaySuffix();
}

void CSingleInstance::SetServerName(const QString& name) {
    OverrideName() = name;
}

bool CSingleInstance::Claim() {
    if (IsClaimed())
        return true;
    // The lock decides, not the socket: two starts at once cannot both
    // take it, and a crashed holder's lock is found stale by its process id.
    auto lock = std::make_unique<QLockFile>(LockPath());
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);

    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, a socket under the name can only be a dead one's.
    QLocalServer::removeServer(ServerName());
    if (server->listen(ServerName())) {
        QObject::connect(server.get(), &QLocalServer::newConnection, [this] { OnConnection(); });
        m_server = std::move(server);
    }
    // Without a server the instance is still the only one; later starts are
    // then told it runs, without handing anything over.
    return true;
}

bool CSingleInstance::IsClaimed() const {
    return m_lock && m_lock->isLocked();
}

void CSingleInstance::SetHandler(Handler handler) {
    m_handler = std::move(handler);
}

void CSingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            quint32 tag = 0;
            QStringList archives;
            in >> tag >> archives;
            if (!in.commitTransaction())
                return; // the rest is still on its way
            if (tag != kRequestTag || !m_handler) {
                socket->disconnectFromServer();
                return;
            }
            const Answer answer = m_handler(archives);
            socket->write(QByteArray(1, answer == Answer::Added ? kAdded : kBusy));
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

std::optional<CSingleInstance::Answer>
CSingleInstance::Forward(const QStringList& archives, std::chrono::milliseconds patience) {
    QLocalSocket socket;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        socket.connectToServer(ServerName());
        if (socket.waitForConnected(250))
            break;
        socket.abort();
        if (clock.elapsed() >= patience.count())
            return std::nullopt;
        QThread::msleep(100);
    }
    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out << kRequestTag << archives;
    socket.write(request);
    if (!socket.waitForBytesWritten(kAnswerWaitMs))
        return Answer::Unanswered;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerWaitMs))
            return Answer::Unanswered;
    }
    char answer = 0;
    socket.getChar(&answer);
    if (answer == kAdded)
        return Answer::Added;
    if (answer == kBusy)
        return Answer::Busy;
    return Answer::Unanswered;
}
