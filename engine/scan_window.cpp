#include "engine/scan_window.h"

#include "engine/signature_search.h"
#include "engine/zip_storage.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kWindowSize = 2 * 1024 * 1024;
}

CScanWindow::CScanWindow(CZipStorage& storage, std::uint64_t fileLength)
    : m_storage(storage), m_fileLength(fileLength) {}

void CScanWindow::Fill(std::uint64_t offset) {
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<unsigned char[]>(kWindowSize);
    m_start = offset;
    m_filled = offset < m_fileLength ? m_storage.ReadAt(offset, m_buffer.get(), kWindowSize) : 0;
}

std::uint64_t CScanWindow::Find(std::uint64_t from, std::uint64_t limit,
                                const std::array<unsigned char, 4>& signature) {
    if (m_fileLength < 4)
        return limit;
    // A signature at p needs p + 4 <= file length.
    const std::uint64_t end = std::min(limit, m_fileLength - 3);
    while (from < end) {
        if (from < m_start || from + 4 > m_start + m_filled) {
            Fill(from);
            if (m_filled < 4)
                return limit; // the file shrank under us
        }
        const std::uint64_t stop = std::min(end, m_start + m_filled - 3);
        const auto begin = static_cast<std::size_t>(from - m_start);
        const auto bytes = static_cast<std::size_t>(stop + 3 - from);
        const std::size_t hit = FindSignature(m_buffer.get() + begin, bytes, signature);
        if (hit != bytes)
            return from + hit;
        from = stop;
    }
    return limit;
}

std::size_t CScanWindow::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    if (count == 0)
        return 0;
    if (offset >= m_start && offset + count <= m_start + m_filled) {
        std::memcpy(buffer, m_buffer.get() + (offset - m_start), count);
        return count;
    }
    if (offset >= m_fileLength)
        return 0;
    return m_storage.ReadAt(offset, buffer, count);
}

void CScanWindow::Cover(std::uint64_t offset, std::size_t count) {
    if ((offset < m_start || offset + count > m_start + m_filled) && offset < m_fileLength)
        Fill(offset);
}

bool CScanWindow::RecordBeginsAt(std::uint64_t offset) {
    if (offset == m_fileLength)
        return true;
    unsigned char raw[4];
    if (ReadAt(offset, raw, 4) != 4 || raw[0] != 'P' || raw[1] != 'K')
        return false;
    static const unsigned char kKinds[][2] = {{1, 2}, {3, 4}, {5, 5}, {5, 6},
                                              {6, 6}, {6, 7}, {6, 8}, {7, 8}};
    return std::any_of(std::begin(kKinds), std::end(kKinds), [&raw](const unsigned char* kind) {
        return raw[2] == kind[0] && raw[3] == kind[1];
    });
}

bool CScanWindow::RecordFollows(std::uint64_t end) {
    for (const std::uint64_t descriptor : {0, 12, 16, 20, 24})
        if (end <= m_fileLength && descriptor <= m_fileLength - end &&
            RecordBeginsAt(end + descriptor))
            return true;
    return false;
}
