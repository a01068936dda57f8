#include "platform/worker_thread.h"

#include <system_error>

namespace platform {

WorkerThread::~WorkerThread() {
    StopAndJoin();
}

bool WorkerThread::Start(Body body) {
    StopAndJoin();
    m_gate.Reset();
    m_exitCode = 0;
    try {
        m_thread = std::thread([this, body = std::move(body)] {
            WorkerEnding ending = WorkerEnding::Completed;
            try {
                m_exitCode = body(m_gate);
            } catch (const WorkerStopped&) {
                ending = WorkerEnding::Stopped;
            } catch (...) {
                // An escaping error must not end the process; it is an ending like any other.
                ending = WorkerEnding::Failed;
            }
            m_gate.MarkFinished(ending);
        });
    } catch (const std::system_error&) {
        m_gate.MarkFinished(WorkerEnding::NotStarted);
        return false;
    }
    return true;
}

WorkerEnding WorkerThread::StopAndJoin() {
    m_gate.Stop();
    return Join();
}

WorkerEnding WorkerThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
    return m_gate.Ending();
}

} // namespace platform
