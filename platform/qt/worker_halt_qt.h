// Halting a worker from the GUI thread. A worker may be blocked in a call to
// the GUI thread right now, so the GUI thread must not block on it: it keeps
// serving those calls, without user input, until the worker sits halted.
#pragma once

#include "platform/worker_gate.h"

namespace platform {

// Call after Pause() or Hold() on `gate`. Returns once the worker is halted
// at a safe point, has finished, or was never asked to halt.
GateState WaitUntilHaltedWithoutBlocking(WorkerGate& gate);

// Call after Stop() on `gate`: returns once the worker has finished.
void WaitUntilFinishedWithoutBlocking(WorkerGate& gate);

// Holds the worker for a question and returns once it sits at a safe point
// (or has finished). Meanwhile its calls to the GUI thread are served, a
// window it opens included, so a question asked then never meets one of the
// worker's own. The hold is released with this object, unless Keep() leaves
// the worker held for a stop that follows.
class HaltedWorker {
public:
    explicit HaltedWorker(WorkerGate& gate) : m_hold(gate) { WaitUntilHaltedWithoutBlocking(gate); }
    void Keep() { m_hold.Keep(); }

private:
    GateHold m_hold;
};

} // namespace platform
