// One entry of an archive as the scan rebuilt it.
#pragma once

#include "engine/auto_buffer.h"
#include "engine/zip_records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CZipStorage;

// General purpose flag bit 3: CRC and sizes follow the data in a descriptor.
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
// General purpose flag bit 0: the data is encrypted; bit 6: with the strong
// encryption method, whose format is not open.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
// General purpose flag bit 13: the central directory is encrypted, and the
// local header's values are masked.
inline constexpr std::uint16_t kFlagMaskedHeader = 0x2000;
// The attribute word of an entry whose central record was not found (archive).
inline constexpr std::uint32_t kDefaultAttributes = 0x20;
// The folder bit of the DOS attributes in the low byte of the attribute word.
inline constexpr std::uint32_t kFolderAttribute = 0x10;
// Link targets longer than this are no link's: such an entry is a file.
inline constexpr std::uint64_t kMaxLinkTarget = 4096;

class CFileHeader {
public:
    CFileHeader() = default;
    CFileHeader(const CFileHeader&) = default;
    CFileHeader& operator=(const CFileHeader&) = default;
    virtual ~CFileHeader() = default;

    // Every field zero and the name empty: what an offset past the end yields.
    void ClearAll();

    // Modification moment in seconds since 1970 UTC: the exact one an extra
    // field gave, else the DOS date and time taken as local time
    // (out-of-range parts carry over).
    std::int64_t GetModifiedTime() const;

    // The Unix mode in the upper half of the attribute word, when the system
    // that made the entry keeps one there.
    std::optional<std::uint32_t> UnixMode() const;
    // A folder: its name ends in a separator, or its attributes say so and
    // it holds no data.
    bool IsFolder() const;
    // A symbolic link by its Unix mode, whose data is the target's path.
    bool IsLink() const;

    // The descriptor bytes after the optional signature (`available` of
    // them): CRC-32, compressed size, uncompressed size, all three equal to
    // this entry's, with sizes of 4 bytes (12 bytes in all) or, as Zip64
    // writes them, of 8 (20 bytes).
    bool MatchesDescriptor(const unsigned char* descriptor, std::size_t available) const;

    // Re-reads the local header at the current position before extraction.
    // Returns false when this build has no decoder for the entry's method;
    // otherwise leaves the file on the local extra field. `hasDescriptor`:
    // its descriptor is to be checked, never when the scan met a descriptor
    // before some header (`descriptorSeen`), whose values may be another's.
    bool CheckLocalHeader(CZipStorage& storage, std::uint16_t& localExtraLength,
                          bool& hasDescriptor, bool descriptorSeen) const;

    // The method of the data itself: for AES (method 99) the one its 0x9901
    // field names; 99 when that field is missing.
    std::uint16_t DataMethod() const;

    std::array<unsigned char, 4> signature{};
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 8;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t storedCrc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t localExtraLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t commentLength = 0;
    std::uint16_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = kDefaultAttributes;
    std::uint64_t localHeaderOffset = 0;
    std::wstring name;
    CAutoBuffer extraField;
    std::wstring comment;
    // Declares a descriptor but holds no sizes, and its own descriptor was not
    // found: its data runs to the next local header or the end of the file.
    bool openEnded = false;
    // The central directory lists this entry.
    bool listed = false;
    // Its local header is gone: every field comes from its central record,
    // and its data starts 30 + nameLength + extraLength past
    // localHeaderOffset.
    bool fromDirectory = false;
    // The modification moment an extended timestamp or NTFS field gives;
    // nothing where the DOS date and time are all there is.
    std::optional<std::int64_t> exactModifiedTime;
};
