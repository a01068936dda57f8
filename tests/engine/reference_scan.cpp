#include "tests/engine/reference_scan.h"

#include "engine/entry_name.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <sstream>

namespace kvtest {

namespace {

struct Note {
    std::uint32_t compressedSize;
    std::uint16_t nameLength;
    std::uint32_t localHeaderOffset;
    std::wstring name;
};

class Walker {
public:
    Walker(const std::string& file, std::uint32_t resume, int seen, std::uint32_t lastCompressed)
        : m_file(file), m_size(file.size()),
          m_length(static_cast<std::uint32_t>(std::min<std::uint64_t>(m_size, 0xFFFFFFFFu))),
          m_resume(resume), m_lastCompressed(lastCompressed) {
        m_result.descriptorSeen = seen;
    }

    ReferenceResult Quick() {
        LocalPass(false);
        m_result.entries.clear();
        m_result.entryCount = 0;
        std::uint64_t pos = m_resume;
        while (pos < m_length && pos + 50 <= m_length) {
            if (!SignatureAt(pos, 1, 2)) {
                ++pos;
                continue;
            }
            const std::uint32_t nameLength = Le16(pos + 28);
            if (nameLength > 500) {
                m_lastName = 0;
            } else {
                m_lastName = nameLength;
                LookBack(pos);
                m_notes.push_back({Le32(pos + 20), static_cast<std::uint16_t>(nameLength),
                                   Le32(pos + 42),
                                   DecodeEntryName(Stored(pos + 46, nameLength), Le16(pos + 8),
                                                   Stored(pos + 46 + nameLength, Le16(pos + 30)))});
            }
            if (!Step(pos, pos + 46 + m_lastName))
                break;
        }
        LocalPass(true);
        return m_result;
    }

    ReferenceResult Advanced() {
        std::vector<std::uint32_t> locals;
        std::vector<std::uint32_t> centrals;
        std::uint64_t pos = 0;
        std::uint64_t next = 0;
        while (pos < m_length) {
            Report(pos, next, static_cast<std::uint32_t>(pos));
            if (!SignatureAt(pos, 3, 4) || m_size - pos < 30) {
                ++pos;
                continue;
            }
            const std::uint16_t nameLength = Le16(pos + 26);
            m_lastName = nameLength <= 500 ? nameLength : 0;
            LookBack(pos);
            std::uint32_t crc = Le32(pos + 14), size = Le32(pos + 18), usize = Le32(pos + 22);
            if (Le16(pos + 6) & 8)
                TrailingSizes(pos, nameLength, Le16(pos + 28), Stored(pos + 30, m_lastName), crc,
                              size, usize);
            m_lastCompressed = size;
            locals.push_back(static_cast<std::uint32_t>(pos));
            if (!Step(pos, pos + 30 + m_lastName + m_lastCompressed))
                break;
        }
        pos = m_resume;
        next = 0;
        while (pos < m_length && pos + 50 <= m_length) {
            Report(pos, next, static_cast<std::uint32_t>(pos));
            if (!SignatureAt(pos, 1, 2)) {
                ++pos;
                continue;
            }
            m_lastName = Le16(pos + 28);
            centrals.push_back(Le32(pos + 42));
            if (!Step(pos, pos + 46 + m_lastName))
                break;
        }
        for (std::uint32_t offset : centrals) {
            if (std::find(locals.begin(), locals.end(), offset) == locals.end())
                locals.push_back(offset);
        }
        for (std::uint32_t offset : locals) {
            if (offset >= m_size) {
                ++m_result.entryCount;
                CFileHeader empty;
                empty.ClearAll();
                m_result.entries.push_back(empty);
                continue;
            }
            if (m_size - offset < 30)
                continue;
            ++m_result.entryCount;
            m_result.entries.push_back(ReadLocal(offset, false));
        }
        return m_result;
    }

private:
    void LocalPass(bool matching) {
        if (matching)
            m_resume = 0;
        std::uint64_t pos = 0;
        std::uint64_t next = 0;
        while (pos < m_length) {
            Report(pos, next, m_resume);
            if (!SignatureAt(pos, 3, 4) || m_size - pos < 30) {
                ++pos;
                continue;
            }
            ++m_result.entryCount;
            m_result.entries.push_back(ReadLocal(pos, matching));
            if (!Step(pos, pos + 30 + m_lastName + m_lastCompressed))
                break;
        }
    }

    CFileHeader ReadLocal(std::uint64_t pos, bool matching) {
        CFileHeader h;
        std::memcpy(h.signature.data(), m_file.data() + pos, 4);
        h.versionNeeded = Le16(pos + 4);
        h.flags = Le16(pos + 6);
        h.method = Le16(pos + 8);
        h.modTime = Le16(pos + 10);
        h.modDate = Le16(pos + 12);
        h.storedCrc = Le32(pos + 14);
        h.compressedSize = Le32(pos + 18);
        h.uncompressedSize = Le32(pos + 22);
        h.nameLength = Le16(pos + 26);
        h.extraLength = Le16(pos + 28);
        h.localHeaderOffset = static_cast<std::uint32_t>(pos);
        if (h.nameLength > 500) {
            m_lastName = 0;
            return h;
        }
        m_lastName = h.nameLength;
        const std::string stored = Stored(pos + 30, h.nameLength);
        const std::string extra = Stored(pos + 30 + h.nameLength, h.extraLength);
        h.name = DecodeEntryName(stored, h.flags, extra);
        LookBack(pos);
        if (h.flags & 8)
            h.openEnded = !TrailingSizes(pos, h.nameLength, h.extraLength, stored, h.storedCrc,
                                         h.compressedSize, h.uncompressedSize);
        m_lastCompressed = h.compressedSize;
        if (matching && !m_notes.empty()) {
            const Note& note = m_notes.front();
            if (note.localHeaderOffset == h.localHeaderOffset &&
                note.compressedSize == h.compressedSize && note.nameLength == h.nameLength &&
                note.name != h.name)
                h.name = note.name;
            m_notes.pop_front();
        }
        h.name = platform::ToNativeSeparators(h.name);
        if (h.extraLength != 0) {
            h.extraField.Allocate(h.extraLength);
            std::fill(h.extraField.GetBuffer(), h.extraField.GetBuffer() + h.extraLength, 0);
            std::copy(extra.begin(), extra.end(), h.extraField.GetBuffer());
        }
        return h;
    }

    // A bit-3 entry's CRC and sizes, found the slow way: the first central
    // header for this offset and name, its own descriptor, or a descriptor
    // just before the next header.
    bool TrailingSizes(std::uint64_t pos, std::uint16_t nameLength, std::uint16_t extraLength,
                       const std::string& stored, std::uint32_t& crc, std::uint32_t& size,
                       std::uint32_t& usize) const {
        if (crc == 0 && size == 0 && usize == 0) {
            for (std::uint64_t c = 0; c + 46 <= m_size; ++c) {
                if (!SignatureAt(c, 1, 2) || Le32(c + 42) != static_cast<std::uint32_t>(pos))
                    continue;
                const std::uint16_t length = Le16(c + 28);
                if (c + 46 + length > m_size || m_file.compare(c + 46, length, stored) != 0 ||
                    Le32(c + 20) == 0xFFFFFFFF || Le32(c + 24) == 0xFFFFFFFF)
                    continue;
                crc = Le32(c + 16);
                size = Le32(c + 20);
                usize = Le32(c + 24);
                return true;
            }
        }
        const std::uint64_t dataStart = pos + 30 + nameLength + extraLength;
        if (OwnDescriptor(dataStart, crc, size, usize))
            return true;
        if (size != 0)
            return true;
        std::uint64_t next = dataStart;
        while (next + 4 <= m_size && !SignatureAt(next, 3, 4) && !SignatureAt(next, 1, 2))
            ++next;
        if (next + 4 > m_size)
            return false;
        std::uint64_t at = 0;
        if (next - dataStart >= 16 && SignatureAt(next - 16, 7, 8) &&
            Le32(next - 8) == next - 16 - dataStart)
            at = next - 12;
        else if (next - dataStart >= 12 && Le32(next - 8) == next - 12 - dataStart)
            at = next - 12;
        else
            return false;
        crc = Le32(at);
        size = Le32(at + 4);
        usize = Le32(at + 8);
        return true;
    }

    bool OwnDescriptor(std::uint64_t dataStart, std::uint32_t& crc, std::uint32_t& size,
                       std::uint32_t& usize) const {
        for (std::uint64_t d = dataStart; d + 16 <= m_size; ++d) {
            if (SignatureAt(d, 7, 8) && Le32(d + 8) == d - dataStart) {
                crc = Le32(d + 4);
                size = Le32(d + 8);
                usize = Le32(d + 12);
                return true;
            }
        }
        return false;
    }

    void LookBack(std::uint64_t pos) {
        if (pos >= 16 && SignatureAt(pos - 16, 7, 8))
            m_result.descriptorSeen = 1;
    }

    bool Step(std::uint64_t& pos, std::uint64_t target) {
        pos = target;
        m_resume = static_cast<std::uint32_t>(std::min<std::uint64_t>(target, 0xFFFFFFFFu));
        return target < m_length;
    }

    void Report(std::uint64_t pos, std::uint64_t& next, std::uint32_t value) {
        if (pos >= next) {
            m_result.reports.emplace_back(value, m_length);
            next = pos + 100;
        }
    }

    bool SignatureAt(std::uint64_t pos, char third, char fourth) const {
        return pos + 4 <= m_size && m_file[pos] == 'P' && m_file[pos + 1] == 'K' &&
               m_file[pos + 2] == third && m_file[pos + 3] == fourth;
    }

    std::string Stored(std::uint64_t pos, std::uint32_t length) const {
        if (pos >= m_size)
            return {};
        return m_file.substr(pos, std::min<std::uint64_t>(length, m_size - pos));
    }

    std::uint16_t Le16(std::uint64_t pos) const {
        return ReadLe16(reinterpret_cast<const unsigned char*>(m_file.data() + pos));
    }
    std::uint32_t Le32(std::uint64_t pos) const {
        return ReadLe32(reinterpret_cast<const unsigned char*>(m_file.data() + pos));
    }

    const std::string& m_file;
    std::uint64_t m_size;
    std::uint32_t m_length;
    std::uint32_t m_resume;
    std::uint32_t m_lastCompressed;
    std::uint32_t m_lastName = 0;
    std::deque<Note> m_notes;
    ReferenceResult m_result;
};

} // namespace

ReferenceResult ReferenceScan(const std::string& file, int mode, std::uint32_t resumeOffset,
                              int descriptorSeen, std::uint32_t lastCompressedSize) {
    Walker walker(file, resumeOffset, descriptorSeen, lastCompressedSize);
    return mode == 1 ? walker.Advanced() : walker.Quick();
}

std::string DescribeDifference(const CFileHeader& e, const CFileHeader& a) {
    std::ostringstream out;
    auto check = [&out](const char* field, auto expected, auto actual) {
        if (expected != actual)
            out << field << ": expected " << +expected << ", got " << +actual << "; ";
    };
    check("flags", e.flags, a.flags);
    check("method", e.method, a.method);
    check("modTime", e.modTime, a.modTime);
    check("modDate", e.modDate, a.modDate);
    check("storedCrc", e.storedCrc, a.storedCrc);
    check("compressedSize", e.compressedSize, a.compressedSize);
    check("uncompressedSize", e.uncompressedSize, a.uncompressedSize);
    check("nameLength", e.nameLength, a.nameLength);
    check("extraLength", e.extraLength, a.extraLength);
    check("localHeaderOffset", e.localHeaderOffset, a.localHeaderOffset);
    check("externalAttributes", e.externalAttributes, a.externalAttributes);
    check("openEnded", e.openEnded, a.openEnded);
    if (e.name != a.name)
        out << "name differs (" << e.name.size() << " vs " << a.name.size() << " chars); ";
    const bool sameExtra = e.extraField.GetSize() == a.extraField.GetSize() &&
                           (e.extraField.GetSize() == 0 ||
                            std::memcmp(e.extraField.GetBuffer(), a.extraField.GetBuffer(),
                                        e.extraField.GetSize()) == 0);
    if (!sameExtra)
        out << "extra field differs; ";
    return out.str();
}

} // namespace kvtest
