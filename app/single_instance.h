// One running Kelvane for Zip per user. The first instance holds a lock file
// and listens on a local server, both named after the user; a later start
// finds it there and hands it the archives it was given.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;

class CSingleInstance {
public:
    // What the running instance made of a later start's archives; Unanswered
    // when it took the request but gave no answer (no handler, or hung).
    enum class Answer { Added, Busy, Unanswered };
    // Runs on the GUI thread of the running instance.
    using Handler = std::function<Answer(const QStringList& archives)>;

    CSingleInstance();
    ~CSingleInstance();

    // Takes the name for this object's lifetime; false when a live instance
    // (another process, or another object here) holds it. A socket left
    // behind by a crashed instance is taken over, a live one's never.
    bool Claim();
    bool IsClaimed() const;
    // Where later starts' archives go. Without a handler they are refused
    // at once, unanswered.
    void SetHandler(Handler handler);

    // Hands `archives` to the running instance and returns its answer;
    // nothing when none could be reached within `patience` (an instance may
    // hold the name a while before it listens).
    // Blocks: never call it on the GUI thread of the instance it asks.
    static std::optional<Answer> Forward(const QStringList& archives,
                                         std::chrono::milliseconds patience);

    // The name for this user; tests set their own so they never meet a real
    // instance. Empty restores the default.
    static QString ServerName();
    static void SetServerName(const QString& name);

private:
    void OnConnection();

    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
    Handler m_handler;
};
