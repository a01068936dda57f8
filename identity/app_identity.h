// Who the program is: its title, its registry key and its installation
// folder, shared by the log, the workflow, both front ends and the dialogs.
#pragma once

#include <cstddef>
#include <string>

// Longest path or folder text the program keeps: 260 with the terminator.
inline constexpr std::size_t kMaxPathChars = 259;

// "Kelvane for Zip": caption of every message box and of the main windows.
extern std::wstring g_appTitle;
// The installation folder, registry value "FilePath", read at start-up.
extern std::wstring g_appFolder;
// The application's key under HKEY_CLASSES_ROOT, read by every registry look-up.
extern std::wstring g_appRegistryKey;
