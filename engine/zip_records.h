// The fixed parts of the ZIP records the engine reads: where each field lies
// and one parser per record kind, so that no reader counts bytes itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline std::uint16_t ReadLe16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t ReadLe64(const unsigned char* p) {
    return ReadLe32(p) | (std::uint64_t{ReadLe32(p + 4)} << 32);
}

// Record signatures, compared byte for byte.
inline constexpr std::size_t kSignatureSize = 4;
inline constexpr std::array<unsigned char, kSignatureSize> kLocalHeaderSignature = {0x50, 0x4B,
                                                                                    0x03, 0x04};
inline constexpr std::array<unsigned char, kSignatureSize> kCentralHeaderSignature = {0x50, 0x4B,
                                                                                      0x01, 0x02};
inline constexpr std::array<unsigned char, kSignatureSize> kDataDescriptorSignature = {0x50, 0x4B,
                                                                                       0x07, 0x08};

// The fields that a local header and its central header share, in the same
// order and at the same distances from one another.
namespace header_field {
inline constexpr std::size_t kVersionNeeded = 0;
inline constexpr std::size_t kFlags = 2;
inline constexpr std::size_t kMethod = 4;
inline constexpr std::size_t kModTime = 6;
inline constexpr std::size_t kModDate = 8;
inline constexpr std::size_t kCrc = 10;
inline constexpr std::size_t kCompressedSize = 14;
inline constexpr std::size_t kUncompressedSize = 18;
inline constexpr std::size_t kNameLength = 22;
inline constexpr std::size_t kExtraLength = 24;
} // namespace header_field

struct LocalHeaderRecord {
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
};

// Local file header: 30 bytes, then the name and the extra field. The shared
// fields follow the signature.
inline constexpr std::uint32_t kLocalHeaderSize = 30;
inline constexpr std::size_t kLocalSharedFields = kSignatureSize;
// `raw`: the kLocalHeaderSize bytes of the fixed part, signature included.
LocalHeaderRecord ParseLocalHeader(const unsigned char* raw);

// Central directory header: 46 bytes, then the name, extra field and comment.
// The shared fields follow the signature and the version made by.
inline constexpr std::uint32_t kCentralHeaderSize = 46;
inline constexpr std::size_t kCentralSharedFields = kSignatureSize + 2;
namespace central_field {
inline constexpr std::size_t kVersionMadeBy = 4;
inline constexpr std::size_t kCommentLength = 32;
inline constexpr std::size_t kDiskStart = 34;
inline constexpr std::size_t kInternalAttributes = 36;
inline constexpr std::size_t kExternalAttributes = 38;
inline constexpr std::size_t kLocalHeaderOffset = 42;
} // namespace central_field

struct CentralHeaderRecord : LocalHeaderRecord {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t commentLength = 0;
    std::uint16_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
};
// `raw`: the kCentralHeaderSize bytes of the fixed part, signature included.
CentralHeaderRecord ParseCentralHeader(const unsigned char* raw);

// Data descriptor: an optional signature, then CRC-32, compressed size and
// uncompressed size; the sizes take 4 bytes each, or 8 as Zip64 writes them.
inline constexpr std::size_t kDescriptorFieldsSize = 12;
inline constexpr std::size_t kWideDescriptorFieldsSize = 20;
// A signed descriptor with 4-byte sizes, the form most writers use.
inline constexpr std::uint32_t kDescriptorSize = kSignatureSize + kDescriptorFieldsSize;
namespace descriptor_field {
inline constexpr std::size_t kCrc = 0;
inline constexpr std::size_t kCompressedSize = 4;
inline constexpr std::size_t kUncompressedSize = 8;
inline constexpr std::size_t kWideUncompressedSize = 12;
} // namespace descriptor_field

struct DataDescriptor {
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};
// `fields`: the bytes after the signature, if any: kDescriptorFieldsSize of
// them, or kWideDescriptorFieldsSize when `wide` (8-byte sizes).
DataDescriptor ParseDescriptor(const unsigned char* fields, bool wide);

// End of central directory record: 22 bytes, the last 2 the length of the
// comment that follows. An archive of this record alone, listing no
// entries, is an empty archive: it holds no files, and nothing is damaged.
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::array<unsigned char, kSignatureSize> kEndRecordSignature = {0x50, 0x4B, 0x05,
                                                                                  0x06};
// `bytes`: the whole file.
bool IsEmptyArchive(const unsigned char* bytes, std::size_t size);
