#include "engine/entry_name.h"

#include "engine/file_header.h"
#include "platform/text.h"

#include <optional>
#include <zlib.h>

std::string g_nameEncoding = kDefaultNameEncoding;

namespace {

// Info-ZIP Unicode Path extra field: tag, size, version 1, the CRC-32 of the
// stored name, then the name in UTF-8.
constexpr std::uint16_t kUnicodePathTag = 0x7075;

std::optional<std::string_view> UnicodePath(std::string_view stored, std::string_view extra) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    std::size_t at = 0;
    while (at + 4 <= extra.size()) {
        const std::uint16_t tag = ReadLe16(p + at);
        const std::uint16_t size = ReadLe16(p + at + 2);
        if (at + 4 + size > extra.size())
            break;
        if (tag == kUnicodePathTag && size >= 5 && p[at + 4] == 1) {
            const auto crc =
                static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(stored.data()),
                                                 static_cast<uInt>(stored.size())));
            // A name changed after the field was written no longer matches.
            if (ReadLe32(p + at + 5) == crc)
                return extra.substr(at + 9, size - 5u);
            return std::nullopt;
        }
        at += 4u + size;
    }
    return std::nullopt;
}

} // namespace

bool SetNameEncoding(const std::string& codePage) {
    if (!platform::IsKnownCodePage(codePage))
        return false;
    g_nameEncoding = codePage;
    return true;
}

std::wstring DecodeEntryName(std::string_view stored, std::uint16_t flags, std::string_view extra) {
    const bool utf8 = platform::IsValidUtf8(stored);
    if ((flags & kFlagUtf8Name) != 0 && utf8)
        return platform::FromUtf8(stored);
    if (!extra.empty()) {
        const std::optional<std::string_view> unicode = UnicodePath(stored, extra);
        if (unicode && platform::IsValidUtf8(*unicode))
            return platform::FromUtf8(*unicode);
    }
    if (utf8)
        return platform::FromUtf8(stored);
    return platform::DecodeCodePage(stored, g_nameEncoding);
}
