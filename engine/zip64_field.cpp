#include "engine/zip64_field.h"

#include <algorithm>

Zip64Result ApplyZip64Field(const unsigned char* extra, std::size_t size, bool localHeader,
                            Zip64Values& values) {
    Zip64Result result;
    const unsigned char* data = nullptr;
    std::size_t length = 0;
    for (std::size_t at = 0; at + 4 <= size;) {
        const std::uint16_t tag = ReadLe16(extra + at);
        const std::size_t claimed = ReadLe16(extra + at + 2);
        if (tag == kZip64FieldTag) {
            data = extra + at + 4;
            length = std::min(claimed, size - at - 4);
            result.present = true;
            break;
        }
        at += 4 + claimed;
    }

    std::size_t used = 0;
    auto take = [&](std::uint64_t& value, std::size_t at) {
        if (value != kZip64Marker)
            return true;
        if (at + 8 > length)
            return false;
        value = ReadLe64(data + at);
        used = at + 8;
        return true;
    };
    bool sizesKnown = true;
    if (localHeader && length >= 16) {
        sizesKnown = take(values.uncompressedSize, 0) && take(values.compressedSize, 8);
    } else {
        sizesKnown = take(values.uncompressedSize, used);
        sizesKnown = take(values.compressedSize, used) && sizesKnown;
    }
    result.sizeUnknown = !sizesKnown;
    if (!localHeader)
        result.offsetUnknown = !take(values.localHeaderOffset, used);
    return result;
}

Zip64Values CentralHeaderValues(const CentralHeaderRecord& header, std::string_view extra,
                                Zip64Result* result) {
    Zip64Values values{header.uncompressedSize, header.compressedSize, header.localHeaderOffset};
    const Zip64Result found = ApplyZip64Field(reinterpret_cast<const unsigned char*>(extra.data()),
                                              extra.size(), false, values);
    if (result != nullptr)
        *result = found;
    return values;
}
