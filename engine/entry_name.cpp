#include "engine/entry_name.h"

#include "engine/extra_field.h"
#include "platform/text.h"

#include <optional>
#include <zlib.h>

std::string g_nameEncoding = kDefaultNameEncoding;

namespace {

// The Unicode Path extra field: tag, size, version 1, the CRC-32 of the
// stored name, then the name in UTF-8.
constexpr std::uint16_t kUnicodePathTag = 0x7075;

std::optional<std::string_view> UnicodePath(std::string_view stored, std::string_view extra) {
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(stored.data()), static_cast<uInt>(stored.size())));
    // A name changed after the field was written no longer matches; a field
    // that is short or broken gives way to a later one that is sound.
    const std::optional<std::string_view> block =
        FindExtraBlock(extra, kUnicodePathTag, [crc](std::string_view candidate) {
            const auto* p = reinterpret_cast<const unsigned char*>(candidate.data());
            return IsWholeExtraBlock(candidate) && candidate.size() >= 5 && p[0] == 1 &&
                   ReadLe32(p + 1) == crc && platform::IsValidUtf8(candidate.substr(5));
        });
    if (!block)
        return std::nullopt;
    return block->substr(5);
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
        if (const std::optional<std::string_view> unicode = UnicodePath(stored, extra))
            return platform::FromUtf8(*unicode);
    }
    if (utf8)
        return platform::FromUtf8(stored);
    return platform::DecodeCodePage(stored, g_nameEncoding);
}
