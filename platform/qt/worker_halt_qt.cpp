#include "platform/qt/worker_halt_qt.h"

#include "platform/qt/gui_host_qt.h"

#include <chrono>
#include <future>

namespace platform {

GateState WaitUntilHaltedWithoutBlocking(WorkerGate& gate) {
    // WaitUntilHalted blocks, so it waits on a helper thread of its own.
    std::future<GateState> halted =
        std::async(std::launch::async, [&gate] { return gate.WaitUntilHalted(); });
    WaitWithoutUserInput([&halted] {
        return halted.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    return halted.get();
}

void WaitUntilFinishedWithoutBlocking(WorkerGate& gate) {
    WaitWithoutUserInput([&gate] {
        const WorkerEnding ending = gate.Ending();
        return ending != WorkerEnding::Running;
    });
}

} // namespace platform
