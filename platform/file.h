// Files and their errors, as the rest of the program sees them. Errors are
// exceptions thrown by value and caught by reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Which file a path or an open file is, whatever name reaches it: two
// names for the same file (a link, a hard link) have the same identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file `path` names, following links; none when it
// cannot be looked at.
std::optional<FileIdentity> IdentifyFile(const std::wstring& path);

class CException {
public:
    virtual ~CException() = default;
    // A short English description of what went wrong, for the command line.
    virtual std::wstring GetReason() const = 0;
    // The file concerned; empty when none.
    virtual std::wstring GetFileName() const { return {}; }
    // "file: reason", or the reason alone.
    std::wstring GetErrorMessage() const;
};

class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        accessDenied,
        sharingViolation,
        badSeek,
        hardIO,
        diskFull,
        endOfFile,
    };

    CFileException(Cause cause, int osError, std::wstring fileName)
        : m_cause(cause), m_osError(osError), m_fileName(std::move(fileName)) {}

    // Builds the exception that describes errno value `osError`.
    static CFileException FromErrno(int osError, const std::wstring& fileName);

    std::wstring GetReason() const override;
    std::wstring GetFileName() const override { return m_fileName; }

    Cause m_cause;
    int m_osError;
    std::wstring m_fileName;
};

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x2000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Opens `path`; on failure returns false and, when given, fills `error`.
    // Share modes are recorded only: nothing here enforces them. Anything but
    // a regular file (a folder, a device, a FIFO) is refused.
    bool Open(const std::wstring& path, unsigned flags, CFileException* error = nullptr);
    // Takes over `descriptor`, already open as `flags` says, for `path`.
    void Attach(int descriptor, const std::wstring& path, unsigned flags);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    // Reads up to `count` bytes at the current position; 0 at the end.
    std::size_t Read(void* buffer, std::size_t count);
    // Reads up to `count` bytes at `offset` without moving the position.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;
    void Write(const void* buffer, std::size_t count);
    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    std::uint64_t GetPosition() const;
    std::uint64_t GetLength() const;
    // Cuts the file to `length` bytes or extends it with zeros; the
    // position stays.
    void SetLength(std::uint64_t length);

    std::optional<FileIdentity> GetIdentity() const;
    int GetHandle() const { return m_fd; }
    const std::wstring& GetFilePath() const { return m_path; }
    unsigned GetOpenFlags() const { return m_flags; }

protected:
    [[noreturn]] void ThrowLastError() const;

    int m_fd = -1;
    unsigned m_flags = 0;
    std::wstring m_path;
};
