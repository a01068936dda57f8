#include "engine/zip_records.h"

LocalHeaderRecord ParseLocalHeader(const unsigned char* raw) {
    using namespace local_field;
    LocalHeaderRecord record;
    record.versionNeeded = ReadLe16(raw + kVersionNeeded);
    record.flags = ReadLe16(raw + kFlags);
    record.method = ReadLe16(raw + kMethod);
    record.modTime = ReadLe16(raw + kModTime);
    record.modDate = ReadLe16(raw + kModDate);
    record.crc = ReadLe32(raw + kCrc);
    record.compressedSize = ReadLe32(raw + kCompressedSize);
    record.uncompressedSize = ReadLe32(raw + kUncompressedSize);
    record.nameLength = ReadLe16(raw + kNameLength);
    record.extraLength = ReadLe16(raw + kExtraLength);
    return record;
}

CentralHeaderRecord ParseCentralHeader(const unsigned char* raw) {
    using namespace central_field;
    CentralHeaderRecord record;
    record.versionMadeBy = ReadLe16(raw + kVersionMadeBy);
    record.versionNeeded = ReadLe16(raw + kVersionNeeded);
    record.flags = ReadLe16(raw + kFlags);
    record.method = ReadLe16(raw + kMethod);
    record.modTime = ReadLe16(raw + kModTime);
    record.modDate = ReadLe16(raw + kModDate);
    record.crc = ReadLe32(raw + kCrc);
    record.compressedSize = ReadLe32(raw + kCompressedSize);
    record.uncompressedSize = ReadLe32(raw + kUncompressedSize);
    record.nameLength = ReadLe16(raw + kNameLength);
    record.extraLength = ReadLe16(raw + kExtraLength);
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
