#include "engine/file_header.h"

#include "engine/entry_decoder.h"
#include "engine/scan_state.h"
#include "engine/zip_crypto.h"
#include "engine/zip_storage.h"

#include <ctime>

void CFileHeader::ClearAll() {
    *this = CFileHeader();
    method = 0;
    externalAttributes = 0;
}

std::int64_t CFileHeader::GetModifiedTime() const {
    std::tm parts{};
    parts.tm_year = ((modDate >> 9) & 0x7F) + 80;
    parts.tm_mon = ((modDate >> 5) & 0x0F) - 1;
    parts.tm_mday = modDate & 0x1F;
    parts.tm_hour = (modTime >> 11) & 0x1F;
    parts.tm_min = (modTime >> 5) & 0x3F;
    parts.tm_sec = (modTime & 0x1F) * 2;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts));
}

bool CFileHeader::MatchesDescriptor(const unsigned char* descriptor, std::size_t available) const {
    if (available < kDescriptorFieldsSize)
        return false;
    const DataDescriptor narrow = ParseDescriptor(descriptor, false);
    if (narrow.crc != storedCrc)
        return false;
    if (narrow.compressedSize == compressedSize && narrow.uncompressedSize == uncompressedSize)
        return true;
    if (available < kWideDescriptorFieldsSize)
        return false;
    const DataDescriptor wide = ParseDescriptor(descriptor, true);
    return wide.compressedSize == compressedSize && wide.uncompressedSize == uncompressedSize;
}

bool CFileHeader::CheckLocalHeader(CZipStorage& storage, std::uint16_t& localExtra,
                                   bool& hasDescriptor) const {
    // A read at the end of the file yields nothing and throws nothing.
    unsigned char raw[kLocalHeaderSize] = {};
    storage.ReadBytes(raw, kLocalHeaderSize, true);
    const LocalHeaderRecord local = ParseLocalHeader(raw);
    hasDescriptor = (local.flags & kFlagDataDescriptor) != 0 && g_descriptorSeen == 0;
    localExtra = local.extraLength;
    // Two blanks where the length should be: some writers padded with spaces.
    if (localExtra == 0x2020)
        localExtra = 0;
    if (!MethodBuilt(DataMethod()))
        return false;
    storage.SeekRelative(nameLength);
    return true;
}

std::uint16_t CFileHeader::DataMethod() const {
    if (method != kMethodAes)
        return method;
    const std::optional<AesField> aes =
        FindAesField({extraField.GetBuffer(), extraField.GetSize()});
    return aes ? aes->method : method;
}
