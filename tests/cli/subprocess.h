// Runs kvzip as a child process with no terminal: stdin from /dev/null,
// stdout and stderr captured.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct RunResult {
    int exitCode = -1; // 128 + signal when a signal ended it
    std::string out;
    std::string err;
};

// Runs `args` (args[0] is the program) to its end. `whileRunning` is called
// every few milliseconds with the child's pid until it returns false.
RunResult RunProgram(const std::vector<std::string>& args,
                     const std::function<bool(int pid)>& whileRunning = {});
