// Where an entry's bytes go on disk, and the folders on the way there.
#pragma once

#include <optional>
#include <string>

inline constexpr std::size_t kMaxPathComponentBytes = 255;

// The entry name as a path below the destination: the drive and leading
// separators dropped, "." and ".." parts removed so nothing lands outside.
// Empty optional when a part is longer than 255 bytes on disk.
std::optional<std::wstring> GetEntryRelativePath(const std::wstring& name);

// The drive and folder part of `path`, with its trailing separator.
std::wstring GetFolderPart(const std::wstring& path);

// What a path names on disk; a link is followed.
enum class PathKind { nothing, file, folder };

PathKind GetPathKind(const std::wstring& path);

// Makes every missing folder of `path`.
bool CreateFolderPath(std::wstring path);
