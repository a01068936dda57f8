#include "engine/zip64_field.h"

#include "engine/extra_field.h"

#include <optional>
#include <utility>

namespace {

// The values of one Zip64 block; see ApplyZip64Field.
Zip64Result ApplyZip64Block(std::string_view block, bool localHeader, Zip64Values& values) {
    Zip64Result result;
    result.present = true;
    const auto* data = reinterpret_cast<const unsigned char*>(block.data());
    const std::size_t length = block.size();
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

} // namespace

Zip64Result ApplyZip64Field(const unsigned char* extra, std::size_t size, bool localHeader,
                            Zip64Values& values) {
    // The first block that gives every value the header sends there; when
    // none does, what the first one holds.
    std::optional<std::pair<Zip64Result, Zip64Values>> first;
    std::optional<std::pair<Zip64Result, Zip64Values>> sound;
    FindExtraBlock({reinterpret_cast<const char*>(extra), size}, kZip64FieldTag,
                   [&](std::string_view block) {
                       Zip64Values tried = values;
                       const Zip64Result result = ApplyZip64Block(block, localHeader, tried);
                       if (!first)
                           first.emplace(result, tried);
                       if (result.sizeUnknown || result.offsetUnknown)
                           return false;
                       sound.emplace(result, tried);
                       return true;
                   });
    if (!sound)
        sound = first;
    if (!sound) {
        // Values sent to a field that is not there are unknown.
        Zip64Result none = ApplyZip64Block({}, localHeader, values);
        none.present = false;
        return none;
    }
    values = sound->second;
    return sound->first;
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
