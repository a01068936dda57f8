#include "app/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace {
QString& OverrideName() {
    static QString name;
    return name;
}
} // namespace

CSingleInstance::CSingleInstance() = default;
CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::ServerName() {
    if (!OverrideName().isEmpty())
        return OverrideName();
    return QStringLiteral("kelvane-zip-%1").arg(::getuid());
}

void CSingleInstance::SetServerName(const QString& name) {
    OverrideName() = name;
}

bool CSingleInstance::AnotherIsRunning() {
    QLocalSocket probe;
    probe.connectToServer(ServerName());
    const bool found = probe.waitForConnected(500);
    probe.abort();
    return found;
}

bool CSingleInstance::Claim() {
    if (IsClaimed())
        return true;
    if (AnotherIsRunning())
        return false;
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left behind by a crashed instance answers nobody: take it over.
    if (!server->listen(ServerName())) {
        QLocalServer::removeServer(ServerName());
        if (!server->listen(ServerName()))
            return false;
    }
    m_server = std::move(server);
    return true;
}

bool CSingleInstance::IsClaimed() const {
    return m_server && m_server->isListening();
}
