#include "platform/process.h"

#include "platform/text.h"

#include <cerrno>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <utility>

extern char** environ;

namespace platform {

namespace {

std::mutex g_hookLock;
ShellOpenHook g_hook;

// The opener runs in the background while the shell watches it for ten
// seconds: one that finds no application fails within them (it tries a
// dozen programs first, which takes seconds on a busy machine), and its exit
// status is the shell's; one still running then has started one (or waits
// for it) and is left to init. "$1" keeps the target one argument whatever
// blanks or quotes it holds.
constexpr const char* kLauncher =
    "command -v xdg-open >/dev/null || exit 127; "
    "xdg-open \"$1\" </dev/null >/dev/null 2>&1 & opener=$!; "
    "tick=0; while [ $tick -lt 100 ]; do "
    "kill -0 $opener 2>/dev/null || { wait $opener; exit $?; }; sleep 0.1; tick=$((tick + 1)); "
    "done; exit 0";

} // namespace

bool OpenWithDesktop(const std::wstring& target) {
    const std::string bytes = EncodeLocal(target);
    char* argv[] = {const_cast<char*>("sh"),          const_cast<char*>("-c"),
                    const_cast<char*>(kLauncher),     const_cast<char*>("kvzip-open"),
                    const_cast<char*>(bytes.c_str()), nullptr};
    pid_t shell = 0;
    if (posix_spawn(&shell, "/bin/sh", nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    while (waitpid(shell, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ShellOpenHook SetShellOpenHook(ShellOpenHook hook) {
    std::lock_guard<std::mutex> lock(g_hookLock);
    return std::exchange(g_hook, std::move(hook));
}

bool ShellOpen(const std::wstring& target) {
    ShellOpenHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookLock);
        hook = g_hook;
    }
    if (hook)
        return hook(target);
    return OpenWithDesktop(target);
}

} // namespace platform
