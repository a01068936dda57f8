// How worker threads reach the windows, and how the GUI thread waits for a
// worker without letting the user start anything in between.
#pragma once

#include <functional>

namespace platform {

// Runs `call` on the GUI thread and returns once it has run: a blocking
// queued call from a worker, a direct call on the GUI thread itself.
void RunOnGuiThread(const std::function<void()>& call);

bool IsGuiThread();

// Keeps the GUI thread responsive (paints, timers, queued calls from the
// worker) until `done` returns true; user input waits until afterwards.
void WaitWithoutUserInput(const std::function<bool()>& done);

} // namespace platform
