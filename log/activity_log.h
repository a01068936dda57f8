// The activity log, "Activity Log.txt": every step of a repair run appends
// its lines here. A log line is written as "\r\n" followed by the text, one
// call each; the file gets exactly the text given, nothing added.
#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

inline constexpr const wchar_t* kActivityLogName = L"Activity Log.txt";
// A log larger than this is emptied by the next write (5 MiB).
inline constexpr std::uint64_t kActivityLogLimit = 5242880;
// Most bytes one write stores; a longer text is cut, never inside a character.
inline constexpr std::size_t kActivityLogWriteLimit = 200;

// Appends `text` (up to its first L'\0') in the locale's charset. Resolves the
// file anew, creates it if missing and empties it when it has outgrown the
// limit; its permissions are left alone. Safe from any thread and from several processes:
// no write is lost to another. Returns 1 when written, 0 otherwise.
int WriteActivityLog(std::wstring_view text);

// Writes "\r\n" unless the log is empty or ends a line already, so that the
// next text starts a line of its own whatever was written before it.
int StartActivityLogLine();

// Told of a write that failed: the log file and the system's error number.
using ActivityLogErrorHandler = std::function<void(const std::wstring& path, int osError)>;

// Installs the handler told of failed writes (the command line warns once);
// an empty one makes failures silent again, as they are by default.
void SetActivityLogErrorHandler(ActivityLogErrorHandler handler);

// Sends every later write, Clear Log and the viewer to `path` instead of the
// file the registry names (the command line's --log); empty undoes it.
void SetActivityLogFile(std::wstring path);

// The log file that the next write goes to: the "LogPath" folder of the
// application's key, or the "FilePath" folder when that is unset or missing,
// or, when the "FilePath" folder cannot be written either, the user's state
// folder ($XDG_STATE_HOME/kelvane-zip, else ~/.local/state/kelvane-zip).
// The log viewer and Clear Log use this same file.
std::wstring ResolveActivityLogPath();

// The text of `valueName` in `key`; empty when the key is not open or the
// value is missing or longer than 259 characters. Closes the key in every case.
std::wstring ReadRegistryString(std::optional<platform::RegistryKey> key,
                                std::wstring_view valueName);

// Asks whether to clear the log; on Yes deletes it and starts it anew with
// one line break.
void ClearActivityLog();
