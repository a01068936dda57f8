// The extra field of a header: a list of blocks, each a 2-byte tag, a
// 2-byte size and that many bytes. One malformed block costs only itself:
// readers take the first block of their kind that checks out.
#pragma once

#include "engine/zip_records.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The bytes of the first block tagged `tag` that `accept` takes; nothing when
// there is none. A block whose size runs past the field is offered with the
// bytes the field holds (the last block: nothing can follow it).
template <typename Accept>
std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t tag,
                                               Accept accept) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::size_t size = ReadLe16(p + at + 2);
        const std::string_view block = extra.substr(at + 4, size);
        if (ReadLe16(p + at) == tag && accept(block))
            return block;
        at += 4 + size;
    }
    return std::nullopt;
}

// The field holds all the bytes the block's size claims.
inline bool IsWholeExtraBlock(std::string_view block) {
    return block.size() == ReadLe16(reinterpret_cast<const unsigned char*>(block.data()) - 2);
}

// The first block tagged `tag` that the field holds whole.
inline std::optional<std::string_view> FindExtraBlock(std::string_view extra, std::uint16_t tag) {
    return FindExtraBlock(extra, tag, IsWholeExtraBlock);
}
