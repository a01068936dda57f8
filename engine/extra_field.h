// The extra field of a header: a run of blocks, each a 2-byte tag, a 2-byte
// size and that many bytes.
#pragma once

#include "engine/file_header.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The bytes of the first block tagged `tag`; nothing when there is none or
// the field ends inside it.
inline std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t tag) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::size_t size = ReadLe16(p + at + 2);
        if (at + 4 + size > extra.size())
            break;
        if (ReadLe16(p + at) == tag)
            return extra.substr(at + 4, size);
        at += 4 + size;
    }
    return std::nullopt;
}
