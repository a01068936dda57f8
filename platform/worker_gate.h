// Where a worker thread may be halted. The worker calls Checkpoint() at its
// safe points (between scan offsets, between entries, around progress
// reports); it is never halted anywhere else, so it never stops while it
// holds a lock or a file that the GUI thread may need.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace platform {

// Thrown by Checkpoint() after Stop(); the worker's top level catches it and
// returns, so everything on the way unwinds normally.
class WorkerStopped {};

// How a worker ended.
enum class WorkerEnding { NotStarted, Running, Completed, Stopped, Failed };

// What WaitUntilHalted() found.
enum class GateState { Running, Halted, Finished };

class WorkerGate {
public:
    // Worker side: blocks while the worker is paused or held, throws
    // WorkerStopped once a stop was asked for.
    void Checkpoint();

    // The user's Pause and Resume. Pause twice is still one pause.
    void Pause();
    void Resume();
    bool IsPaused() const;

    // Holds the worker while the GUI asks a question, on top of any pause:
    // after Release() the worker is exactly as paused or running as before
    // Hold(). Holds nest.
    void Hold();
    void Release();

    // Worker side: true when the next checkpoint will halt or stop the worker,
    // so that it can hand over what it holds first. One atomic load.
    bool AttentionWanted() const { return m_attention.load(std::memory_order_acquire); }

    // Helper side: a thread that does the worker's work while the worker
    // only waits for it and reports what it finished calls HelperStarted()
    // as it begins and HelperEnded() as it ends. While helpers run, the
    // worker counts as halted once every one of them sits in a checkpoint.
    void HelperStarted();
    void HelperEnded();

    // Makes the worker unwind at its next checkpoint, even if it is halted.
    void Stop();

    // Waits until the worker sits blocked in a checkpoint or has finished.
    // Returns Running at once when nothing asks it to halt, since it never would.
    GateState WaitUntilHalted();
    // Waits until the worker has finished (or never started) and tells how it ended.
    WorkerEnding WaitUntilFinished();

    // Called by whoever runs the worker: at its start, and when it has ended.
    void Reset();
    void MarkFinished(WorkerEnding ending);
    WorkerEnding Ending() const;

private:
    bool HaltWanted() const { return m_paused || m_holds > 0; }
    // Called under the lock after every change of the fields below.
    void UpdateAttention() { m_attention.store(m_stop || HaltWanted(), std::memory_order_release); }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_paused = false;
    int m_holds = 0;
    bool m_stop = false;
    bool m_halted = false;
    int m_helpers = 0;
    int m_haltedHelpers = 0;
    WorkerEnding m_ending = WorkerEnding::NotStarted;
    // Set while a halt or a stop is wanted: a checkpoint with nothing to do
    // costs one load, since the scan passes one every 100 bytes.
    std::atomic<bool> m_attention{false};
};

// Holds the gate for the life of a question; Keep() leaves the worker held,
// for when the answer ends it anyway.
class GateHold {
public:
    explicit GateHold(WorkerGate& gate) : m_gate(&gate) { gate.Hold(); }
    GateHold(const GateHold&) = delete;
    GateHold& operator=(const GateHold&) = delete;
    ~GateHold() {
        if (m_gate)
            m_gate->Release();
    }
    void Keep() { m_gate = nullptr; }

private:
    WorkerGate* m_gate;
};

} // namespace platform
