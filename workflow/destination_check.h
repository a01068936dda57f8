// Whether a chosen destination folder can take the salvaged files.
#pragma once

#include <string>

// The folder exists (a folder, not a file).
bool DestinationExists(const std::wstring& folder);

// A file can be created in the folder. The test file has a fresh unique name
// and is created exclusively, so nothing already there is ever touched; it
// is removed at once.
bool DestinationWritable(const std::wstring& folder);
