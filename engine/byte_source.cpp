#include "engine/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

CFileSource::CFileSource(const std::wstring& path) {
    CFileException error(CFileException::none, 0, path);
    if (!m_file.Open(path, CFile::modeRead | CFile::shareDenyWrite, &error))
        m_openError = error;
    else
        m_identity = m_file.GetIdentity();
}

void CFileSource::EnsureOpen() const {
    if (m_file.IsOpen())
        return;
    if (m_openError)
        throw *m_openError;
    throw CFileException::FromErrno(EBADF, m_file.GetFilePath());
}

std::uint64_t CFileSource::GetLength() const {
    EnsureOpen();
    return m_file.GetLength();
}

std::size_t CFileSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    EnsureOpen();
    return m_file.ReadAt(offset, buffer, count);
}

std::size_t CMemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    if (offset >= m_bytes.size())
        return 0;
    const std::size_t n = std::min<std::uint64_t>(count, m_bytes.size() - offset);
    std::memcpy(buffer, m_bytes.data() + offset, n);
    return n;
}
