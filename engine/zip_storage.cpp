#include "engine/zip_storage.h"

#include "engine/zip_exception.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

void CZipStorage::OpenStorage(const std::wstring& path, int /*mode*/) {
    OpenStorage(std::make_shared<CFileSource>(path), path);
}

void CZipStorage::OpenStorage(std::shared_ptr<const CByteSource> source, const std::wstring& path) {
    m_source = std::move(source);
    m_path = path;
    m_position = 0;
    m_aheadSize = 0;
    m_truncated = false;
}

void CZipStorage::CloseStorage() {
    m_source.reset();
    m_position = 0;
    m_aheadSize = 0;
    m_currentVolume = -1;
}

const CByteSource& CZipStorage::Source() {
    if (m_source == nullptr)
        throw CFileException::FromErrno(EBADF, m_path);
    return *m_source;
}

std::uint32_t CZipStorage::ReadBytes(void* buffer, std::uint32_t count, bool whole) {
    const std::uint32_t read = ReadPlain(buffer, count);
    if (read == 0 || read == count)
        return read;
    if (whole)
        ThrowZipError(CZipException::codeBadZipFile, m_path);
    m_truncated = true;
    return read;
}

std::uint32_t CZipStorage::ReadPlain(void* buffer, std::uint32_t count) {
    if (count > kReadAhead / 4) {
        const auto read = static_cast<std::uint32_t>(Source().ReadAt(m_position, buffer, count));
        m_position += read;
        return read;
    }
    if (m_position < m_aheadStart || m_position + count > m_aheadStart + m_aheadSize) {
        // Fewer bytes only at the end of the source: then what is there is all.
        m_aheadSize = Source().ReadAt(m_position, m_ahead.data(), m_ahead.size());
        m_aheadStart = m_position;
    }
    const std::size_t offset = m_position - m_aheadStart;
    const auto read = static_cast<std::uint32_t>(
        std::min<std::size_t>(count, m_aheadSize > offset ? m_aheadSize - offset : 0));
    std::memcpy(buffer, m_ahead.data() + offset, read);
    m_position += read;
    return read;
}

std::size_t CZipStorage::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    return Source().ReadAt(offset, buffer, count);
}

std::uint64_t CZipStorage::Seek(std::uint64_t position) {
    Source();
    m_position = position;
    return m_position;
}

std::uint64_t CZipStorage::SeekRelative(std::int64_t distance) {
    Source();
    if (distance < 0 && static_cast<std::uint64_t>(-distance) > m_position)
        throw CFileException::FromErrno(EINVAL, m_path);
    m_position += static_cast<std::uint64_t>(distance);
    return m_position;
}

std::uint64_t CZipStorage::GetLength() {
    return Source().GetLength();
}
