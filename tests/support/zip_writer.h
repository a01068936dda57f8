// Builds archives for the tests, sound or broken: every header field can be
// set to lie, and a built archive can be cut, overwritten and garbled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvtest {

// How an entry's data is followed by its descriptor.
enum class DescriptorForm { none, withSignature, withoutSignature };

struct EntrySpec {
    std::string name;
    std::string content; // uncompressed bytes
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t versionNeeded = 20;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::string extra;
    // A descriptor also sets flag bit 3 and, unless `keepHeaderSizes`, zeroes
    // the CRC and sizes in the local header, as streaming writers do.
    DescriptorForm descriptor = DescriptorForm::none;
    bool keepHeaderSizes = false;
    // Zip64 as streaming writers make it: both sizes in the local header are
    // 0xFFFFFFFF and a Zip64 field before `extra` holds them (zeros when a
    // descriptor follows, which then has 8-byte sizes); the central header
    // made by AddCentralDirectory sends its sizes and offset there too.
    bool zip64 = false;
    // What the local header claims instead of the true values.
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> compressedSize;
    std::optional<std::uint32_t> uncompressedSize;
    std::optional<std::uint16_t> nameLength;
    std::optional<std::uint16_t> extraLength;
    // Bytes stored as the data instead of the encoded content.
    std::optional<std::string> rawData;
    // Encrypted with this password when not empty: with the traditional
    // cipher, or with AES of strength 1..3 (128, 192, 256 bits) as AE-1 or
    // AE-2 (no CRC stored).
    std::string password;
    int aesStrength = 0;
    std::uint16_t aesVersion = 2;
    // What AddCentralDirectory writes in its central header.
    std::uint16_t versionMadeBy = 20;
    std::uint32_t externalAttributes = 0;
    std::string centralExtra;
};

// Where an added entry landed and what it truly holds.
struct WrittenEntry {
    std::string name;
    std::uint32_t headerOffset = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t dataSize = 0; // bytes of data stored
    std::uint32_t crc = 0;      // of the content
    std::uint32_t uncompressedSize = 0;
    std::uint16_t method = 0;
    std::uint32_t descriptorOffset = 0; // 0 when there is none
    bool zip64 = false;
    std::uint16_t versionMadeBy = 20;
    std::uint32_t externalAttributes = 0;
    std::string centralExtra;
};

struct CentralSpec {
    std::string name;
    std::uint64_t localHeaderOffset = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::optional<std::uint16_t> nameLength;
    std::string extra;
    std::string comment;
    std::uint16_t versionMadeBy = 20;
    std::uint32_t externalAttributes = 0;
    // Sizes and offset as 0xFFFFFFFF, their values in a Zip64 field first in
    // the extra bytes.
    bool zip64 = false;
};

std::uint32_t Crc32(std::string_view bytes);
// Raw deflate (no zlib header or trailer).
std::string Deflate(std::string_view bytes);
// Raw deflate of `bytes` flushed to a byte boundary with no final block: a
// stream that a cut or a bad block can follow.
std::string DeflateUnfinished(std::string_view bytes);
// Deterministic bytes that compress poorly.
std::string NoiseBytes(std::size_t size, std::uint32_t seed);

void PutLe16(std::string& out, std::uint16_t value);
void PutLe32(std::string& out, std::uint32_t value);
void PutLe64(std::string& out, std::uint64_t value);

std::string LocalHeaderBytes(std::uint16_t versionNeeded, std::uint16_t flags, std::uint16_t method,
                             std::uint16_t modTime, std::uint16_t modDate, std::uint32_t crc,
                             std::uint32_t compressedSize, std::uint32_t uncompressedSize,
                             std::string_view name, std::uint16_t nameLength,
                             std::string_view extra, std::uint16_t extraLength);
std::string CentralHeaderBytes(const CentralSpec& wanted);
// With `zip64` the sizes take 8 bytes each.
std::string DescriptorBytes(std::uint32_t crc, std::uint64_t compressedSize,
                            std::uint64_t uncompressedSize, bool withSignature, bool zip64 = false);
// A Zip64 extended information field (tag 1) holding `values` in order.
std::string Zip64FieldBytes(const std::vector<std::uint64_t>& values);
// The Zip64 end record and its locator, for archives that end like a
// Zip64 writer's.
std::string Zip64EndRecordsBytes(std::uint64_t entries, std::uint64_t directorySize,
                                 std::uint64_t directoryOffset);

class ZipWriter {
public:
    // Local header, data and descriptor; returns the entry's index.
    std::size_t Add(const EntrySpec& wanted);
    void AddRaw(std::string_view bytes);
    void AddCentral(const CentralSpec& wanted);
    // A central header for every entry added so far, then the end record.
    void AddCentralDirectory();
    void AddEndRecord(std::uint16_t entries, std::uint32_t directorySize,
                      std::uint32_t directoryOffset);

    const std::string& Bytes() const { return m_bytes; }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(m_bytes.size()); }
    const std::vector<WrittenEntry>& Entries() const { return m_entries; }
    const WrittenEntry& Entry(std::size_t index) const { return m_entries.at(index); }

private:
    std::string m_bytes;
    std::vector<WrittenEntry> m_entries;
};

// Damage, applied to a built archive.
void Truncate(std::string& bytes, std::size_t size);
void Overwrite(std::string& bytes, std::size_t offset, std::string_view with);
void OverwriteLe16(std::string& bytes, std::size_t offset, std::uint16_t value);
void OverwriteLe32(std::string& bytes, std::size_t offset, std::uint32_t value);
void FlipByte(std::string& bytes, std::size_t offset, unsigned char mask = 0xFF);
void DropRange(std::string& bytes, std::size_t offset, std::size_t count);

// A folder removed with its contents when the object goes.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

} // namespace kvtest
