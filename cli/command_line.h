// Options shared by the engine-level commands.
#pragma once

#include <string>
#include <vector>

struct CommandOptions {
    bool advanced = false;
    bool json = false;
    bool help = false;
    std::vector<std::string> operands;
};

// Parses the words after the command name. Returns an error text for a
// usage error, empty when the words are good.
std::string ParseCommandOptions(const std::vector<std::string>& words, CommandOptions& options);

// Exit codes of every command.
enum ExitCode { exitOk = 0, exitUnreadable = 1, exitUsage = 2 };
