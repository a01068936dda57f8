// Pause and Stop of the two pass dialogs (analysis and saving): the worker
// is paused, resumed or held the same way in both.
#pragma once

#include <functional>
#include <string>

namespace platform {
class CDialog;
class WorkerGate;
} // namespace platform

// Pauses the worker behind `gate`, or resumes it, and names the dialog's
// `button` after what its next press does. `paused` is the dialog's 0/1
// flag. Returns true when the worker is now paused.
bool TogglePause(platform::CDialog& dialog, int button, platform::WorkerGate& gate, int& paused);

// Asks `text` (Yes/No) once the worker sits still at a safe point, and holds
// it there while the question is up: a window the worker was about to open
// (an overwrite or password prompt) comes and goes first, never under the
// question. On Yes `onYes` runs with the worker still held; on No it is
// released as it was, paused or not. Returns the answer.
bool AskWithWorkerHeld(platform::CDialog& dialog, platform::WorkerGate& gate,
                       const std::wstring& text, const std::function<void()>& onYes);
