// What the long commands do where the desktop program would: its start and
// its "Repair" with the archives as the selected files.
#pragma once

#include "cli/command_line.h"

#include <string>
#include <vector>

// A usage error when --log names one of the archives, which the log would
// be written into; empty otherwise.
std::string LogTargetError(const CommandOptions& options);

// Points the log where --log says (a log that cannot be written is warned
// about once on stderr), sets the repair mode and the code page of entry
// names (the registry store's unless --name-encoding), and writes the start
// banner and the lines of "Repair" for the archives of `options`, which it
// returns as the source files.
std::vector<std::wstring> StartDesktopRun(const CommandOptions& options);
