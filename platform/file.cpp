#include "platform/file.h"

#include "platform/text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFileException CFileException::FromErrno(int osError, const std::wstring& fileName) {
    Cause cause = genericException;
    switch (osError) {
    case ENOENT:
    case ENOTDIR:
        cause = fileNotFound;
        break;
    case ENAMETOOLONG:
    case EINVAL:
        cause = badPath;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        cause = accessDenied;
        break;
    case ETXTBSY:
    case EWOULDBLOCK:
        cause = sharingViolation;
        break;
    case ESPIPE:
    case EOVERFLOW:
        cause = badSeek;
        break;
    case EIO:
        cause = hardIO;
        break;
    case ENOSPC:
    case EDQUOT:
        cause = diskFull;
        break;
    default:
        break;
    }
    return CFileException(cause, osError, fileName);
}

std::wstring CException::GetErrorMessage() const {
    const std::wstring name = GetFileName();
    return name.empty() ? GetReason() : name + L": " + GetReason();
}

std::wstring CFileException::GetReason() const {
    if (m_osError != 0)
        return platform::DecodeLocal(std::strerror(m_osError));
    return m_cause == badPath ? L"not a regular file" : L"file error";
}

namespace {

FileIdentity IdentityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace

std::optional<FileIdentity> IdentifyFile(const std::wstring& path) {
    struct stat st {};
    if (::stat(platform::EncodeLocal(path).c_str(), &st) != 0)
        return std::nullopt;
    return IdentityOf(st);
}

CFile::~CFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CFile::Open(const std::wstring& path, unsigned flags, CFileException* error) {
    Close();
    int oflags = O_CLOEXEC;
    switch (flags & 0x3) {
    case modeWrite:
        oflags |= O_WRONLY;
        break;
    case modeReadWrite:
        oflags |= O_RDWR;
        break;
    default:
        oflags |= O_RDONLY;
        break;
    }
    if (flags & modeCreate) {
        oflags |= O_CREAT;
        if (!(flags & modeNoTruncate))
            oflags |= O_TRUNC;
    }
    const std::string native = platform::EncodeLocal(path);
    // Non-blocking only for the open itself: a FIFO without a writer would
    // otherwise hang the program.
    const int fd = ::open(native.c_str(), oflags | O_NONBLOCK, 0666);
    if (fd < 0) {
        if (error)
            *error = CFileException::FromErrno(errno, path);
        return false;
    }
    struct stat st {};
    const int kind = ::fstat(fd, &st) == 0 ? (st.st_mode & S_IFMT) : 0;
    // A device reads as an empty file or without end; a FIFO or socket
    // would block.
    if (kind != S_IFREG) {
        ::close(fd);
        if (error)
            *error = kind == S_IFDIR ? CFileException::FromErrno(EISDIR, path)
                                     : CFileException(CFileException::badPath, 0, path);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_flags = flags;
    m_path = path;
    return true;
}

void CFile::Attach(int descriptor, const std::wstring& path, unsigned flags) {
    Close();
    m_fd = descriptor;
    m_flags = flags;
    m_path = path;
}

std::optional<FileIdentity> CFile::GetIdentity() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return std::nullopt;
    return IdentityOf(st);
}

void CFile::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CFile::ThrowLastError() const {
    throw CFileException::FromErrno(m_fd < 0 ? EBADF : errno, m_path);
}

namespace {

// Reads until `count` bytes or the end of the file; `next` reads once at
// the given distance into the request.
template <typename ReadOnce>
std::size_t ReadFully(void* buffer, std::size_t count, ReadOnce next, bool& failed) {
    std::size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    failed = false;
    while (done < count) {
        const ssize_t n = next(out + done, count - done, done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            return done;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

std::size_t CFile::Read(void* buffer, std::size_t count) {
    if (m_fd < 0)
        ThrowLastError();
    bool failed = false;
    const std::size_t done = ReadFully(
        buffer, count,
        [this](char* out, std::size_t want, std::size_t) { return ::read(m_fd, out, want); },
        failed);
    if (failed)
        ThrowLastError();
    return done;
}

std::size_t CFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    if (m_fd < 0)
        ThrowLastError();
    bool failed = false;
    const std::size_t done = ReadFully(
        buffer, count,
        [this, offset](char* out, std::size_t want, std::size_t before) {
            return ::pread(m_fd, out, want, static_cast<off_t>(offset + before));
        },
        failed);
    if (failed)
        ThrowLastError();
    return done;
}

void CFile::Write(const void* buffer, std::size_t count) {
    if (m_fd < 0)
        ThrowLastError();
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t n = ::write(m_fd, in, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        in += n;
        count -= static_cast<std::size_t>(n);
    }
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    if (m_fd < 0)
        ThrowLastError();
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (pos < 0)
        ThrowLastError();
    return static_cast<std::uint64_t>(pos);
}

std::uint64_t CFile::GetPosition() const {
    if (m_fd < 0)
        ThrowLastError();
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        ThrowLastError();
    return static_cast<std::uint64_t>(pos);
}

std::uint64_t CFile::GetLength() const {
    if (m_fd < 0)
        ThrowLastError();
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        ThrowLastError();
    return static_cast<std::uint64_t>(st.st_size);
}

void CFile::SetLength(std::uint64_t length) {
    if (m_fd < 0)
        ThrowLastError();
    while (::ftruncate(m_fd, static_cast<off_t>(length)) != 0)
        if (errno != EINTR)
            ThrowLastError();
}
