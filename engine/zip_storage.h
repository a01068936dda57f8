// One archive as the engine reads it. Every byte the engine takes from an
// archive goes through here.
#pragma once

#include "engine/byte_source.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
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
    // Reads from `source`; `path` names it in errors.
    void OpenStorage(std::shared_ptr<const CByteSource> source, const std::wstring& path);
    void CloseStorage();

    // Reads up to `count` bytes at the current position. A short read that is
    // not empty throws cause 10 when `whole` is set, else sets m_truncated.
    // An empty read (at the end) reports nothing.
    std::uint32_t ReadBytes(void* buffer, std::uint32_t count, bool whole);
    // A read that neither throws on a short count nor sets m_truncated.
    std::uint32_t ReadPlain(void* buffer, std::uint32_t count);
    // Positioned bulk read for the scan; leaves the current position alone.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count);

    std::uint64_t Seek(std::uint64_t position);
    std::uint64_t SeekRelative(std::int64_t distance);
    std::uint64_t GetPosition() const { return m_position; }
    std::uint64_t GetLength();

    const std::wstring& GetPath() const { return m_path; }
    int GetCurrentVolume() const { return m_currentVolume; }
    // Shared, so that other readers of the same archive can be made from it.
    const std::shared_ptr<const CByteSource>& GetSource() const { return m_source; }

    // The archive ended inside an entry's data: extraction keeps what came
    // and clears it when the entry ends.
    bool m_truncated = false;

private:
    const CByteSource& Source();

    std::shared_ptr<const CByteSource> m_source;
    std::wstring m_path;
    // The storage keeps its own position: the source only has positioned reads.
    std::uint64_t m_position = 0;
    // The bytes after a small read: a local header's name and extra field
    // come from here instead of system calls of their own.
    static constexpr std::size_t kReadAhead = 512;
    std::array<unsigned char, kReadAhead> m_ahead{};
    std::uint64_t m_aheadStart = 0;
    std::size_t m_aheadSize = 0;
    int m_currentVolume = -1;
};
