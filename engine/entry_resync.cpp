// Decoding an entry on past damage in its deflated, bzip2, Zstandard or xz
// data: the archive's side of the resync, which hands the search what the straight decoding left
// and writes what it finds after the bytes already out.
#include "engine/bzip2_resync.h"
#include "engine/deflate_resync.h"
#include "engine/fast_inflate.h"
#include "engine/frame_resync.h"
#include "engine/zip_archive.h"

#include <limits>

namespace {

constexpr std::uint16_t kBzip2 = 12;

// Methods whose frames begin with a magic number: Zstandard (both numbers)
// and xz.
bool FramedMethod(std::uint16_t method) {
    return method == 20 || method == 93 || method == 95;
}

} // namespace

bool CZipArchive::MayResync(const CFileHeader& entry, const ExtractSafeguards* safeguards) const {
    // Encrypted data would have to be deciphered at every bit the search
    // tries; it is left as it is.
    const std::uint16_t method = entry.DataMethod();
    return (safeguards == nullptr || safeguards->resync) &&
           (method == 8 || method == kBzip2 || FramedMethod(method)) && m_decoder &&
           !IsEncrypted(entry);
}

std::optional<std::uint64_t> CZipArchive::KnownSize(const CFileHeader& entry) const {
    // A reading of data up to its stream's end has the largest size: no
    // size at all, which a stretch past damage must not be placed against.
    if (m_entryOpenEnded || entry.uncompressedSize == std::numeric_limits<std::uint64_t>::max())
        return std::nullopt;
    return entry.uncompressedSize;
}

void CZipArchive::RewindOutput(CFile* file, ExtractReport& result, std::uint64_t length,
                               std::uint32_t crc) {
    if (file != nullptr) {
        file->SetLength(length);
        file->Seek(static_cast<std::int64_t>(length), CFile::begin);
    }
    result.bytesWritten = length;
    m_info.m_crc = crc;
    result.crc = crc;
}

std::optional<ResyncOutcome> CZipArchive::WritePastDamage(const CFileHeader& entry,
                                                          const DamageSite& site, CFile* file,
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
#ifdef KVZIP_HAVE_BZIP2
    if (entry.DataMethod() == kBzip2)
        return SalvageBzip2PastDamage(m_storage, m_dataStart, m_dataSize, site, write, found, stop);
#endif
    if (FramedMethod(entry.DataMethod()))
        return SalvageFramesPastDamage(m_storage, m_dataStart, m_dataSize, entry.DataMethod(), site,
                                       write, stop);
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
    site.size = KnownSize(entry);
    site.exactEnd = !m_entryOpenEnded;
    std::function<void()> found;
    if (entry.DataMethod() == kBzip2 && !site.recent.empty()) {
        // A bzip2 block that fails does so at its CRC, once all it gave is
        // out: those bytes are wrong somewhere, and go once sound blocks
        // after it are found. The lost stretch begins where it began.
        const BlockStart damaged = site.recent.back();
        site.written = std::min(site.written, damaged.out);
        found = [this, file, &result, damaged] {
            RewindOutput(file, result, damaged.out, damaged.crc);
        };
    }
    return WritePastDamage(entry, site, file, safeguards, result, found);
}

std::optional<ResyncOutcome>
CZipArchive::DecodePastSilentDamage(const CFileHeader& entry, CFile* file,
                                    const ExtractSafeguards* safeguards, ExtractReport& result) {
    // A bzip2 block that decodes to the wrong bytes fails its own CRC: only
    // deflated data decodes "validly" past damage.
    const std::optional<std::uint64_t> size = KnownSize(entry);
    if (!MayResync(entry, safeguards) || entry.DataMethod() != 8 || !size)
        return std::nullopt;
    const std::optional<DamageSite> site =
        LocateSilentDamage(m_storage, m_dataStart, m_dataSize, *size);
    if (!site)
        return std::nullopt;
    // What the straight decoding wrote after the damaged block stands at
    // the wrong offsets: it goes, once blocks after the damage are found.
    const auto found = [&] { RewindOutput(file, result, site->written, site->writtenCrc); };
    return WritePastDamage(entry, *site, file, safeguards, result, found);
}
