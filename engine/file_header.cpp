#include "engine/file_header.h"

#include "engine/entry_decoder.h"
#include "engine/zip_crypto.h"
#include "engine/zip_storage.h"

#include <ctime>
#include <sys/stat.h>

void CFileHeader::ClearAll() {
    *this = CFileHeader();
    method = 0;
    externalAttributes = 0;
}

std::int64_t CFileHeader::GetModifiedTime() const {
    if (exactModifiedTime)
        return *exactModifiedTime;
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

std::optional<std::uint32_t> CFileHeader::UnixMode() const {
    // Hosts of the version-made-by field: 3 Unix, 19 OS X.
    const unsigned host = versionMadeBy >> 8;
    const std::uint32_t mode = externalAttributes >> 16;
    if ((host != 3 && host != 19) || mode == 0)
        return std::nullopt;
    return mode;
}

bool CFileHeader::IsFolder() const {
    if (!name.empty() && (name.back() == L'/' || name.back() == L'\\'))
        return true;
    // A folder holds no data: bytes under a name whose attributes say
    // folder are kept as a file rather than lost.
    if (openEnded || uncompressedSize != 0)
        return false;
    if (const std::optional<std::uint32_t> mode = UnixMode())
        return (*mode & S_IFMT) == S_IFDIR;
    // Hosts 0 DOS, 11 NTFS, 14 VFAT, and Unix writers that leave the mode
    // out and set the DOS bits.
    const unsigned host = versionMadeBy >> 8;
    return (host == 0 || host == 3 || host == 11 || host == 14 || host == 19) &&
           (externalAttributes & kFolderAttribute) != 0;
}

bool CFileHeader::IsLink() const {
    const std::optional<std::uint32_t> mode = UnixMode();
    return mode && (*mode & S_IFMT) == S_IFLNK && !IsFolder();
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
                                   bool& hasDescriptor, bool descriptorSeen) const {
    // A read at the end of the file yields nothing and throws nothing.
    unsigned char raw[kLocalHeaderSize] = {};
    storage.ReadBytes(raw, kLocalHeaderSize, true);
    const LocalHeaderRecord local = ParseLocalHeader(raw);
    hasDescriptor = (local.flags & kFlagDataDescriptor) != 0 && !descriptorSeen;
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
