// Reading one entry's data: stored bytes are copied, compressed bytes go
// through the decoder of their method. Nothing is verified; a bad stream
// ends the entry early. Sound deflated entries of known size take the fast
// decoder; all else, and whatever it turns down, takes the streaming one
// (from the entry's start when a large entry turns out unsound only after
// some of it was handed out).
#include "engine/entry_decoder.h"
#include "engine/fast_inflate.h"
#include "engine/file_stamp.h"
#include "engine/scan_window.h"
#include "engine/zip_archive.h"
#include "engine/zip_exception.h"

#include <algorithm>
#include <cstring>
#include <limits>

bool CZipArchive::BeginEntryRead(std::size_t index) {
    if (index >= m_centralDir.GetCount() || m_readState != readNone)
        return false;
    m_info.AllocateBuffer();
    if (m_reading != nullptr)
        m_centralDir.PositionAt(*m_reading);
    else
        m_centralDir.PositionAtEntry(index);
    const CFileHeader& entry = *m_centralDir.m_currentEntry;

    const std::uint16_t method = entry.DataMethod();
    // Encrypted data is deciphered on its way to the decoder.
    const bool fast = g_fastInflate && method == 8 && !entry.openEnded && !IsEncrypted(entry) &&
                      m_fastInflate.Begin(m_storage, m_storage.GetPosition(), entry.compressedSize,
                                          entry.uncompressedSize, entry.storedCrc);
    m_decoder = method != 0 && !fast
                    ? MakeEntryDecoder(method, m_trackZlibMemory ? &m_zlibBlocks : nullptr)
                    : nullptr;
    m_entryOpenEnded = entry.openEnded;
    m_dataStart = m_storage.GetPosition();
    m_endingDescriptor.reset();
    std::uint64_t run = 0;
    if (m_entryOpenEnded) {
        run = OpenEndedDataSize(entry);
        // Stored data has no end of its own: a descriptor at the end of
        // the run, signed (16 bytes) or not (12), whose compressed size is
        // the bytes before it, ends it there.
        if (method == 0) {
            for (const std::uint64_t tail : {std::uint64_t{16}, std::uint64_t{12}}) {
                if (run < tail)
                    continue;
                m_endingDescriptor = DescriptorAfter(m_dataStart, run - tail);
                if (m_endingDescriptor) {
                    run -= tail;
                    break;
                }
            }
        }
    }
    // The encryption header comes first; after it only the data is read.
    m_keyCheck = IsEncrypted(entry) ? OpenCipher(entry, m_password) : KeyCheck::plain;
    const std::uint64_t overhead = CipherHeaderSize() + CipherTrailerSize();
    auto withoutOverhead = [overhead](std::uint64_t size) {
        return size > overhead ? size - overhead : 0;
    };
    if (m_keyCheck == KeyCheck::wrongPassword || m_keyCheck == KeyCheck::cut) {
        m_info.m_compressedLeft = 0;
        m_info.m_uncompressedLeft = 0;
    } else if (m_entryOpenEnded) {
        m_info.m_compressedLeft = withoutOverhead(run);
        m_info.m_uncompressedLeft = m_endingDescriptor ? m_info.m_compressedLeft
                                                       : std::numeric_limits<std::uint64_t>::max();
    } else {
        m_info.m_compressedLeft = withoutOverhead(entry.compressedSize);
        m_info.m_uncompressedLeft = entry.uncompressedSize;
    }
    m_dataSize = m_info.m_compressedLeft;
    if (fast) {
        // Where zlib would have left it, all data read: a descriptor follows.
        m_storage.SeekRelative(static_cast<std::int64_t>(entry.compressedSize));
        m_info.m_compressedLeft = 0;
        ++m_fastEntries;
    }
    m_info.m_crc = 0;
    m_info.m_availIn = 0;
    m_info.m_totalIn = 0;
    m_restarted = false;
    m_readState = readEntry;
    return true;
}

void CZipArchive::RestartWithZlib() {
    // Only plain entries with sizes take the fast decoder: their data is
    // exactly the stored compressed size, right at the data start.
    const CFileHeader& entry = *m_centralDir.m_currentEntry;
    m_fastInflate.Reset();
    m_decoder = MakeEntryDecoder(8, m_trackZlibMemory ? &m_zlibBlocks : nullptr);
    m_storage.Seek(m_dataStart);
    m_info.m_compressedLeft = entry.compressedSize;
    m_info.m_uncompressedLeft = entry.uncompressedSize;
    m_info.m_crc = 0;
    m_info.m_availIn = 0;
    m_info.m_totalIn = 0;
    --m_fastEntries;
    m_restarted = true;
}

std::optional<DataDescriptor> CZipArchive::DescriptorAfter(std::uint64_t dataStart,
                                                           std::uint64_t compressed) {
    unsigned char raw[kDescriptorSize] = {};
    const std::size_t got = m_storage.ReadAt(dataStart + compressed, raw, sizeof raw);
    const bool signedForm = got == sizeof raw && std::equal(kDataDescriptorSignature.begin(),
                                                            kDataDescriptorSignature.end(), raw);
    const std::size_t skip = signedForm ? kSignatureSize : 0;
    const DataDescriptor found = ParseDescriptor(raw + skip, false);
    if (got < skip + kDescriptorFieldsSize || found.compressedSize != compressed)
        return std::nullopt;
    return found;
}

std::uint64_t CZipArchive::OpenEndedDataSize(const CFileHeader& /*entry*/) {
    const std::uint64_t dataStart = m_storage.GetPosition();
    CScanWindow window(m_storage, m_storage.GetLength());
    const std::uint64_t end = OpenEndedDataEnd(window, dataStart);
    return end > dataStart ? end - dataStart : 0;
}

std::uint32_t CZipArchive::ReadEntryData(void* buffer, std::uint32_t size) {
    if (m_readState != readEntry || buffer == nullptr || size == 0)
        return 0;
    std::uint64_t room = std::min<std::uint64_t>(size, m_info.m_uncompressedLeft);
    if (room == 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    if (m_fastInflate.Serving()) {
        const std::uint32_t n = m_fastInflate.Serve(out, static_cast<std::uint32_t>(room));
        if (m_fastInflate.Refused()) {
            RestartWithZlib();
            return 0;
        }
        m_info.m_crc = m_fastInflate.ServedCrc();
        m_info.m_uncompressedLeft -= n;
        return n;
    }
    if (!m_decoder && m_traditional == nullptr && m_aes == nullptr)
        return ReadStoredData(out, static_cast<std::uint32_t>(room));
    std::uint32_t produced = 0;

    while (room > 0) {
        if (m_info.m_availIn == 0 && m_info.m_compressedLeft > 0) {
            const auto ask = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(m_info.m_bufferSize, m_info.m_compressedLeft));
            m_info.m_compressedLeft -= ask;
            const std::uint32_t got =
                m_storage.ReadBytes(m_info.m_readBuffer.GetBuffer(), ask, false);
            // Nothing more can come once a read returns nothing; data that
            // lies wholly past the end is cut short like data cut inside.
            if (got == 0) {
                m_info.m_compressedLeft = 0;
                m_storage.m_truncated = true;
            }
            DecryptRead(got);
            m_info.m_nextIn =
                reinterpret_cast<const unsigned char*>(m_info.m_readBuffer.GetBuffer());
            m_info.m_availIn = got;
        }

        std::size_t taken = 0;
        std::size_t made = 0;
        CEntryDecoder::Status status = CEntryDecoder::Status::more;
        if (m_decoder) {
            status = m_decoder->Decode(m_info.m_nextIn, m_info.m_availIn, taken, out + produced,
                                       static_cast<std::size_t>(room), made);
        } else {
            made = taken =
                static_cast<std::size_t>(std::min<std::uint64_t>(room, m_info.m_availIn));
            // Stored data ends where its input does.
            if (made == 0)
                return produced;
            std::memcpy(out + produced, m_info.m_nextIn, made);
        }
        m_info.m_nextIn += taken;
        m_info.m_availIn -= static_cast<std::uint32_t>(taken);
        m_info.m_totalIn += taken;
        // Bytes decoded before an error are good data: they are kept.
        const auto n = static_cast<std::uint32_t>(made);
        m_info.m_crc = Crc32(m_info.m_crc, out + produced, n);
        m_info.m_uncompressedLeft -= n;
        room -= n;
        produced += n;
        if (status == CEntryDecoder::Status::end) {
            // Data read open-ended may be followed by the descriptor that
            // tells what it should have been.
            if (m_entryOpenEnded)
                m_endingDescriptor = DescriptorAfter(
                    m_dataStart, m_info.m_totalIn + CipherHeaderSize() + CipherTrailerSize());
            return produced;
        }
        // A decoder that can neither take nor make anything needs input
        // that is not there: the data ends early.
        if (status == CEntryDecoder::Status::error || (taken == 0 && made == 0)) {
            m_decodeError = 1;
            return produced;
        }
    }
    return produced;
}

std::uint32_t CZipArchive::ReadStoredData(unsigned char* out, std::uint32_t room) {
    // Straight from the archive into the caller's buffer, in one read.
    const auto ask =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(room, m_info.m_compressedLeft));
    if (ask == 0)
        return 0;
    // A short read marks the storage truncated; one that finds nothing at all
    // is cut short just the same.
    const std::uint32_t got = m_storage.ReadBytes(out, ask, false);
    if (got == 0)
        m_storage.m_truncated = true;
    m_info.m_compressedLeft = got < ask ? 0 : m_info.m_compressedLeft - got;
    m_info.m_crc = Crc32(m_info.m_crc, out, got);
    m_info.m_uncompressedLeft -= got;
    return got;
}

bool CZipArchive::EndEntryRead(CFile* target) {
    if (m_readState != readEntry)
        return false;
    bool result = true;
    if (target != nullptr && m_centralDir.m_currentEntry != nullptr) {
        const CFileHeader& entry = *m_centralDir.m_currentEntry;
        try {
            result = StampOutputFile(*target, entry.GetModifiedTime(), entry.externalAttributes,
                                     entry.UnixMode());
        } catch (const CException&) {
            result = false;
        }
    }
    TearDownEntry();
    m_centralDir.FinishEntry();
    return result;
}

void CZipArchive::ReleaseEntry() {
    TearDownEntry();
    m_centralDir.AbandonEntry();
}

void CZipArchive::TearDownEntry() {
    m_decoder.reset();
    m_fastInflate.Reset();
    CloseCipher();
    m_info.ReleaseBuffer();
    m_readState = readNone;
}
