// The commands of `kvzip`; each returns the process exit code. `command` is
// the declaration it was called by (cli/command_table.cpp).
#pragma once

#include <string>
#include <vector>

struct Command;

int RunList(const Command& command, const std::vector<std::string>& words);
int RunExtract(const Command& command, const std::vector<std::string>& words);
int RunCheck(const Command& command, const std::vector<std::string>& words);
int RunAnalyse(const Command& command, const std::vector<std::string>& words);
int RunRepair(const Command& command, const std::vector<std::string>& words);
