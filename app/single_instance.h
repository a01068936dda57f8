// One running Kelvane for Zip per user: the first instance listens on a local
// server whose name is made from the user id; a later one finds it there.
#pragma once

#include <QString>
#include <memory>

class QLocalServer;

class CSingleInstance {
public:
    CSingleInstance();
    ~CSingleInstance();

    // True when another process (or another object here) holds the name.
    static bool AnotherIsRunning();
    // Takes the name for this object's lifetime; false if it is taken.
    bool Claim();
    bool IsClaimed() const;

    // The name for this user; tests set their own so they never meet a real
    // instance. Empty restores the default.
    static QString ServerName();
    static void SetServerName(const QString& name);

private:
    std::unique_ptr<QLocalServer> m_server;
};
