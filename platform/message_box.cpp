#include "platform/message_box.h"

#include <mutex>
#include <utility>

namespace platform {

namespace {
std::mutex g_handlerLock;
MessageBoxHandler g_handler;
} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_handlerLock);
    return std::exchange(g_handler, std::move(handler));
}

int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
               unsigned style) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_handlerLock);
        handler = g_handler;
    }
    if (handler)
        return handler(owner, text, caption, style);
    return (style & MB_YESNO) == MB_YESNO ? IDNO : IDOK;
}

} // namespace platform
