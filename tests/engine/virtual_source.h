// An archive that exists only as the bytes placed in it, zeros everywhere
// else: tests build files of many GiB without writing them, and make reads
// fail where they like.
#pragma once

#include "engine/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <string>

namespace kvtest {

class VirtualSource : public CByteSource {
public:
    explicit VirtualSource(std::uint64_t length) : m_length(length) {}

    // Pieces never overlap.
    void Place(std::uint64_t offset, std::string bytes) { m_pieces[offset] = std::move(bytes); }
    // Reads touching [from, to) fail as a bad sector would.
    void FailReadsIn(std::uint64_t from, std::uint64_t to) {
        m_failFrom = from;
        m_failTo = to;
    }

    std::uint64_t GetLength() const override { return m_length; }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const override {
        if (offset >= m_length)
            return 0;
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, m_length - offset));
        if (offset < m_failTo && offset + n > m_failFrom)
            throw CFileException::FromErrno(EIO, L"virtual.zip");
        auto* out = static_cast<char*>(buffer);
        std::memset(out, 0, n);
        auto it = m_pieces.upper_bound(offset);
        if (it != m_pieces.begin())
            it = std::prev(it);
        for (; it != m_pieces.end() && it->first < offset + n; ++it) {
            const std::uint64_t from = std::max(it->first, offset);
            const std::uint64_t to =
                std::min<std::uint64_t>(it->first + it->second.size(), offset + n);
            if (from < to)
                std::memcpy(out + (from - offset), it->second.data() + (from - it->first),
                            to - from);
        }
        return n;
    }

private:
    std::uint64_t m_length;
    std::map<std::uint64_t, std::string> m_pieces;
    std::uint64_t m_failFrom = 0;
    std::uint64_t m_failTo = 0;
};

} // namespace kvtest
