// Message boxes, dispatched to whoever can show them: the GUI installs a
// handler that shows a dialog, the command line and the tests install theirs.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Style flags and results, with the values the dialogs were designed with.
enum MessageBoxStyle : unsigned {
    MB_OK = 0x00000000,
    MB_YESNO = 0x00000004,
    MB_ICONQUESTION = 0x00000020,
    MB_ICONINFORMATION = 0x00000040,
    MB_SYSTEMMODAL = 0x00001000,
};
enum MessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The asking window as the core passes it on without knowing its type: the
// GUI's handler resolves it to its widget. Null asks without an owner.
using WindowHandle = void*;

using MessageBoxHandler = std::function<int(WindowHandle owner, const std::wstring& text,
                                            const std::wstring& caption, unsigned style)>;

// Installs `handler` and returns the one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Asks through the installed handler. Without one, a Yes/No question is
// answered No and a notice OK, so that nothing is done unasked.
int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
               unsigned style);

} // namespace platform
