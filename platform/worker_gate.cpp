#include "platform/worker_gate.h"

namespace platform {

namespace {

// Set on the threads that work for a worker (see HelperStarted).
thread_local bool t_helper = false;

} // namespace

void WorkerGate::Checkpoint() {
    if (!m_attention.load(std::memory_order_acquire))
        return;
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_stop && HaltWanted()) {
        if (t_helper)
            ++m_haltedHelpers;
        else
            m_halted = true;
        m_changed.notify_all();
        while (!m_stop && HaltWanted())
            m_changed.wait(lock);
        if (t_helper)
            --m_haltedHelpers;
        else
            m_halted = false;
    }
    if (m_stop)
        throw WorkerStopped{};
}

void WorkerGate::HelperStarted() {
    t_helper = true;
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_helpers;
    m_changed.notify_all();
}

void WorkerGate::HelperEnded() {
    t_helper = false;
    std::lock_guard<std::mutex> lock(m_lock);
    --m_helpers;
    m_changed.notify_all();
}

void WorkerGate::Pause() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_paused = true;
    m_changed.notify_all();
    UpdateAttention();
}

void WorkerGate::Resume() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_paused = false;
    m_changed.notify_all();
    UpdateAttention();
}

bool WorkerGate::IsPaused() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_paused;
}

void WorkerGate::Hold() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_holds;
    m_changed.notify_all();
    UpdateAttention();
}

void WorkerGate::Release() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_holds > 0)
        --m_holds;
    m_changed.notify_all();
    UpdateAttention();
}

void WorkerGate::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stop = true;
    m_changed.notify_all();
    UpdateAttention();
}

GateState WorkerGate::WaitUntilHalted() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (true) {
        if (m_ending != WorkerEnding::Running)
            return GateState::Finished;
        // Asked first: a just-released worker may not have left its wait yet.
        // A stopping worker unwinds instead of halting: wait for its end.
        if (!HaltWanted() && !m_stop)
            return GateState::Running;
        // The worker's helpers, while there are any, do all its work.
        if ((m_helpers > 0 ? m_haltedHelpers == m_helpers : m_halted) && !m_stop)
            return GateState::Halted;
        m_changed.wait(lock);
    }
}

WorkerEnding WorkerGate::WaitUntilFinished() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (m_ending == WorkerEnding::Running)
        m_changed.wait(lock);
    return m_ending;
}

void WorkerGate::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_paused = false;
    m_holds = 0;
    m_stop = false;
    m_halted = false;
    m_ending = WorkerEnding::Running;
    UpdateAttention();
}

void WorkerGate::MarkFinished(WorkerEnding ending) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_ending = ending;
    m_halted = false;
    m_changed.notify_all();
}

WorkerEnding WorkerGate::Ending() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_ending;
}

} // namespace platform
