#include "engine/zip_storage.h"

#include "engine/scan_state.h"
#include "engine/zip_exception.h"

#include <cerrno>

void CZipStorage::OpenStorage(const std::wstring& path, int /*mode*/) {
    OpenStorage(std::make_shared<CFileSource>(path), path);
}

void CZipStorage::OpenStorage(std::shared_ptr<const CByteSource> source, const std::wstring& path) {
    m_source = std::move(source);
    m_path = path;
    m_position = 0;
}

void CZipStorage::CloseStorage() {
    m_source.reset();
    m_position = 0;
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
    g_truncationFlag = 1;
    return read;
}

std::uint32_t CZipStorage::ReadPlain(void* buffer, std::uint32_t count) {
    const auto read = static_cast<std::uint32_t>(Source().ReadAt(m_position, buffer, count));
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
