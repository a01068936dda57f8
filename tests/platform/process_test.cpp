#include "platform/process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(EndProcess, EndsAtOnceWithTheCode) {
    EXPECT_EXIT(platform::EndProcess(3), ::testing::ExitedWithCode(3), "");
}

TEST(EndProcess, AnInstalledHookObservesInsteadOfEnding) {
    int seen = -1;
    const auto previous = platform::SetEndProcessHook([&](int code) { seen = code; });
    platform::EndProcess(0);
    platform::SetEndProcessHook(previous);
    EXPECT_EQ(seen, 0);
}

TEST(ShellOpen, AnInstalledHookReceivesTheTarget) {
    std::wstring seen;
    const auto previous = platform::SetShellOpenHook([&](const std::wstring& target) {
        seen = target;
        return false;
    });
    EXPECT_FALSE(platform::ShellOpen(L"/data/Activity Log.txt"));
    platform::SetShellOpenHook(previous);
    EXPECT_EQ(seen, L"/data/Activity Log.txt");
}

// The real opener, with a stand-in xdg-open first on PATH that records its
// arguments: the target must arrive whole, and nothing is left to reap.
TEST(ShellOpen, StartsXdgOpenDetachedWithTheTargetAsOneArgument) {
    std::string pattern = (fs::temp_directory_path() / "kvzip-open-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    const fs::path record = dir / "args";
    {
        std::ofstream script(dir / "xdg-open");
        script << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > '" << record.string() << ".tmp'\n"
               << "mv '" << record.string() << ".tmp' '" << record.string() << "'\n";
    }
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);

    const bool started = platform::ShellOpen(L"/my files/it's \"a\" $HOME log.txt");
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_TRUE(started);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(record) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::stringstream text;
    text << std::ifstream(record).rdbuf();
    EXPECT_EQ(text.str(), "1|/my files/it's \"a\" $HOME log.txt|");
    fs::remove_all(dir);
}

TEST(ShellOpen, FailsWhenNoOpenerIsInstalled) {
    std::string pattern = (fs::temp_directory_path() / "kvzip-open-XXXXXX").string();
    const fs::path empty = ::mkdtemp(pattern.data());
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::setenv("PATH", empty.c_str(), 1);
    const bool started = platform::ShellOpen(L"/tmp/x.txt");
    ::setenv("PATH", oldPath.c_str(), 1);
    fs::remove(empty);
    EXPECT_FALSE(started);
}
