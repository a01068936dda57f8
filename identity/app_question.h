// A question the program asks in its own name.
#pragma once

#include "platform/message_box.h"

#include <string>

// Asks `text` with Yes and No under the program's title, above every other
// window. True on Yes; a front end without questions answers No.
bool AskUser(platform::WindowHandle owner, const std::wstring& text);
