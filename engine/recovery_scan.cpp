// The recovery scan: walks the file as if reading four bytes at every offset,
// takes every local header met as an entry and steps over its data by the
// size it claims where that step is sound. Central headers are a second
// opinion on the local header at their offset, and the whole entry where
// that header is gone.
#include "engine/debris.h"
#include "engine/entry_name.h"
#include "engine/extra_times.h"
#include "engine/scan_state.h"
#include "engine/scan_window.h"
#include "engine/zip64_field.h"
#include "engine/zip_archive.h"
#include "engine/zip_exception.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace {

// A pass reports when its position reaches the next report position, which
// then moves 100 past it. The passes jump from signature to signature, so
// this replays the reports that a byte-by-byte walk would have made.
class ReportClock {
public:
    explicit ReportClock(const CScanObserver* observer) : m_active(observer != nullptr) {}

    // Positions first..last (inclusive) were all visited.
    template <typename Report> void Visit(std::uint64_t first, std::uint64_t last, Report report) {
        if (!m_active)
            return;
        for (std::uint64_t p = std::max(m_next, first); p <= last; p = m_next) {
            report(p);
            m_next = p + 100;
        }
    }

private:
    bool m_active;
    std::uint64_t m_next = 0;
};

// Central passes stop where fewer than 50 bytes are left.
std::uint64_t CentralLimit(std::uint64_t length) {
    return length >= 50 ? length - 49 : 0;
}

void ReadWhole(CScanWindow& window, std::uint64_t offset, unsigned char* buffer, std::size_t count,
               const std::wstring& path) {
    const std::size_t read = window.ReadAt(offset, buffer, count);
    if (read != 0 && read != count)
        ThrowZipError(CZipException::codeBadZipFile, path);
    std::fill(buffer + read, buffer + count, 0);
}

// The fields a local header and a central record share, as an entry takes
// them from either.
template <class Record> void TakeSharedFields(const Record& record, CFileHeader& entry) {
    entry.versionNeeded = record.versionNeeded;
    entry.flags = record.flags;
    entry.method = record.method;
    entry.modTime = record.modTime;
    entry.modDate = record.modDate;
    entry.storedCrc = record.crc;
    entry.compressedSize = record.compressedSize;
    entry.uncompressedSize = record.uncompressedSize;
    entry.nameLength = record.nameLength;
}

// Up to `length` bytes; fewer where the file ends.
std::string ReadStored(CScanWindow& window, std::uint64_t offset, std::uint16_t length) {
    std::string bytes(length, '\0');
    bytes.resize(window.ReadAt(offset, bytes.data(), length));
    return bytes;
}

// Keeps what the central header `central` says that no local header holds.
void NoteCentralAttributes(ScanState& scan, const CentralHeaderRecord& central,
                           std::uint64_t localHeaderOffset, std::string storedName,
                           std::string_view extra) {
    scan.centralAttributes.emplace(
        localHeaderOffset, CentralAttributes{std::move(storedName), central.externalAttributes,
                                             central.versionMadeBy, ExtraModifiedTime(extra)});
}

// The attributes and time that the directory gives the local header read
// into `header`: from the central header that points at it under the same
// stored name, else under a name of the same length (damaged in one of
// them); the time only when it agrees with the local DOS time.
void TakeCentralAttributes(const ScanState& scan, CFileHeader& header,
                           std::string_view storedName) {
    const auto [first, last] = scan.centralAttributes.equal_range(header.localHeaderOffset);
    const CentralAttributes* found = nullptr;
    for (auto it = first; it != last; ++it) {
        if (it->second.storedName == storedName) {
            found = &it->second;
            break;
        }
        if (found == nullptr && it->second.storedName.size() == storedName.size())
            found = &it->second;
    }
    if (found == nullptr)
        return;
    header.externalAttributes = found->externalAttributes;
    header.versionMadeBy = found->versionMadeBy;
    if (!header.exactModifiedTime && found->modified &&
        AgreesWithDosTime(*found->modified, header.modDate, header.modTime))
        header.exactModifiedTime = found->modified;
}

} // namespace

std::uint64_t CZipArchive::PastHeader(std::uint64_t headerOffset, std::uint32_t headerSize,
                                      std::uint32_t nameLength, std::uint64_t dataSize) {
    // A Zip64 size can be anything: the sum saturates instead of wrapping the
    // walk backwards.
    const std::uint64_t dataStart = headerOffset + headerSize + nameLength;
    return dataSize > UINT64_MAX - dataStart ? UINT64_MAX : dataStart + dataSize;
}

bool CZipArchive::StepOver(std::uint64_t& pos, std::uint64_t target, std::uint64_t length) {
    pos = target;
    m_scan.resumeOffset = target;
    return target < length;
}

bool CZipArchive::StepChecked(CScanWindow& window, std::uint64_t& pos, std::uint64_t headerOffset,
                              std::uint64_t target) {
    // A step by a damaged size would jump over whole entries: it is taken
    // only when it stays in the file, passes no local header the directory
    // lists, and ends where a record begins (the tail it leaves to the walk,
    // and a descriptor, come first). Otherwise the walk goes on byte by byte.
    const std::uint64_t length = window.FileLength();
    if (target < length)
        window.Cover(target,
                     m_scan.lastTailLength + 2 * kSignatureSize + kWideDescriptorFieldsSize);
    const bool sound = target <= length && !ListsOffsetWithin(headerOffset, target) &&
                       window.RecordFollows(target + m_scan.lastTailLength);
    return StepOver(pos, sound ? target : headerOffset + 1, length);
}

bool CZipArchive::ListsOffsetWithin(std::uint64_t from, std::uint64_t to) const {
    const auto& listed = m_scan.listedOffsets;
    const auto it = std::upper_bound(listed.begin(), listed.end(), std::make_pair(from, SIZE_MAX));
    return it != listed.end() && it->first < to;
}

CentralRecord* CZipArchive::NoteAt(std::uint64_t localHeaderOffset) {
    const auto& listed = m_scan.listedOffsets;
    // The walk asks in ascending order: the search starts where the last
    // one ended, unless it is already past.
    std::size_t& next = m_scan.nextListed;
    if (next > listed.size() || (next > 0 && listed[next - 1].first >= localHeaderOffset))
        next = static_cast<std::size_t>(
            std::lower_bound(listed.begin(), listed.end(),
                             std::make_pair(localHeaderOffset, std::size_t{0})) -
            listed.begin());
    while (next < listed.size() && listed[next].first < localHeaderOffset)
        ++next;
    if (next == listed.size() || listed[next].first != localHeaderOffset)
        return nullptr;
    return &m_scan.centralNotes[listed[next].second];
}

void CZipArchive::IndexCentralNotes() {
    auto& listed = m_scan.listedOffsets;
    listed.clear();
    for (std::size_t i = 0; i < m_scan.centralNotes.size(); ++i)
        listed.emplace_back(m_scan.centralNotes[i].localHeaderOffset, i);
    std::sort(listed.begin(), listed.end());
    m_scan.nextListed = 0;
}

void CZipArchive::LookBackForDescriptor(CScanWindow& window, std::uint64_t headerOffset) {
    if (headerOffset < kDescriptorSize)
        return;
    unsigned char raw[kDescriptorSize];
    ReadWhole(window, headerOffset - kDescriptorSize, raw, sizeof raw, m_storage.GetPath());
    // Only noted: the values belong to whichever entry the descriptor ends.
    if (std::equal(kDataDescriptorSignature.begin(), kDataDescriptorSignature.end(), raw))
        m_centralDir.m_descriptorSeen = true;
}

CZipArchive::LocalSizes CZipArchive::ResolveLocalSizes(CScanWindow& window,
                                                       std::uint64_t headerOffset,
                                                       const LocalHeaderRecord& header,
                                                       std::string_view storedName,
                                                       std::string_view extra) {
    Zip64Values values{header.uncompressedSize, header.compressedSize, 0};
    const Zip64Result zip64 = ApplyZip64Field(reinterpret_cast<const unsigned char*>(extra.data()),
                                              extra.size(), true, values);
    if (zip64.sizeUnknown) {
        // Sizes the header sends to a Zip64 field that does not give them:
        // unknown, so the data is read up to the next header.
        values.compressedSize = 0;
        values.uncompressedSize = 0;
    }
    DataDescriptor found{header.crc, values.compressedSize, values.uncompressedSize};
    bool openEnded = zip64.sizeUnknown;
    if ((header.flags & kFlagDataDescriptor) != 0)
        openEnded = !TakeTrailingSizes(window, headerOffset, storedName, header.nameLength,
                                       header.extraLength, zip64.present, found);
    return {found.crc, found.compressedSize, found.uncompressedSize, openEnded};
}

std::uint64_t CZipArchive::OpenEndedDataEnd(CScanWindow& window, std::uint64_t dataStart) {
    const std::uint64_t length = window.FileLength();
    const std::uint64_t local = window.Find(dataStart, length, kLocalHeaderSignature);
    return window.Find(dataStart, local, kCentralHeaderSignature);
}

bool CZipArchive::TakeTrailingSizes(CScanWindow& window, std::uint64_t headerOffset,
                                    std::string_view storedName, std::uint16_t nameLength,
                                    std::uint16_t extraLength, bool zip64, DataDescriptor& sizes) {
    const std::uint64_t dataStart = headerOffset + kLocalHeaderSize + nameLength + extraLength;
    DataDescriptor found;
    // The directory's record is only asked when the header holds nothing:
    // sizes of its own, however wrong, are what the header claims.
    if (sizes.crc == 0 && sizes.compressedSize == 0 && sizes.uncompressedSize == 0 &&
        m_centralSizes.Find(window, headerOffset, storedName, found)) {
        sizes = found;
        return true;
    }
    if (m_descriptors.Find(window, dataStart, zip64, found)) {
        sizes = found;
        return true;
    }
    if (sizes.compressedSize != 0)
        return true;
    // Data that runs to the next header may end with its descriptor, signed
    // (16 bytes) or unsigned (12 bytes, older writers; 20 with Zip64 sizes):
    // either way its compressed size equals the data's length.
    const std::uint64_t next = OpenEndedDataEnd(window, dataStart);
    if (next >= window.FileLength() || next - dataStart < kDescriptorFieldsSize)
        return false;
    const std::uint64_t room = next - dataStart;
    // Each form is taken only when its compressed size spans the data before it.
    auto take = [&](std::uint64_t size, std::size_t skip, bool wide) {
        unsigned char raw[kWideDescriptorFieldsSize] = {};
        if (room < size || window.ReadAt(next - size, raw, size) != size)
            return false;
        if (skip != 0 &&
            !std::equal(kDataDescriptorSignature.begin(), kDataDescriptorSignature.end(), raw))
            return false;
        const DataDescriptor read = ParseDescriptor(raw + skip, wide);
        if (read.compressedSize != room - size)
            return false;
        sizes = read;
        return true;
    };
    return take(kDescriptorSize, kSignatureSize, false) ||
           (zip64 && take(kWideDescriptorFieldsSize, 0, true)) ||
           take(kDescriptorFieldsSize, 0, false);
}

void CZipArchive::ReadQuickLocal(CScanWindow& window, CFileHeader& header) {
    const std::wstring& path = m_storage.GetPath();
    unsigned char raw[kLocalHeaderSize];
    ReadWhole(window, m_scan.headerOffset, raw, sizeof raw, path);
    LocalHeaderRecord local = ParseLocalHeader(raw);
    m_scan.lastTailLength = local.extraLength;
    CentralRecord* note = NoteAt(m_scan.headerOffset);
    if (note != nullptr) {
        // Fields the directory contradicts where the local bytes side with
        // it: a name length whose name is the directory's, and a method no
        // writer uses.
        if (note->nameLength != local.nameLength &&
            ReadStored(window, m_scan.headerOffset + kLocalHeaderSize, note->nameLength) ==
                note->storedName)
            local.nameLength = note->nameLength;
        if (!IsDefinedMethod(local.method) && IsDefinedMethod(note->method))
            local.method = note->method;
    }
    std::copy(raw, raw + kSignatureSize, header.signature.begin());
    TakeSharedFields(local, header);
    header.extraLength = local.extraLength;
    header.localHeaderOffset = m_scan.headerOffset;

    m_scan.lastNameLength = header.nameLength;
    const std::uint64_t nameOffset = m_scan.headerOffset + kLocalHeaderSize;
    const std::string stored = ReadStored(window, nameOffset, header.nameLength);
    std::string_view extra;
    if (header.extraLength != 0) {
        header.extraField.Allocate(header.extraLength);
        char* buffer = header.extraField.GetBuffer();
        const std::size_t read =
            window.ReadAt(nameOffset + header.nameLength, buffer, header.extraLength);
        std::fill(buffer + read, buffer + header.extraLength, 0);
        extra = std::string_view(buffer, read);
    }
    header.name = DecodeEntryName(stored, header.flags, extra);
    if (const std::optional<std::int64_t> moment = ExtraModifiedTime(extra);
        moment && AgreesWithDosTime(*moment, header.modDate, header.modTime))
        header.exactModifiedTime = moment;
    TakeCentralAttributes(m_scan, header, stored);
    LookBackForDescriptor(window, m_scan.headerOffset);
    const LocalSizes sizes = ResolveLocalSizes(window, m_scan.headerOffset, local, stored, extra);
    header.storedCrc = sizes.crc;
    header.compressedSize = sizes.compressedSize;
    header.uncompressedSize = sizes.uncompressedSize;
    header.openEnded = sizes.openEnded;
    m_scan.lastCompressedSize = header.compressedSize;

    if (note != nullptr) {
        note->paired = true;
        header.listed = true;
        if (note->compressedSize == header.compressedSize &&
            note->nameLength == header.nameLength && note->name != header.name)
            header.name = note->name;
    }
}

void CZipArchive::AppendQuickLocal(CScanWindow& window) {
    CFileHeader read;
    try {
        ReadQuickLocal(window, read);
    } catch (...) {
        // Found, so it stays in the table, empty.
        m_centralDir.Entries().Append(CFileHeader());
        throw;
    }
    m_centralDir.Entries().Append(read);
}

void CZipArchive::ScanLocalHeaders(CScanWindow& window, bool matching) {
    if (matching)
        m_scan.resumeOffset = 0;
    const std::uint64_t length = window.FileLength();
    WalkLocalHeaders(
        window, [this, length](std::uint64_t) { Report(m_scan.resumeOffset, length); },
        [this, &window] { AppendQuickLocal(window); });
}

void CZipArchive::WalkLocalHeaders(CScanWindow& window,
                                   const std::function<void(std::uint64_t)>& report,
                                   const std::function<void()>& read) {
    const std::uint64_t length = window.FileLength();
    ReportClock clock(m_scanObserver);
    std::uint64_t pos = 0;
    while (pos < length) {
        const std::uint64_t hit = window.Find(pos, length, kLocalHeaderSignature);
        clock.Visit(pos, std::min<std::uint64_t>(hit, length - 1), report);
        if (hit >= length)
            break;
        if (length - hit < kLocalHeaderSize) {
            // The file ends inside the fixed part: not an entry.
            pos = hit + 1;
            continue;
        }
        m_scan.headerOffset = hit;
        read();
        if (!StepChecked(window, pos, hit,
                         PastHeader(hit, kLocalHeaderSize, m_scan.lastNameLength,
                                    m_scan.lastCompressedSize)))
            break;
    }
}

bool CZipArchive::ReadQuickCentral(CScanWindow& window) {
    unsigned char raw[kCentralHeaderSize];
    ReadWhole(window, m_scan.headerOffset, raw, sizeof raw, m_storage.GetPath());
    const CentralHeaderRecord central = ParseCentralHeader(raw);
    m_scan.lastTailLength = central.extraLength + central.commentLength;
    m_scan.lastNameLength = central.nameLength;
    m_scan.centralNotes.push_back(ReadCentralNote(window, central));
    LookBackForDescriptor(window, m_scan.headerOffset);
    return true;
}

CentralRecord CZipArchive::ReadCentralNote(CScanWindow& window,
                                           const CentralHeaderRecord& central) {
    CentralRecord note;
    note.nameLength = central.nameLength;
    // The flags and the extra field tell how the name is encoded; the
    // extra field also holds the Zip64 values.
    const std::uint64_t nameOffset = m_scan.headerOffset + kCentralHeaderSize;
    note.storedName = ReadStored(window, nameOffset, note.nameLength);
    const std::string extra = ReadStored(window, nameOffset + note.nameLength, central.extraLength);
    note.name = DecodeEntryName(note.storedName, central.flags, extra);
    const Zip64Values values = CentralHeaderValues(central, extra);
    note.compressedSize = values.compressedSize;
    note.uncompressedSize = values.uncompressedSize;
    note.localHeaderOffset = values.localHeaderOffset;
    note.crc = central.crc;
    note.versionNeeded = central.versionNeeded;
    note.flags = central.flags;
    note.method = central.method;
    note.modTime = central.modTime;
    note.modDate = central.modDate;
    note.extraLength = central.extraLength;
    NoteCentralAttributes(m_scan, central, values.localHeaderOffset, note.storedName, extra);
    return note;
}

void CZipArchive::CentralPass(CScanWindow& window, bool advanced) {
    ReportClock clock(m_scanObserver);
    const std::uint64_t length = window.FileLength();
    const std::uint64_t limit = CentralLimit(length);
    std::uint64_t pos = m_scan.resumeOffset;
    while (pos < limit) {
        const std::uint64_t hit = window.Find(pos, limit, kCentralHeaderSignature);
        if (advanced)
            clock.Visit(pos, std::min<std::uint64_t>(hit, limit - 1),
                        [this, length](std::uint64_t p) { Report(p, length); });
        if (hit >= limit)
            break;
        m_scan.headerOffset = hit;
        if (advanced)
            ReadAdvancedCentral(window);
        else
            ReadQuickCentral(window);
        // A damaged name length would jump over the next central headers.
        const std::uint64_t target = hit + kCentralHeaderSize + m_scan.lastNameLength;
        const bool sound = window.RecordBeginsAt(target + m_scan.lastTailLength);
        if (!StepOver(pos, sound ? target : hit + 1, length))
            break;
    }
    IndexCentralNotes();
}

void CZipArchive::QuickScan(CScanWindow& window) {
    // The first local pass only finds where the local entries end.
    ScanLocalHeaders(window, false);
    m_centralDir.ClearEntries();
    CentralPass(window, false);
    ScanLocalHeaders(window, true);
    PlaceUnpairedNotes(window);
    m_scan.centralNotes.clear();
    m_scan.listedOffsets.clear();
}

void CZipArchive::ReadAdvancedLocal(CScanWindow& window) {
    unsigned char raw[kLocalHeaderSize];
    ReadWhole(window, m_scan.headerOffset, raw, sizeof raw, m_storage.GetPath());
    const LocalHeaderRecord local = ParseLocalHeader(raw);
    m_scan.lastNameLength = local.nameLength;
    m_scan.lastTailLength = local.extraLength;
    const std::string extra = ReadStored(
        window, m_scan.headerOffset + kLocalHeaderSize + local.nameLength, local.extraLength);
    LookBackForDescriptor(window, m_scan.headerOffset);
    // The name is wanted only to pair the entry with its directory record.
    const std::string stored = (local.flags & kFlagDataDescriptor) != 0
                                   ? ReadStored(window, m_scan.headerOffset + kLocalHeaderSize,
                                                static_cast<std::uint16_t>(m_scan.lastNameLength))
                                   : std::string();
    m_scan.lastCompressedSize =
        ResolveLocalSizes(window, m_scan.headerOffset, local, stored, extra).compressedSize;
    m_scan.localOffsets.push_back(m_scan.headerOffset);
}

void CZipArchive::ReadAdvancedCentral(CScanWindow& window) {
    unsigned char raw[kCentralHeaderSize];
    ReadWhole(window, m_scan.headerOffset, raw, sizeof raw, m_storage.GetPath());
    const CentralHeaderRecord central = ParseCentralHeader(raw);
    m_scan.lastNameLength = central.nameLength;
    m_scan.lastTailLength = central.extraLength + central.commentLength;
    CentralRecord note = ReadCentralNote(window, central);
    m_scan.centralOffsets.push_back(note.localHeaderOffset);
    m_scan.centralNotes.push_back(std::move(note));
}

void CZipArchive::AdvancedScan(CScanWindow& window) {
    const std::uint64_t length = window.FileLength();

    // Local offset pass.
    WalkLocalHeaders(
        window, [this, length](std::uint64_t p) { Report(p, length); },
        [this, &window] { ReadAdvancedLocal(window); });

    // Central offset pass, from where the local entries end.
    CentralPass(window, true);

    // Local finds first, in file order, then offsets only the directory knew,
    // each once. The local offsets ascend (the pass only moves forward), so
    // they are searched where they lie rather than copied into a set.
    const std::size_t localCount = m_scan.localOffsets.size();
    std::unordered_set<std::uint64_t> centralOnly;
    for (std::uint64_t offset : m_scan.centralOffsets) {
        const auto locals = m_scan.localOffsets.begin();
        if (!std::binary_search(locals, locals + static_cast<std::ptrdiff_t>(localCount), offset) &&
            centralOnly.insert(offset).second)
            m_scan.localOffsets.push_back(offset);
    }
    m_scan.centralOffsets.clear();

    for (std::size_t i = 0; i < m_scan.localOffsets.size(); ++i) {
        const std::uint64_t offset = m_scan.localOffsets[i];
        // Where the directory's offset holds no local header, its record is
        // the entry (made once every local header is read).
        if (i >= localCount && NoteAt(offset) != nullptr && !LocalHeaderAt(window, offset))
            continue;
        if (offset >= length) {
            // Nothing there to read: counted, never listed or extracted.
            CFileHeader nothing;
            nothing.ClearAll();
            m_centralDir.Entries().Append(nothing);
            continue;
        }
        if (length - offset < kLocalHeaderSize)
            continue;
        m_scan.headerOffset = offset;
        AppendQuickLocal(window);
    }
    m_scan.localOffsets.clear();
    PlaceUnpairedNotes(window);
    m_scan.centralNotes.clear();
    m_scan.listedOffsets.clear();
}

bool CZipArchive::LocalHeaderAt(CScanWindow& window, std::uint64_t offset) {
    unsigned char raw[kSignatureSize];
    return window.ReadAt(offset, raw, sizeof raw) == sizeof raw &&
           std::equal(kLocalHeaderSignature.begin(), kLocalHeaderSignature.end(), raw);
}

void CZipArchive::PlaceUnpairedNotes(CScanWindow& window) {
    // Entries the walk found that no record lists, by name: a record whose
    // offset field is damaged still names its entry.
    std::unordered_map<std::wstring, std::size_t> unlisted;
    bool indexed = false;
    CEntryTable& table = m_centralDir.Entries();
    std::unordered_set<std::uint64_t> placed;
    for (CentralRecord& note : m_scan.centralNotes) {
        if (note.paired || !placed.insert(note.localHeaderOffset).second)
            continue;
        if (!indexed) {
            indexed = true;
            for (std::size_t i = 0; i < table.GetCount(); ++i)
                if (!table.IsListed(i))
                    unlisted.emplace(table.GetName(i), i);
        }
        if (const auto it = unlisted.find(note.name); it != unlisted.end()) {
            table.MarkListed(it->second);
            unlisted.erase(it);
            continue;
        }
        table.Append(DirectoryEntry(window, note));
    }
}

CFileHeader CZipArchive::DirectoryEntry(CScanWindow& window, const CentralRecord& note) {
    CFileHeader entry;
    const std::uint64_t offset = note.localHeaderOffset;
    unsigned char raw[kLocalHeaderSize] = {};
    const bool local = window.ReadAt(offset, raw, sizeof raw) == sizeof raw;
    if (!local)
        std::fill(raw, raw + sizeof raw, 0);
    std::copy(raw, raw + kSignatureSize, entry.signature.begin());
    TakeSharedFields(note, entry);
    entry.name = note.name;
    entry.localHeaderOffset = offset;
    entry.listed = true;
    entry.fromDirectory = true;
    TakeCentralAttributes(m_scan, entry, note.storedName);
    // The local extra field may differ from the directory's: the length
    // after which the data ends where a record begins is the one taken.
    const LocalHeaderRecord fields = ParseLocalHeader(raw);
    const std::uint64_t dataStart = offset + kLocalHeaderSize + note.nameLength;
    auto endsOnRecord = [&](std::uint16_t extra) {
        return window.RecordFollows(
            PastHeader(offset, kLocalHeaderSize, note.nameLength + extra, note.compressedSize));
    };
    const bool localFits = local && fields.nameLength == note.nameLength;
    entry.extraLength = note.extraLength;
    if (local && endsOnRecord(fields.extraLength))
        entry.extraLength = fields.extraLength;
    else if (!endsOnRecord(note.extraLength) && localFits)
        entry.extraLength = fields.extraLength;
    if (entry.extraLength != 0) {
        entry.extraField.Allocate(entry.extraLength);
        char* buffer = entry.extraField.GetBuffer();
        std::fill(buffer + window.ReadAt(dataStart, buffer, entry.extraLength),
                  buffer + entry.extraLength, 0);
    }
    return entry;
}
