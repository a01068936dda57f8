// The log lines a command writes where the desktop program would write them
// at its start.
#pragma once

// The start banner with the local date and time.
void LogProgramStart();
