#include "engine/deflate_blocks.h"

#include "engine/zip_storage.h"

#include <algorithm>
#include <cstring>

namespace {

// Enough for the search's look-ahead and for long runs without rereading.
constexpr std::size_t kBufferSize = 1 << 20;

std::uint32_t Reversed(std::uint32_t code, int length) {
    std::uint32_t result = 0;
    for (int i = 0; i < length; ++i) {
        result = (result << 1) | (code & 1);
        code >>= 1;
    }
    return result;
}

struct FixedCodes {
    HuffmanCode literals;
    HuffmanCode distances;
    FixedCodes() {
        std::uint8_t lengths[288];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + 288, 8);
        literals.Build(lengths, 288, HuffmanCode::Lacking::nothing);
        // Codes 30 and 31 exist in the fixed code but are no distance.
        std::fill(lengths, lengths + 32, 5);
        distances.Build(lengths, 32, HuffmanCode::Lacking::nothing);
    }
};

const FixedCodes& Fixed() {
    static const FixedCodes codes;
    return codes;
}

bool ReadDynamicCodes(DeflateBits& bits, BlockHeader& header) {
    const int literalCount = static_cast<int>(bits.Take(5)) + 257;
    const int distanceCount = static_cast<int>(bits.Take(5)) + 1;
    const int lengthCodeCount = static_cast<int>(bits.Take(4)) + 4;
    if (literalCount > 286 || distanceCount > 30)
        return false;
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
    std::uint8_t lengths[320] = {};
    for (int i = 0; i < lengthCodeCount; ++i)
        lengths[kOrder[i]] = static_cast<std::uint8_t>(bits.Take(3));
    HuffmanCode lengthCode;
    if (!lengthCode.Build(lengths, 19, HuffmanCode::Lacking::nothing))
        return false;
    std::fill(lengths, lengths + 19, 0);
    const int total = literalCount + distanceCount;
    for (int i = 0; i < total;) {
        const int symbol = lengthCode.Decode(bits);
        if (symbol < 0 || bits.Overrun())
            return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (symbol == 16) {
            if (i == 0)
                return false;
            value = lengths[i - 1];
            repeat = 3 + static_cast<int>(bits.Take(2));
        } else if (symbol == 17) {
            repeat = 3 + static_cast<int>(bits.Take(3));
        } else {
            repeat = 11 + static_cast<int>(bits.Take(7));
        }
        if (i + repeat > total)
            return false;
        std::fill(lengths + i, lengths + i + repeat, value);
        i += repeat;
    }
    // A block without an end-of-block code could never end.
    if (lengths[256] == 0)
        return false;
    if (!header.dynamicLiterals.Build(lengths, literalCount, HuffmanCode::Lacking::oneCode) ||
        !header.dynamicDistances.Build(lengths + literalCount, distanceCount,
                                       HuffmanCode::Lacking::noneAtAll))
        return false;
    header.literals = &header.dynamicLiterals;
    header.distances = &header.dynamicDistances;
    return true;
}

} // namespace

const std::uint16_t DeflateTables::kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t DeflateTables::kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const std::uint16_t DeflateTables::kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint8_t DeflateTables::kDistanceExtra[30] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                        4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                        9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

DeflateBits::DeflateBits(CZipStorage& storage, std::uint64_t dataStart, std::uint64_t dataSize)
    : m_storage(storage), m_start(dataStart), m_size(dataSize), m_declared(dataSize),
      m_buffer(kBufferSize) {
    Seek(0);
}

void DeflateBits::Seek(std::uint64_t bit) {
    m_next = bit / 8;
    m_bits = 0;
    m_count = 0;
    Fill();
    Drop(static_cast<int>(bit % 8));
}

unsigned char DeflateBits::ByteAt(std::uint64_t offset) {
    if (offset - m_bufferAt >= m_bufferLength || offset < m_bufferAt) {
        if (offset >= m_size)
            return 0;
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBufferSize, m_size - offset));
        m_bufferAt = offset;
        m_bufferLength = m_storage.ReadAt(m_start + offset, m_buffer.data(), want);
        // The archive ends inside the data: what is missing reads as past it.
        if (m_bufferLength < want)
            m_size = offset + m_bufferLength;
        if (m_bufferLength == 0)
            return 0;
    }
    return m_buffer[offset - m_bufferAt];
}

void DeflateBits::Fill() {
    while (m_count <= 56) {
        const std::uint64_t byte = m_next < m_size ? ByteAt(m_next) : 0;
        m_bits |= byte << m_count;
        m_count += 8;
        ++m_next;
    }
}

void DeflateBits::TakeBytes(unsigned char* out, std::size_t count) {
    while (count > 0 && m_count >= 8) {
        *out++ = static_cast<unsigned char>(Take(8));
        --count;
    }
    if (count == 0)
        return;
    // The bit buffer is empty now: the bytes come straight from the buffer.
    m_bits = 0;
    m_count = 0;
    while (count > 0) {
        if (m_next >= m_size) {
            std::memset(out, 0, count);
            m_next += count;
            break;
        }
        ByteAt(m_next);
        const std::size_t run =
            std::min<std::uint64_t>(count, m_bufferAt + m_bufferLength - m_next);
        std::memcpy(out, m_buffer.data() + (m_next - m_bufferAt), run);
        out += run;
        count -= run;
        m_next += run;
    }
    Fill();
}

bool HuffmanCode::Build(const std::uint8_t* lengths, int count, Lacking lacking) {
    int perLength[16] = {};
    for (int i = 0; i < count; ++i)
        ++perLength[lengths[i]];
    perLength[0] = 0;
    int longest = 0;
    int left = 1;
    for (int length = 1; length <= 15; ++length) {
        left = (left << 1) - perLength[length];
        if (left < 0)
            return false;
        if (perLength[length] > 0)
            longest = length;
    }
    if (left > 0) {
        const bool oneCode = longest == 1 && perLength[1] == 1;
        const bool none = longest == 0;
        if (lacking == Lacking::nothing || (!oneCode && !none) ||
            (none && lacking != Lacking::noneAtAll))
            return false;
    }
    m_bits = std::max(longest, 1);
    m_table.assign(std::size_t{1} << m_bits, 0);
    int next[16] = {};
    for (int length = 1, code = 0; length <= 15; ++length) {
        code = (code + perLength[length - 1]) << 1;
        next[length] = code;
    }
    for (int symbol = 0; symbol < count; ++symbol) {
        const int length = lengths[symbol];
        if (length == 0)
            continue;
        const std::uint32_t reversed = Reversed(static_cast<std::uint32_t>(next[length]++), length);
        const auto entry = static_cast<std::uint16_t>((symbol << 4) | length);
        for (std::uint32_t i = reversed; i < m_table.size(); i += 1u << length)
            m_table[i] = entry;
    }
    return true;
}

bool ReadBlockHeader(DeflateBits& bits, BlockHeader& header) {
    header.final = bits.Take(1) != 0;
    header.type = static_cast<int>(bits.Take(2));
    switch (header.type) {
    case 0: {
        bits.AlignToByte();
        const std::uint32_t length = bits.Take(16);
        const std::uint32_t complement = bits.Take(16);
        if ((length ^ 0xFFFF) != complement)
            return false;
        header.storedLength = length;
        break;
    }
    case 1:
        header.literals = &Fixed().literals;
        header.distances = &Fixed().distances;
        break;
    case 2:
        if (!ReadDynamicCodes(bits, header))
            return false;
        break;
    default:
        return false;
    }
    return !bits.Overrun();
}
