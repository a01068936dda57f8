#include "tests/support/zip_writer.h"

#include "engine/zip_crypto.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <zlib.h>

namespace kvtest {

std::uint32_t Crc32(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

namespace {

std::string RawDeflate(std::string_view bytes, int flush) {
    z_stream stream{};
    // Negative window bits: raw deflate, as stored in archives.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, flush);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != (flush == Z_FINISH ? Z_STREAM_END : Z_OK))
        throw std::runtime_error("deflate did not finish");
    return out;
}

} // namespace

std::string Deflate(std::string_view bytes) {
    return RawDeflate(bytes, Z_FINISH);
}

std::string DeflateUnfinished(std::string_view bytes) {
    return RawDeflate(bytes, Z_SYNC_FLUSH);
}

std::string NoiseBytes(std::size_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

void PutLe16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void PutLe32(std::string& out, std::uint32_t value) {
    PutLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutLe16(out, static_cast<std::uint16_t>(value >> 16));
}

void PutLe64(std::string& out, std::uint64_t value) {
    PutLe32(out, static_cast<std::uint32_t>(value));
    PutLe32(out, static_cast<std::uint32_t>(value >> 32));
}

std::string Zip64FieldBytes(const std::vector<std::uint64_t>& values) {
    std::string out;
    PutLe16(out, 1);
    PutLe16(out, static_cast<std::uint16_t>(values.size() * 8));
    for (std::uint64_t value : values)
        PutLe64(out, value);
    return out;
}

std::string Zip64EndRecordsBytes(std::uint64_t entries, std::uint64_t directorySize,
                                 std::uint64_t directoryOffset) {
    std::string out = "PK\x06\x06";
    PutLe64(out, 44); // size of the rest of the record
    PutLe16(out, 45); // made by
    PutLe16(out, 45); // needed
    PutLe32(out, 0);  // this disk
    PutLe32(out, 0);  // directory disk
    PutLe64(out, entries);
    PutLe64(out, entries);
    PutLe64(out, directorySize);
    PutLe64(out, directoryOffset);
    out += "PK\x06\x07";
    PutLe32(out, 0);
    PutLe64(out, directoryOffset + directorySize); // where the Zip64 end record lies
    PutLe32(out, 1);
    return out;
}

std::string LocalHeaderBytes(std::uint16_t versionNeeded, std::uint16_t flags, std::uint16_t method,
                             std::uint16_t modTime, std::uint16_t modDate, std::uint32_t crc,
                             std::uint32_t compressedSize, std::uint32_t uncompressedSize,
                             std::string_view name, std::uint16_t nameLength,
                             std::string_view extra, std::uint16_t extraLength) {
    std::string out = "PK\x03\x04";
    PutLe16(out, versionNeeded);
    PutLe16(out, flags);
    PutLe16(out, method);
    PutLe16(out, modTime);
    PutLe16(out, modDate);
    PutLe32(out, crc);
    PutLe32(out, compressedSize);
    PutLe32(out, uncompressedSize);
    PutLe16(out, nameLength);
    PutLe16(out, extraLength);
    out += name;
    out += extra;
    return out;
}

std::string CentralHeaderBytes(const CentralSpec& wanted) {
    const std::uint32_t marker = 0xFFFFFFFF;
    const std::string extra = wanted.zip64
                                  ? Zip64FieldBytes({wanted.uncompressedSize, wanted.compressedSize,
                                                     wanted.localHeaderOffset}) +
                                        wanted.extra
                                  : wanted.extra;
    std::string out = "PK\x01\x02";
    PutLe16(out, wanted.versionMadeBy);
    PutLe16(out, 20); // needed
    PutLe16(out, wanted.flags);
    PutLe16(out, wanted.method);
    PutLe16(out, 0); // time
    PutLe16(out, 0); // date
    PutLe32(out, wanted.crc);
    PutLe32(out, wanted.zip64 ? marker : static_cast<std::uint32_t>(wanted.compressedSize));
    PutLe32(out, wanted.zip64 ? marker : static_cast<std::uint32_t>(wanted.uncompressedSize));
    PutLe16(out, wanted.nameLength.value_or(static_cast<std::uint16_t>(wanted.name.size())));
    PutLe16(out, static_cast<std::uint16_t>(extra.size()));
    PutLe16(out, static_cast<std::uint16_t>(wanted.comment.size()));
    PutLe16(out, 0); // disk
    PutLe16(out, 0); // internal attributes
    PutLe32(out, wanted.externalAttributes);
    PutLe32(out, wanted.zip64 ? marker : static_cast<std::uint32_t>(wanted.localHeaderOffset));
    out += wanted.name;
    out += extra;
    out += wanted.comment;
    return out;
}

std::string DescriptorBytes(std::uint32_t crc, std::uint64_t compressedSize,
                            std::uint64_t uncompressedSize, bool withSignature, bool zip64) {
    std::string out = withSignature ? "PK\x07\x08" : "";
    PutLe32(out, crc);
    const auto put = zip64 ? PutLe64 : [](std::string& to, std::uint64_t value) {
        PutLe32(to, static_cast<std::uint32_t>(value));
    };
    put(out, compressedSize);
    put(out, uncompressedSize);
    return out;
}

namespace {

// Encrypts with the engine's own ciphers: Nettle does the cryptography, the
// fixed vectors made by other writers check the framing.
std::string EncryptTraditional(std::string data, const EntrySpec& wanted, unsigned char check) {
    std::string header = NoiseBytes(kTraditionalHeaderSize - 1, Crc32(wanted.name));
    header += static_cast<char>(check);
    std::string out = header + data;
    TraditionalCipher(wanted.password)
        .Encrypt(reinterpret_cast<unsigned char*>(out.data()), out.size());
    return out;
}

std::string EncryptAes(std::string data, const EntrySpec& wanted) {
    const std::string salt =
        NoiseBytes(AesCipher::SaltSize(wanted.aesStrength), Crc32(wanted.name) + 1);
    AesCipher cipher(wanted.password, wanted.aesStrength,
                     reinterpret_cast<const unsigned char*>(salt.data()));
    cipher.Encrypt(reinterpret_cast<unsigned char*>(data.data()), data.size());
    const auto verifier = cipher.Verifier();
    const auto code = cipher.AuthCode();
    return salt + std::string(verifier.begin(), verifier.end()) + data +
           std::string(code.begin(), code.end());
}

} // namespace

std::size_t ZipWriter::Add(const EntrySpec& wanted) {
    WrittenEntry written;
    written.name = wanted.name;
    written.method = wanted.method;
    written.headerOffset = Size();
    written.crc = Crc32(wanted.content);
    written.uncompressedSize = static_cast<std::uint32_t>(wanted.content.size());
    std::string data = wanted.rawData
                           ? *wanted.rawData
                           : (wanted.method == 8 ? Deflate(wanted.content) : wanted.content);
    const bool descriptor = wanted.descriptor != DescriptorForm::none;
    std::uint16_t method = wanted.method;
    std::string extra = wanted.extra;
    std::uint16_t encrypted = 0;
    if (!wanted.password.empty()) {
        encrypted = 0x0001;
        if (wanted.aesStrength != 0) {
            data = EncryptAes(data, wanted);
            extra += AesFieldBytes(
                {wanted.aesVersion, static_cast<std::uint8_t>(wanted.aesStrength), method});
            method = kMethodAes;
            if (wanted.aesVersion == 2)
                written.crc = 0;
        } else {
            data = EncryptTraditional(
                data, wanted,
                static_cast<unsigned char>(descriptor ? wanted.modTime >> 8 : written.crc >> 24));
        }
        written.method = method;
    }
    written.dataSize = static_cast<std::uint32_t>(data.size());

    const bool zeroed = descriptor && !wanted.keepHeaderSizes;
    const std::uint16_t flags =
        static_cast<std::uint16_t>(wanted.flags | encrypted | (descriptor ? 0x0008 : 0));
    written.zip64 = wanted.zip64;
    written.versionMadeBy = wanted.versionMadeBy;
    written.externalAttributes = wanted.externalAttributes;
    written.centralExtra = wanted.centralExtra;
    const std::uint32_t marker = 0xFFFFFFFF;
    if (wanted.zip64)
        extra = Zip64FieldBytes(
                    {zeroed ? 0 : written.uncompressedSize, zeroed ? 0 : written.dataSize}) +
                extra;
    m_bytes += LocalHeaderBytes(
        wanted.versionNeeded, flags, method, wanted.modTime, wanted.modDate,
        wanted.crc.value_or(zeroed ? 0 : written.crc),
        wanted.compressedSize.value_or(wanted.zip64 ? marker
                                       : zeroed     ? 0
                                                    : written.dataSize),
        wanted.uncompressedSize.value_or(wanted.zip64 ? marker
                                         : zeroed     ? 0
                                                      : written.uncompressedSize),
        wanted.name, wanted.nameLength.value_or(static_cast<std::uint16_t>(wanted.name.size())),
        extra, wanted.extraLength.value_or(static_cast<std::uint16_t>(extra.size())));
    written.dataOffset = Size();
    m_bytes += data;
    if (descriptor) {
        written.descriptorOffset = Size();
        const bool signature = wanted.descriptor == DescriptorForm::withSignature;
        m_bytes += DescriptorBytes(written.crc, written.dataSize, written.uncompressedSize,
                                   signature, wanted.zip64);
    }
    m_entries.push_back(written);
    return m_entries.size() - 1;
}

void ZipWriter::AddRaw(std::string_view bytes) {
    m_bytes += bytes;
}

void ZipWriter::AddCentral(const CentralSpec& wanted) {
    m_bytes += CentralHeaderBytes(wanted);
}

void ZipWriter::AddCentralDirectory() {
    const std::uint32_t start = Size();
    for (const WrittenEntry& entry : m_entries) {
        CentralSpec wanted;
        wanted.name = entry.name;
        wanted.localHeaderOffset = entry.headerOffset;
        wanted.compressedSize = entry.dataSize;
        wanted.uncompressedSize = entry.uncompressedSize;
        wanted.crc = entry.crc;
        wanted.method = entry.method;
        wanted.zip64 = entry.zip64;
        wanted.versionMadeBy = entry.versionMadeBy;
        wanted.externalAttributes = entry.externalAttributes;
        wanted.extra = entry.centralExtra;
        AddCentral(wanted);
    }
    const std::uint32_t size = Size() - start;
    if (std::any_of(m_entries.begin(), m_entries.end(),
                    [](const WrittenEntry& entry) { return entry.zip64; }))
        m_bytes += Zip64EndRecordsBytes(m_entries.size(), size, start);
    AddEndRecord(static_cast<std::uint16_t>(m_entries.size()), size, start);
}

void ZipWriter::AddEndRecord(std::uint16_t entries, std::uint32_t directorySize,
                             std::uint32_t directoryOffset) {
    m_bytes += "PK\x05\x06";
    PutLe16(m_bytes, 0);
    PutLe16(m_bytes, 0);
    PutLe16(m_bytes, entries);
    PutLe16(m_bytes, entries);
    PutLe32(m_bytes, directorySize);
    PutLe32(m_bytes, directoryOffset);
    PutLe16(m_bytes, 0);
}

void Truncate(std::string& bytes, std::size_t size) {
    if (size < bytes.size())
        bytes.resize(size);
}

void Overwrite(std::string& bytes, std::size_t offset, std::string_view with) {
    if (offset + with.size() > bytes.size())
        throw std::out_of_range("overwrite past the end");
    bytes.replace(offset, with.size(), with);
}

void OverwriteLe16(std::string& bytes, std::size_t offset, std::uint16_t value) {
    std::string raw;
    PutLe16(raw, value);
    Overwrite(bytes, offset, raw);
}

void OverwriteLe32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    std::string raw;
    PutLe32(raw, value);
    Overwrite(bytes, offset, raw);
}

void FlipByte(std::string& bytes, std::size_t offset, unsigned char mask) {
    bytes.at(offset) = static_cast<char>(static_cast<unsigned char>(bytes.at(offset)) ^ mask);
}

void DropRange(std::string& bytes, std::size_t offset, std::size_t count) {
    if (offset < bytes.size())
        bytes.erase(offset, count);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvzip-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Read-only outputs must be writable again to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace kvtest
