#include "identity/app_identity.h"

std::wstring g_appTitle = L"Kelvane for Zip";
std::wstring g_appFolder;
// Start-up sets it again; having it from the start lets the command line,
// which runs no start-up, find the same log.
std::wstring g_appRegistryKey = L"KVZIP";
