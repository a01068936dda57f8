#include "platform/process.h"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace platform {

namespace {
std::mutex g_hookLock;
EndProcessHook g_hook;
} // namespace

EndProcessHook SetEndProcessHook(EndProcessHook hook) {
    std::lock_guard<std::mutex> lock(g_hookLock);
    return std::exchange(g_hook, std::move(hook));
}

void EndProcess(int code) {
    EndProcessHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookLock);
        hook = g_hook;
    }
    if (hook) {
        hook(code);
        return;
    }
    std::_Exit(code);
}

} // namespace platform
