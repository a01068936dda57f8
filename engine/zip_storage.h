// One archive file as the engine reads it. Every byte the engine takes from
// an archive goes through here.
#pragma once

#include "engine/big_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CZipStorage {
public:
    CZipStorage() = default;
    CZipStorage(const CZipStorage&) = delete;
    CZipStorage& operator=(const CZipStorage&) = delete;
    virtual ~CZipStorage() = default;

    // Mode 0 and mode 1 both open the existing file for reading only: the
    // archive is never written. A failed open is reported by the first use.
    void OpenStorage(const std::wstring& path, int mode);
    void CloseStorage();
    bool IsOpen() const { return m_file.IsOpen(); }

    // Reads up to `count` bytes at the current position. A short read that is
    // not empty throws cause 10 when `whole` is set, else raises
    // g_truncationFlag. An empty read (at the end) reports nothing.
    std::uint32_t ReadBytes(void* buffer, std::uint32_t count, bool whole);
    // A read that neither throws on a short count nor raises g_truncationFlag.
    std::uint32_t ReadPlain(void* buffer, std::uint32_t count);
    // Positioned bulk read for the scan; leaves the file position alone.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count);

    std::uint64_t Seek(std::uint64_t position);
    std::uint64_t SeekRelative(std::int64_t distance);
    std::uint64_t GetPosition();
    std::uint64_t GetLength();

    const std::wstring& GetPath() const { return m_path; }
    int GetCurrentVolume() const { return m_currentVolume; }

    CBigFile m_file;

private:
    void EnsureOpen();

    std::wstring m_path;
    int m_currentVolume = -1;
    std::optional<CFileException> m_openError;
};
