// Where the engine's bytes come from: an archive file, or bytes already in
// memory. Every read is positioned and leaves no state behind, so several
// readers can share one source.
#pragma once

#include "engine/big_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CByteSource {
public:
    CByteSource() = default;
    CByteSource(const CByteSource&) = delete;
    CByteSource& operator=(const CByteSource&) = delete;
    virtual ~CByteSource() = default;

    // The length in bytes. Throws CFileException when the source cannot be read.
    virtual std::uint64_t GetLength() const = 0;
    // Up to `count` bytes at `offset`; fewer only at the end. Throws
    // CFileException on a read fault.
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const = 0;
    // The file behind the bytes, so that no output is ever written over it;
    // none for bytes in memory or a file that did not open.
    virtual std::optional<FileIdentity> GetIdentity() const { return std::nullopt; }
};

// An archive file, opened for reading only. A failed open is reported by
// the first use, as the storage has always done.
class CFileSource : public CByteSource {
public:
    explicit CFileSource(const std::wstring& path);

    std::uint64_t GetLength() const override;
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const override;
    std::optional<FileIdentity> GetIdentity() const override { return m_identity; }

    const CBigFile& GetFile() const { return m_file; }

private:
    void EnsureOpen() const;

    CBigFile m_file;
    std::optional<CFileException> m_openError;
    // Asked once: every output file is checked against it.
    std::optional<FileIdentity> m_identity;
};

// Bytes that stay alive, unchanged, for as long as the source is used.
class CMemorySource : public CByteSource {
public:
    explicit CMemorySource(std::string_view bytes) : m_bytes(bytes) {}

    std::uint64_t GetLength() const override { return m_bytes.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const override;

private:
    std::string_view m_bytes;
};
