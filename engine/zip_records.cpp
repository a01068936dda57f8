#include "engine/zip_records.h"

#include <algorithm>

namespace {

// `fields`: the first shared field, the version needed.
void ParseSharedFields(const unsigned char* fields, LocalHeaderRecord& record) {
    using namespace header_field;
    record.versionNeeded = ReadLe16(fields + kVersionNeeded);
    record.flags = ReadLe16(fields + kFlags);
    record.method = ReadLe16(fields + kMethod);
    record.modTime = ReadLe16(fields + kModTime);
    record.modDate = ReadLe16(fields + kModDate);
    record.crc = ReadLe32(fields + kCrc);
    record.compressedSize = ReadLe32(fields + kCompressedSize);
    record.uncompressedSize = ReadLe32(fields + kUncompressedSize);
    record.nameLength = ReadLe16(fields + kNameLength);
    record.extraLength = ReadLe16(fields + kExtraLength);
}

} // namespace

LocalHeaderRecord ParseLocalHeader(const unsigned char* raw) {
    LocalHeaderRecord record;
    ParseSharedFields(raw + kLocalSharedFields, record);
    return record;
}

CentralHeaderRecord ParseCentralHeader(const unsigned char* raw) {
    using namespace central_field;
    CentralHeaderRecord record;
    ParseSharedFields(raw + kCentralSharedFields, record);
    record.versionMadeBy = ReadLe16(raw + kVersionMadeBy);
    record.commentLength = ReadLe16(raw + kCommentLength);
    record.diskStart = ReadLe16(raw + kDiskStart);
    record.internalAttributes = ReadLe16(raw + kInternalAttributes);
    record.externalAttributes = ReadLe32(raw + kExternalAttributes);
    record.localHeaderOffset = ReadLe32(raw + kLocalHeaderOffset);
    return record;
}

DataDescriptor ParseDescriptor(const unsigned char* fields, bool wide) {
    using namespace descriptor_field;
    if (wide)
        return {ReadLe32(fields + kCrc), ReadLe64(fields + kCompressedSize),
                ReadLe64(fields + kWideUncompressedSize)};
    return {ReadLe32(fields + kCrc), ReadLe32(fields + kCompressedSize),
            ReadLe32(fields + kUncompressedSize)};
}

bool IsEmptyArchive(const unsigned char* bytes, std::size_t size) {
    // Disk numbers, entry counts, directory size and offset all 0.
    constexpr std::size_t kCountsAt = 4;
    constexpr std::size_t kCommentLengthAt = 20;
    return size >= kEndRecordSize &&
           std::equal(kEndRecordSignature.begin(), kEndRecordSignature.end(), bytes) &&
           std::all_of(bytes + kCountsAt, bytes + kCommentLengthAt,
                       [](unsigned char b) { return b == 0; }) &&
           ReadLe16(bytes + kCommentLengthAt) == size - kEndRecordSize;
}
