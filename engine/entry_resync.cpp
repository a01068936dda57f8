// Decoding an entry on past damage in its deflated data: the archive's side
// of the resync, which hands the search what the straight decoding left and
// writes what it finds after the bytes already out.
#include "engine/deflate_resync.h"
#include "engine/fast_inflate.h"
#include "engine/zip_archive.h"

#include <limits>

namespace {
// A reading of deflated data up to the end of its stream knows no size.
constexpr std::uint64_t kSizeUnknown = std::numeric_limits<std::uint64_t>::max();
} // namespace

bool CZipArchive::MayResync(const CFileHeader& entry, const ExtractSafeguards* safeguards) const {
    // Encrypted data would have to be deciphered at every bit the search
    // tries; it is left as it is.
    return (safeguards == nullptr || safeguards->resync) && entry.DataMethod() == 8 && m_decoder &&
           !IsEncrypted(entry);
}

std::optional<ResyncOutcome> CZipArchive::WritePastDamage(const DamageSite& site, CFile* file,
                                                          const ExtractSafeguards* safeguards,
                                                          ExtractReport& result,
                                                          const std::function<void()>& found) {
    const ResyncWrite write = [&](const unsigned char* data, std::size_t size) {
        if (file != nullptr)
            file->Write(data, size);
        result.bytesWritten += size;
        m_info.m_crc = Crc32(m_info.m_crc, data, size);
        result.crc = m_info.m_crc;
    };
    std::function<bool()> stop;
    if (safeguards != nullptr)
        stop = [safeguards] { return safeguards->StopRequested(); };
    return SalvagePastDamage(m_storage, m_dataStart, m_dataSize, site, write, found, stop);
}

std::optional<ResyncOutcome> CZipArchive::DecodePastDamage(const CFileHeader& entry, CFile* file,
                                                           const ExtractSafeguards* safeguards,
                                                           ExtractReport& result) {
    if (!MayResync(entry, safeguards))
        return std::nullopt;
    DamageSite site;
    if (!m_decoder->DescribeBlocks(site.recent, site.history))
        return std::nullopt;
    site.failBit = m_info.m_totalIn * 8;
    site.written = result.bytesWritten;
    if (!m_entryOpenEnded && entry.uncompressedSize != kSizeUnknown)
        site.size = entry.uncompressedSize;
    site.exactEnd = !m_entryOpenEnded;
    return WritePastDamage(site, file, safeguards, result, nullptr);
}

std::optional<ResyncOutcome>
CZipArchive::DecodePastSilentDamage(const CFileHeader& entry, CFile* file,
                                    const ExtractSafeguards* safeguards, ExtractReport& result) {
    // Without a size to disagree with, nothing says a block is out of place.
    if (!MayResync(entry, safeguards) || m_entryOpenEnded || entry.uncompressedSize == kSizeUnknown)
        return std::nullopt;
    const std::optional<DamageSite> site =
        LocateSilentDamage(m_storage, m_dataStart, m_dataSize, entry.uncompressedSize);
    if (!site)
        return std::nullopt;
    // What the straight decoding wrote after the damaged block stands at
    // the wrong offsets: it goes, once blocks after the damage are found.
    const auto found = [&] {
        if (file != nullptr) {
            file->SetLength(site->written);
            file->Seek(static_cast<std::int64_t>(site->written), CFile::begin);
        }
        result.bytesWritten = site->written;
        m_info.m_crc = site->writtenCrc;
        result.crc = m_info.m_crc;
    };
    return WritePastDamage(*site, file, safeguards, result, found);
}
