#include "engine/zip_storage.h"

#include "engine/scan_state.h"
#include "engine/zip_exception.h"

#include <cerrno>

void CZipStorage::OpenStorage(const std::wstring& path, int /*mode*/) {
    m_path = path;
    m_openError.reset();
    CFileException error(CFileException::none, 0, path);
    if (!m_file.Open(path, CFile::modeRead | CFile::shareDenyWrite, &error))
        m_openError = error;
}

void CZipStorage::CloseStorage() {
    m_file.Close();
    m_openError.reset();
    m_currentVolume = -1;
}

void CZipStorage::EnsureOpen() {
    if (m_file.IsOpen())
        return;
    if (m_openError)
        throw *m_openError;
    throw CFileException::FromErrno(EBADF, m_path);
}

std::uint32_t CZipStorage::ReadBytes(void* buffer, std::uint32_t count, bool whole) {
    EnsureOpen();
    const auto read = static_cast<std::uint32_t>(m_file.Read(buffer, count));
    if (read == 0 || read == count)
        return read;
    if (whole)
        ThrowZipError(CZipException::codeBadZipFile, m_path);
    g_truncationFlag = 1;
    return read;
}

std::uint32_t CZipStorage::ReadPlain(void* buffer, std::uint32_t count) {
    EnsureOpen();
    return static_cast<std::uint32_t>(m_file.Read(buffer, count));
}

std::size_t CZipStorage::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    EnsureOpen();
    return m_file.ReadAt(offset, buffer, count);
}

std::uint64_t CZipStorage::Seek(std::uint64_t position) {
    EnsureOpen();
    return m_file.Seek64(static_cast<std::int64_t>(position), FILE_BEGIN);
}

std::uint64_t CZipStorage::SeekRelative(std::int64_t distance) {
    EnsureOpen();
    return m_file.Seek64(distance, FILE_CURRENT);
}

std::uint64_t CZipStorage::GetPosition() {
    EnsureOpen();
    return m_file.GetPosition();
}

std::uint64_t CZipStorage::GetLength() {
    EnsureOpen();
    return m_file.GetLength();
}
