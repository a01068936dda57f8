// The readings of one entry as witnesses. Where the scan's reading of an
// entry does not verify, its central record, its descriptor and what its
// data bears out are tried in turn, and the first whose bytes match their
// CRC-32 is what is saved: an entry is cut to a declared size only when no
// reading verifies.
#include "engine/debris.h"
#include "engine/scan_window.h"
#include "engine/zip_archive.h"
#include "engine/zip_exception.h"
#include "platform/text.h"

#include <exception>
#include <limits>
#include <optional>

namespace {

bool SameReading(const CFileHeader& a, const CFileHeader& b) {
    return a.storedCrc == b.storedCrc && a.compressedSize == b.compressedSize &&
           a.uncompressedSize == b.uncompressedSize && a.method == b.method && a.flags == b.flags &&
           a.openEnded == b.openEnded;
}

bool HoldsNothing(const CFileHeader& reading) {
    return !reading.openEnded && reading.storedCrc == 0 && reading.compressedSize == 0 &&
           reading.uncompressedSize == 0;
}

// No other reading changes the outcome: it verified, is no file, or the
// password is wrong.
bool Settled(const ExtractReport& report) {
    return report.verdict == Verdict::verified || report.verdict == Verdict::folder ||
           report.IsDebris() || report.wrongPassword;
}

} // namespace

bool CZipArchive::EmptyContradicted(const CFileHeader& entry) {
    if (!HoldsNothing(entry) || entry.fromDirectory)
        return false;
    CScanWindow window(m_storage, m_storage.GetLength());
    if (!window.RecordFollows(entry.localHeaderOffset + kLocalHeaderSize + entry.nameLength +
                              entry.extraLength))
        return true;
    if (!entry.listed)
        return false;
    for (const CentralSizeIndex::Item& item :
         m_centralSizes.ItemsAt(window, entry.localHeaderOffset))
        if (item.values.crc != 0 || item.values.compressedSize != 0 ||
            item.values.uncompressedSize != 0)
            return true;
    return false;
}

std::vector<CFileHeader> CZipArchive::OtherReadings(const CFileHeader& entry,
                                                    bool emptyContradicted) {
    std::vector<CFileHeader> readings;
    auto add = [&](const CFileHeader& reading) {
        if (HoldsNothing(reading) || SameReading(reading, entry))
            return;
        for (const CFileHeader& known : readings)
            if (SameReading(known, reading))
                return;
        readings.push_back(reading);
    };
    CScanWindow window(m_storage, m_storage.GetLength());
    for (const CentralSizeIndex::Item& item :
         m_centralSizes.ItemsAt(window, entry.localHeaderOffset)) {
        CFileHeader reading = entry;
        reading.storedCrc = item.values.crc;
        reading.compressedSize = item.values.compressedSize;
        reading.uncompressedSize = item.values.uncompressedSize;
        reading.method = item.method;
        reading.flags = item.flags;
        reading.openEnded = false;
        add(reading);
    }
    if (!entry.fromDirectory) {
        const std::uint64_t dataStart =
            entry.localHeaderOffset + kLocalHeaderSize + entry.nameLength + entry.extraLength;
        Zip64Values values;
        const bool zip64 =
            ApplyZip64Field(reinterpret_cast<const unsigned char*>(entry.extraField.GetBuffer()),
                            entry.extraField.GetSize(), true, values)
                .present;
        DataDescriptor found;
        if (m_descriptors.Find(window, dataStart, zip64, found)) {
            CFileHeader reading = entry;
            reading.storedCrc = found.crc;
            reading.compressedSize = found.compressedSize;
            reading.uncompressedSize = found.uncompressedSize;
            reading.openEnded = false;
            add(reading);
        }
    }
    // Sizes the data itself may bear out: stored data as long as it is,
    // deflated data up to the end of its stream.
    const std::size_t declared = readings.size();
    auto fromData = [&](CFileHeader reading) {
        if (reading.openEnded || IsEncrypted(reading))
            return;
        if (reading.DataMethod() == 0)
            reading.uncompressedSize = reading.compressedSize;
        else if (reading.DataMethod() == 8)
            reading.uncompressedSize = std::numeric_limits<std::uint64_t>::max();
        else
            return;
        add(reading);
    };
    fromData(entry);
    for (std::size_t i = 0; i < declared; ++i)
        fromData(readings[i]);
    if (emptyContradicted) {
        CFileHeader reading = entry;
        reading.openEnded = true;
        add(reading);
    }
    return readings;
}

bool CZipArchive::SalvageEntry(std::size_t index, const std::wstring* folder,
                               std::uint32_t chunkSize, ExtractReport& result,
                               const ExtractSafeguards* safeguards) {
    CFileHeader entry;
    FetchEntryInfo(entry, index);
    const bool folderEntry = !entry.name.empty() && entry.name.back() == platform::kNativeSeparator;
    const bool contradicted =
        chunkSize != 0 && !folderEntry && !IsDebris(entry) && EmptyContradicted(entry);
    // Decodes a reading without writing: true when its bytes verify.
    auto verifies = [&](const CFileHeader& reading, ExtractReport& test) {
        try {
            SalvageReading(index, reading, nullptr, chunkSize, test, nullptr);
        } catch (const CException&) {
            return false;
        }
        return test.verdict == Verdict::verified;
    };
    auto take = [&](const CFileHeader& reading, ExtractReport& test) {
        if (folder == nullptr) {
            result = std::move(test);
            return true;
        }
        return SalvageReading(index, reading, folder, chunkSize, result, safeguards);
    };

    if (IsDebris(entry) || (!entry.fromDirectory && !contradicted)) {
        // Where the readings agree this is all there is to it.
        bool written = false;
        std::exception_ptr failure;
        try {
            written = SalvageReading(index, entry, folder, chunkSize, result, safeguards);
        } catch (const CException&) {
            failure = std::current_exception();
        }
        if (!failure && (Settled(result) || (safeguards != nullptr && safeguards->StopRequested())))
            return written;
        for (const CFileHeader& reading : OtherReadings(entry, false)) {
            ExtractReport test;
            if (verifies(reading, test))
                return take(reading, test);
        }
        if (failure)
            std::rethrow_exception(failure);
        return written;
    }

    // Nothing is written before a reading is known to hold something: the
    // directory's reading of an entry whose local header is gone, or a
    // header that says empty where something says otherwise.
    std::vector<CFileHeader> readings = OtherReadings(entry, contradicted);
    if (entry.fromDirectory)
        readings.insert(readings.begin(), entry);
    std::optional<std::size_t> fallback;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        ExtractReport test;
        if (verifies(readings[i], test))
            return take(readings[i], test);
        if (!fallback && test.bytesWritten > 0)
            fallback = i;
    }
    if (fallback)
        return SalvageReading(index, readings[*fallback], folder, chunkSize, result, safeguards);
    if (!entry.fromDirectory)
        return SalvageReading(index, entry, folder, chunkSize, result, safeguards);
    result = ExtractReport();
    result.name = entry.name;
    result.listed = true;
    result.outcome = ExtractReport::failed;
    result.verdict = Verdict::notSaved;
    result.reason = "the directory lists it but its data could not be read";
    return false;
}
