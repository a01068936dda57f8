// The commands of `kvzip`; each returns the process exit code.
#pragma once

#include <string>
#include <vector>

int RunList(const std::vector<std::string>& words);
int RunExtract(const std::vector<std::string>& words);
int RunCheck(const std::vector<std::string>& words);
int RunAnalyse(const std::vector<std::string>& words);
int RunRepair(const std::vector<std::string>& words);
