// One worker thread with its gate: the shape both repair passes use.
#pragma once

#include "platform/worker_gate.h"

#include <functional>
#include <thread>

namespace platform {

class WorkerThread {
public:
    // The worker's body; it calls gate.Checkpoint() at its safe points. Its
    // result is the thread's exit code.
    using Body = std::function<int(WorkerGate& gate)>;

    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    // Stops and joins a worker still running, so that no thread outlives it.
    ~WorkerThread();

    // Starts `body` on a new thread. A previous worker is stopped and reaped
    // first. Returns false if no thread could be made.
    bool Start(Body body);

    WorkerGate& Gate() { return m_gate; }

    // Asks the worker to stop and waits until it has returned.
    WorkerEnding StopAndJoin();
    // Waits for the worker's end and reaps the thread; harmless when none runs.
    WorkerEnding Join();

    bool IsRunning() const { return m_gate.Ending() == WorkerEnding::Running; }
    WorkerEnding Ending() const { return m_gate.Ending(); }
    // The body's result when it completed, else 0.
    int ExitCode() const { return m_exitCode; }

private:
    WorkerGate m_gate;
    std::thread m_thread;
    int m_exitCode = 0;
};

} // namespace platform
