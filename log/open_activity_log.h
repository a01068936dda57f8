// Shows the activity log, or a folder of the run, to the user.
#pragma once

#include "platform/message_box.h"

#include <string>

// Opens `target` in the desktop's default application and returns at once.
// When no application can be started for it, the user is told where it is,
// to open it by hand.
void OpenOrSayWhere(platform::WindowHandle owner, const std::wstring& target);

// Opens the file that the log writer appends to in the desktop's default
// text editor, as OpenOrSayWhere does.
void OpenActivityLogInNotepad(platform::WindowHandle owner = nullptr);
