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
    std::uint64_t compressedSize;
    std::uint16_t nameLength;
    std::uint64_t localHeaderOffset;
    std::wstring name;
    std::string stored;
    std::uint64_t pos; // of the central header
    std::uint64_t usize = 0;
    std::uint16_t method = 0;
    bool paired = false;
};

class Walker {
public:
    explicit Walker(const std::string& file)
        : m_file(file), m_size(file.size()), m_length(m_size) {}

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
            m_lastName = nameLength;
            m_notes.push_back(NoteOf(pos));
            LookBack(pos);
            if (!CentralStep(pos))
                break;
        }
        LocalPass(true);
        PlaceNotes();
        return m_result;
    }

    ReferenceResult Advanced() {
        std::vector<std::uint64_t> locals;
        std::vector<std::uint64_t> centrals;
        std::uint64_t pos = 0;
        std::uint64_t next = 0;
        while (pos < m_length) {
            Report(pos, next, pos);
            if (!SignatureAt(pos, 3, 4) || m_size - pos < 30) {
                ++pos;
                continue;
            }
            const std::uint16_t nameLength = Le16(pos + 26);
            m_lastName = nameLength;
            LookBack(pos);
            m_lastCompressed = Sizes(pos, Le16(pos + 26), Stored(pos + 30, m_lastName)).size;
            locals.push_back(pos);
            if (!CheckedStep(pos, Past(pos + 30 + m_lastName, m_lastCompressed), Le16(pos + 28)))
                break;
        }
        pos = m_resume;
        next = 0;
        while (pos < m_length && pos + 50 <= m_length) {
            Report(pos, next, pos);
            if (!SignatureAt(pos, 1, 2)) {
                ++pos;
                continue;
            }
            m_lastName = Le16(pos + 28);
            const Note note = NoteOf(pos);
            centrals.push_back(note.localHeaderOffset);
            m_notes.push_back(note);
            if (!CentralStep(pos))
                break;
        }
        const std::size_t localCount = locals.size();
        for (std::uint64_t offset : centrals) {
            if (std::find(locals.begin(), locals.end(), offset) == locals.end())
                locals.push_back(offset);
        }
        for (std::size_t i = 0; i < locals.size(); ++i) {
            const std::uint64_t offset = locals[i];
            if (i >= localCount && NoteFor(offset) != nullptr && !SignatureAt(offset, 3, 4))
                continue;
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
            m_result.entries.push_back(ReadLocal(offset));
        }
        PlaceNotes();
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
            m_result.entries.push_back(ReadLocal(pos));
            if (!CheckedStep(pos, Past(pos + 30 + m_lastName, m_lastCompressed), Le16(pos + 28)))
                break;
        }
    }

    CFileHeader ReadLocal(std::uint64_t pos) {
        CFileHeader h;
        Note* note = NoteFor(pos);
        std::memcpy(h.signature.data(), m_file.data() + pos, 4);
        h.versionNeeded = Le16(pos + 4);
        h.flags = Le16(pos + 6);
        h.method = Le16(pos + 8);
        if (note != nullptr && (h.method > 20 && (h.method < 93 || h.method > 99)) &&
            (note->method <= 20 || (note->method >= 93 && note->method <= 99)))
            h.method = note->method;
        h.modTime = Le16(pos + 10);
        h.modDate = Le16(pos + 12);
        h.storedCrc = Le32(pos + 14);
        h.compressedSize = Le32(pos + 18);
        h.uncompressedSize = Le32(pos + 22);
        h.nameLength = Le16(pos + 26);
        if (note != nullptr && note->nameLength != h.nameLength &&
            Stored(pos + 30, note->nameLength) == note->stored)
            h.nameLength = note->nameLength;
        h.extraLength = Le16(pos + 28);
        h.localHeaderOffset = pos;
        m_lastName = h.nameLength;
        const std::string stored = Stored(pos + 30, h.nameLength);
        const std::string extra = Stored(pos + 30 + h.nameLength, h.extraLength);
        h.name = DecodeEntryName(stored, h.flags, extra);
        LookBack(pos);
        const EntrySizes sizes = Sizes(pos, h.nameLength, stored);
        h.storedCrc = sizes.crc;
        h.compressedSize = sizes.size;
        h.uncompressedSize = sizes.usize;
        h.openEnded = sizes.openEnded;
        m_lastCompressed = h.compressedSize;
        if (note != nullptr) {
            note->paired = true;
            h.listed = true;
            if (note->compressedSize == h.compressedSize && note->nameLength == h.nameLength &&
                note->name != h.name)
                h.name = note->name;
        }
        h.name = platform::ToNativeSeparators(h.name);
        if (h.extraLength != 0) {
            h.extraField.Allocate(h.extraLength);
            std::fill(h.extraField.GetBuffer(), h.extraField.GetBuffer() + h.extraLength, 0);
            std::copy(extra.begin(), extra.end(), h.extraField.GetBuffer());
        }
        return h;
    }

    struct EntrySizes {
        std::uint32_t crc;
        std::uint64_t size;
        std::uint64_t usize;
        bool openEnded;
    };

    // The CRC and sizes of the local header at `pos`: its fields and its
    // Zip64 field, or with flag bit 3 its trailing sizes; unknown sizes make
    // it open-ended.
    EntrySizes Sizes(std::uint64_t pos, std::uint16_t nameLength, const std::string& stored) const {
        const std::uint16_t extraLength = Le16(pos + 28);
        EntrySizes s{Le32(pos + 14), Le32(pos + 18), Le32(pos + 22), false};
        std::uint64_t offset = 0;
        const Zip64 z =
            ReadZip64(pos + 30 + nameLength, extraLength, true, s.usize, s.size, offset);
        if (z.unknownSize)
            s.size = s.usize = 0;
        s.openEnded = z.unknownSize;
        if (Le16(pos + 6) & 8)
            s.openEnded = !TrailingSizes(pos, nameLength, extraLength, stored, z.present, s);
        return s;
    }

    struct Zip64 {
        bool present = false;
        bool unknownSize = false;
        bool unknownOffset = false;
    };

    // Values that hold 0xFFFFFFFF taken from the Zip64 field among the
    // `length` extra bytes at `from`, as far as the file and the field go.
    Zip64 ReadZip64(std::uint64_t from, std::uint32_t length, bool local, std::uint64_t& usize,
                    std::uint64_t& size, std::uint64_t& offset) const {
        const std::uint64_t end = std::min<std::uint64_t>(from + length, m_size);
        std::vector<std::uint64_t> values;
        Zip64 z;
        for (std::uint64_t at = from; at + 4 <= end; at += 4 + Le16(at + 2)) {
            if (Le16(at) != 1)
                continue;
            z.present = true;
            const std::uint64_t dataEnd = std::min<std::uint64_t>(at + 4 + Le16(at + 2), end);
            for (std::uint64_t v = at + 4; v + 8 <= dataEnd; v += 8)
                values.push_back(Le64(v));
            break;
        }
        const std::uint64_t marker = 0xFFFFFFFF;
        if (local && values.size() >= 2) {
            usize = usize == marker ? values[0] : usize;
            size = size == marker ? values[1] : size;
            return z;
        }
        std::size_t next = 0;
        for (std::uint64_t* value : {&usize, &size, &offset}) {
            if (*value != marker || (value == &offset && local))
                continue;
            if (next < values.size())
                *value = values[next++];
            else if (value != &offset)
                z.unknownSize = true;
            else
                z.unknownOffset = true;
        }
        return z;
    }

    // A bit-3 entry's CRC and sizes, found the slow way: the first central
    // header for this offset and name, its own descriptor, or a descriptor
    // just before the next header.
    bool TrailingSizes(std::uint64_t pos, std::uint16_t nameLength, std::uint16_t extraLength,
                       const std::string& stored, bool zip64, EntrySizes& s) const {
        if (s.crc == 0 && s.size == 0 && s.usize == 0) {
            for (std::uint64_t c = 0; c + 46 <= m_size; ++c) {
                if (!SignatureAt(c, 1, 2))
                    continue;
                const std::uint16_t length = Le16(c + 28);
                std::uint64_t usize = Le32(c + 24), size = Le32(c + 20), offset = Le32(c + 42);
                const Zip64 z =
                    ReadZip64(c + 46 + length, Le16(c + 30), false, usize, size, offset);
                if (offset != pos || c + 46 + length > m_size ||
                    m_file.compare(c + 46, length, stored) != 0 || z.unknownSize || z.unknownOffset)
                    continue;
                s.crc = Le32(c + 16);
                s.size = size;
                s.usize = usize;
                return true;
            }
        }
        const std::uint64_t dataStart = pos + 30 + nameLength + extraLength;
        if (OwnDescriptor(dataStart, zip64, s))
            return true;
        if (s.size != 0)
            return true;
        std::uint64_t next = dataStart;
        while (next + 4 <= m_size && !SignatureAt(next, 3, 4) && !SignatureAt(next, 1, 2))
            ++next;
        if (next + 4 > m_size)
            return false;
        const std::uint64_t room = next - dataStart;
        if (room >= 16 && SignatureAt(next - 16, 7, 8) && Le32(next - 8) == room - 16) {
            s = {Le32(next - 12), Le32(next - 8), Le32(next - 4), false};
            return true;
        }
        if (zip64 && room >= 20 && Le64(next - 16) == room - 20) {
            s = {Le32(next - 20), Le64(next - 16), Le64(next - 8), false};
            return true;
        }
        if (room < 12 || Le32(next - 8) != room - 12)
            return false;
        s = {Le32(next - 12), Le32(next - 8), Le32(next - 4), false};
        return true;
    }

    bool OwnDescriptor(std::uint64_t dataStart, bool zip64, EntrySizes& s) const {
        for (std::uint64_t d = dataStart; d + 16 <= m_size; ++d) {
            if (!SignatureAt(d, 7, 8))
                continue;
            const bool narrow = Le32(d + 8) == d - dataStart;
            bool wide = d + 24 <= m_size && Le64(d + 8) == d - dataStart;
            if (!narrow && !wide)
                continue;
            if (narrow && wide) {
                const bool narrowEnds = RecordAt(d + 16), wideEnds = RecordAt(d + 24);
                wide = narrowEnds != wideEnds ? wideEnds : zip64;
            }
            s.crc = Le32(d + 4);
            s.size = wide ? Le64(d + 8) : Le32(d + 8);
            s.usize = wide ? Le64(d + 16) : Le32(d + 12);
            return true;
        }
        return false;
    }

    bool RecordAt(std::uint64_t pos) const {
        if (pos == m_size)
            return true;
        for (const char* kind : {"\1\2", "\3\4", "\5\5", "\5\6", "\6\6", "\6\7", "\6\10", "\7\10"})
            if (SignatureAt(pos, kind[0], kind[1]))
                return true;
        return false;
    }

    Note NoteOf(std::uint64_t pos) const {
        const std::uint16_t nameLength = Le16(pos + 28);
        std::uint64_t usize = Le32(pos + 24), size = Le32(pos + 20), offset = Le32(pos + 42);
        ReadZip64(pos + 46 + nameLength, Le16(pos + 30), false, usize, size, offset);
        Note note{size,
                  nameLength,
                  offset,
                  DecodeEntryName(Stored(pos + 46, nameLength), Le16(pos + 8),
                                  Stored(pos + 46 + nameLength, Le16(pos + 30))),
                  Stored(pos + 46, nameLength),
                  pos};
        note.usize = usize;
        note.method = Le16(pos + 10);
        return note;
    }

    // The first note listing `offset`.
    Note* NoteFor(std::uint64_t offset) {
        for (Note& note : m_notes)
            if (note.localHeaderOffset == offset)
                return &note;
        return nullptr;
    }

    bool Listed(std::uint64_t from, std::uint64_t to) const {
        for (const Note& note : m_notes)
            if (note.localHeaderOffset > from && note.localHeaderOffset < to)
                return true;
        return false;
    }

    bool RecordAfter(std::uint64_t end) const {
        for (std::uint64_t d : {0, 12, 16, 20, 24})
            if (end <= m_size && d <= m_size - end && RecordAt(end + d))
                return true;
        return false;
    }

    bool CheckedStep(std::uint64_t& pos, std::uint64_t target, std::uint16_t tail) {
        const bool sound = target <= m_size && !Listed(pos, target) && RecordAfter(target + tail);
        return Step(pos, sound ? target : pos + 1);
    }

    bool CentralStep(std::uint64_t& pos) {
        const std::uint64_t target = pos + 46 + m_lastName;
        return Step(pos, RecordAt(target + Le16(pos + 30) + Le16(pos + 32)) ? target : pos + 1);
    }

    // Notes no entry stands for: an unlisted entry of the same name, or an
    // entry of their own.
    void PlaceNotes() {
        std::vector<std::uint64_t> placed;
        std::vector<std::wstring> taken; // each name pairs once
        for (Note& note : m_notes) {
            if (note.paired ||
                std::find(placed.begin(), placed.end(), note.localHeaderOffset) != placed.end())
                continue;
            placed.push_back(note.localHeaderOffset);
            const std::wstring name = platform::ToNativeSeparators(note.name);
            auto same =
                std::find_if(m_result.entries.begin(), m_result.entries.end(),
                             [&](const CFileHeader& h) { return !h.listed && h.name == name; });
            if (same != m_result.entries.end() &&
                std::find(taken.begin(), taken.end(), name) == taken.end()) {
                same->listed = true;
                taken.push_back(name);
                continue;
            }
            ++m_result.entryCount;
            m_result.entries.push_back(FromNote(note));
        }
    }

    CFileHeader FromNote(const Note& note) const {
        const std::uint64_t c = note.pos, o = note.localHeaderOffset;
        CFileHeader h;
        if (o + 30 <= m_size)
            std::memcpy(h.signature.data(), m_file.data() + o, 4);
        h.versionNeeded = Le16(c + 6);
        h.flags = Le16(c + 8);
        h.method = Le16(c + 10);
        h.modTime = Le16(c + 12);
        h.modDate = Le16(c + 14);
        h.storedCrc = Le32(c + 16);
        h.compressedSize = note.compressedSize;
        h.uncompressedSize = note.usize;
        h.nameLength = note.nameLength;
        h.name = platform::ToNativeSeparators(note.name);
        h.localHeaderOffset = o;
        h.listed = true;
        h.fromDirectory = true;
        const std::uint16_t centralExtra = Le16(c + 30);
        const bool local = o + 30 <= m_size;
        const std::uint16_t localExtra = local ? Le16(o + 28) : 0;
        auto ends = [&](std::uint16_t extra) {
            return RecordAfter(Past(o + 30 + note.nameLength + extra, note.compressedSize));
        };
        h.extraLength = centralExtra;
        if (local && ends(localExtra))
            h.extraLength = localExtra;
        else if (!ends(centralExtra) && local && Le16(o + 26) == note.nameLength)
            h.extraLength = localExtra;
        if (h.extraLength != 0) {
            const std::string bytes = Stored(o + 30 + note.nameLength, h.extraLength);
            h.extraField.Allocate(h.extraLength);
            std::fill(h.extraField.GetBuffer(), h.extraField.GetBuffer() + h.extraLength, 0);
            std::copy(bytes.begin(), bytes.end(), h.extraField.GetBuffer());
        }
        return h;
    }

    static std::uint64_t Past(std::uint64_t dataStart, std::uint64_t size) {
        return size > UINT64_MAX - dataStart ? UINT64_MAX : dataStart + size;
    }

    void LookBack(std::uint64_t pos) {
        if (pos >= 16 && SignatureAt(pos - 16, 7, 8))
            m_result.descriptorSeen = 1;
    }

    bool Step(std::uint64_t& pos, std::uint64_t target) {
        pos = target;
        m_resume = target;
        return target < m_length;
    }

    void Report(std::uint64_t pos, std::uint64_t& next, std::uint64_t value) {
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
    std::uint64_t Le64(std::uint64_t pos) const {
        return Le32(pos) | (std::uint64_t{Le32(pos + 4)} << 32);
    }

    const std::string& m_file;
    std::uint64_t m_size;
    std::uint64_t m_length;
    std::uint64_t m_resume = 0;
    std::uint64_t m_lastCompressed = 0;
    std::uint32_t m_lastName = 0;
    std::vector<Note> m_notes;
    ReferenceResult m_result;
};

} // namespace

ReferenceResult ReferenceScan(const std::string& file, int mode) {
    Walker walker(file);
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
    check("openEnded", e.openEnded, a.openEnded);
    check("listed", e.listed, a.listed);
    check("fromDirectory", e.fromDirectory, a.fromDirectory);
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
