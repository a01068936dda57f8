// Deflate64 data (method 9): deflate with a 64 KiB window, length code 285
// taking 16 extra bits over a base of 3, and distance codes 30 and 31
// reaching back up to 65536 bytes. No packaged library reads it.
//
// The decoder keeps the input it was given and goes back to the start of
// an item (a block header, a symbol with its extra bits) when the input
// ends inside one, so it can take the data in any pieces. It holds at most
// kMostHeld input bytes, which keeps its memory flat however much a stream
// expands.
#include "engine/entry_decoder.h"

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kWindowSize = 1 << 16;
constexpr std::size_t kMostHeld = 1 << 15;
// Codes are at most 15 bits: one table lookup decodes a symbol.
constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kCodeLengthBits = 7;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::array<std::uint16_t, 32> kDistanceBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistanceExtra = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                                         4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                                         10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// The order in which a dynamic block lists the code lengths' own lengths.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code as a table indexed by the next `bits` input
// bits (first bit lowest); an entry of length 0 is no code.
class HuffmanTable {
public:
    struct Entry {
        std::uint16_t symbol = 0;
        std::uint8_t length = 0;
    };

    // False when the lengths over-subscribe the code space.
    bool Build(const std::uint8_t* lengths, std::size_t count, unsigned bits) {
        m_bits = bits;
        m_entries.assign(std::size_t{1} << bits, Entry{});
        std::array<unsigned, kMaxCodeBits + 1> perLength{};
        for (std::size_t i = 0; i < count; ++i)
            ++perLength[lengths[i]];
        perLength[0] = 0;
        std::array<unsigned, kMaxCodeBits + 2> next{};
        int left = 1;
        for (unsigned length = 1; length <= bits; ++length) {
            left = 2 * left - static_cast<int>(perLength[length]);
            if (left < 0)
                return false;
            next[length + 1] = (next[length] + perLength[length]) << 1;
        }
        for (std::size_t symbol = 0; symbol < count; ++symbol) {
            const unsigned length = lengths[symbol];
            if (length == 0)
                continue;
            const unsigned code = next[length]++;
            unsigned reversed = 0;
            for (unsigned i = 0; i < length; ++i)
                reversed |= ((code >> i) & 1U) << (length - 1 - i);
            for (std::size_t fill = reversed; fill < m_entries.size();
                 fill += std::size_t{1} << length)
                m_entries[fill] = {static_cast<std::uint16_t>(symbol),
                                   static_cast<std::uint8_t>(length)};
        }
        return true;
    }

    const Entry& Look(std::uint64_t bits) const {
        return m_entries[bits & ((std::uint64_t{1} << m_bits) - 1)];
    }
    unsigned Bits() const { return m_bits; }

private:
    std::vector<Entry> m_entries;
    unsigned m_bits = 0;
};

class CDeflate64Decoder final : public CEntryDecoder {
public:
    CDeflate64Decoder() : m_window(kWindowSize) {}

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        // What was read before this call is gone from the buffer; the bits
        // taken from it wait in m_bits.
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos = 0;
        if (m_input.size() < kMostHeld) {
            taken = std::min(inSize, kMostHeld);
            m_input.insert(m_input.end(), in, in + taken);
        }
        m_out = out;
        m_outSize = outSize;
        m_made = 0;
        const Step step = Run();
        made = m_made;
        if (step == Step::bad)
            return Status::error;
        return m_stage == Stage::done ? Status::end : Status::more;
    }

private:
    enum class Stage { header, stored, codes, done };
    enum class Step { ok, needInput, bad };

    struct Mark {
        std::size_t pos;
        std::uint64_t bits;
        unsigned count;
    };
    Mark Save() const { return {m_pos, m_bits, m_bitCount}; }
    void Restore(const Mark& mark) {
        m_pos = mark.pos;
        m_bits = mark.bits;
        m_bitCount = mark.count;
    }

    // Fills the bit buffer with what input there is, up to `want` bits.
    void Fill(unsigned want) {
        while (m_bitCount < want && m_pos < m_input.size()) {
            m_bits |= std::uint64_t{m_input[m_pos++]} << m_bitCount;
            m_bitCount += 8;
        }
    }
    bool Get(unsigned count, std::uint32_t& value) {
        Fill(count);
        if (m_bitCount < count)
            return false;
        value = static_cast<std::uint32_t>(m_bits & ((std::uint64_t{1} << count) - 1));
        m_bits >>= count;
        m_bitCount -= count;
        return true;
    }
    Step Symbol(const HuffmanTable& table, unsigned& symbol) {
        Fill(table.Bits());
        const HuffmanTable::Entry& entry = table.Look(m_bits);
        if (entry.length == 0 || entry.length > m_bitCount)
            // With every bit of a code at hand, a hole in the table is bad
            // data; with fewer, the rest of the code may still come.
            return m_bitCount >= table.Bits() ? Step::bad : Step::needInput;
        m_bits >>= entry.length;
        m_bitCount -= entry.length;
        symbol = entry.symbol;
        return Step::ok;
    }

    void Put(unsigned char byte) {
        m_out[m_made++] = byte;
        m_window[m_windowPos] = byte;
        m_windowPos = (m_windowPos + 1) & (kWindowSize - 1);
        ++m_total;
    }

    Step Run() {
        for (;;) {
            // A match that the last call had no room for goes on first.
            while (m_copyLeft > 0) {
                if (m_made == m_outSize)
                    return Step::ok;
                Put(m_window[(m_windowPos - m_copyDistance) & (kWindowSize - 1)]);
                --m_copyLeft;
            }
            const Mark mark = Save();
            Step step = Step::ok;
            switch (m_stage) {
            case Stage::done:
                return Step::ok;
            case Stage::header:
                step = Header();
                break;
            case Stage::stored:
                step = Stored();
                break;
            case Stage::codes:
                if (m_made == m_outSize)
                    return Step::ok;
                step = Codes();
                break;
            }
            if (step == Step::needInput) {
                Restore(mark);
                return Step::ok;
            }
            if (step == Step::bad)
                return step;
            if (m_stage == Stage::stored && m_storedLeft > 0 && m_made == m_outSize)
                return Step::ok;
        }
    }

    Step Header() {
        std::uint32_t last = 0;
        std::uint32_t type = 0;
        if (!Get(1, last) || !Get(2, type))
            return Step::needInput;
        m_last = last != 0;
        if (type == 0) {
            // To the byte boundary, then the length and its complement.
            m_bits >>= m_bitCount % 8;
            m_bitCount -= m_bitCount % 8;
            std::uint32_t length = 0;
            std::uint32_t complement = 0;
            if (!Get(16, length) || !Get(16, complement))
                return Step::needInput;
            if ((length ^ 0xFFFF) != complement)
                return Step::bad;
            m_storedLeft = length;
            m_stage = Stage::stored;
            return Step::ok;
        }
        if (type == 1)
            return FixedCodes();
        if (type == 2)
            return DynamicCodes();
        return Step::bad;
    }

    Step FixedCodes() {
        std::array<std::uint8_t, 288> lengths{};
        std::fill(lengths.begin(), lengths.begin() + 144, 8);
        std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
        std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
        std::fill(lengths.begin() + 280, lengths.end(), 8);
        std::array<std::uint8_t, 32> distances{};
        distances.fill(5);
        m_literals.Build(lengths.data(), lengths.size(), kMaxCodeBits);
        m_distances.Build(distances.data(), distances.size(), kMaxCodeBits);
        m_stage = Stage::codes;
        return Step::ok;
    }

    Step DynamicCodes() {
        std::uint32_t literals = 0;
        std::uint32_t distances = 0;
        std::uint32_t codeLengths = 0;
        if (!Get(5, literals) || !Get(5, distances) || !Get(4, codeLengths))
            return Step::needInput;
        literals += 257;
        distances += 1;
        codeLengths += 4;
        std::array<std::uint8_t, 19> lengthLengths{};
        for (std::uint32_t i = 0; i < codeLengths; ++i) {
            std::uint32_t length = 0;
            if (!Get(3, length))
                return Step::needInput;
            lengthLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(length);
        }
        if (!m_codeLengths.Build(lengthLengths.data(), lengthLengths.size(), kCodeLengthBits))
            return Step::bad;
        std::array<std::uint8_t, 288 + 32> lengths{};
        const std::uint32_t total = literals + distances;
        for (std::uint32_t i = 0; i < total;) {
            unsigned symbol = 0;
            if (const Step step = Symbol(m_codeLengths, symbol); step != Step::ok)
                return step;
            if (symbol < 16) {
                lengths[i++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint32_t repeat = 0;
            std::uint8_t value = 0;
            if (symbol == 16) {
                if (i == 0)
                    return Step::bad;
                value = lengths[i - 1];
                if (!Get(2, repeat))
                    return Step::needInput;
                repeat += 3;
            } else if (symbol == 17) {
                if (!Get(3, repeat))
                    return Step::needInput;
                repeat += 3;
            } else {
                if (!Get(7, repeat))
                    return Step::needInput;
                repeat += 11;
            }
            if (i + repeat > total)
                return Step::bad;
            std::fill_n(lengths.begin() + i, repeat, value);
            i += repeat;
        }
        if (lengths[256] == 0 || !m_literals.Build(lengths.data(), literals, kMaxCodeBits) ||
            !m_distances.Build(lengths.data() + literals, distances, kMaxCodeBits))
            return Step::bad;
        m_stage = Stage::codes;
        return Step::ok;
    }

    Step Stored() {
        // After the header the bit buffer holds whole bytes only: those
        // first, then straight from the input.
        const std::size_t before = m_made;
        while (m_storedLeft > 0 && m_made < m_outSize && m_bitCount >= 8) {
            Put(static_cast<unsigned char>(m_bits));
            m_bits >>= 8;
            m_bitCount -= 8;
            --m_storedLeft;
        }
        while (m_storedLeft > 0 && m_made < m_outSize && m_pos < m_input.size()) {
            Put(m_input[m_pos++]);
            --m_storedLeft;
        }
        if (m_storedLeft == 0)
            EndBlock();
        else if (m_made == before && m_made < m_outSize)
            return Step::needInput;
        return Step::ok;
    }

    Step Codes() {
        unsigned symbol = 0;
        if (const Step step = Symbol(m_literals, symbol); step != Step::ok)
            return step;
        if (symbol < 256) {
            Put(static_cast<unsigned char>(symbol));
            return Step::ok;
        }
        if (symbol == 256) {
            EndBlock();
            return Step::ok;
        }
        if (symbol > 285)
            return Step::bad;
        std::uint32_t extra = 0;
        if (!Get(kLengthExtra[symbol - 257], extra))
            return Step::needInput;
        const std::uint32_t length = kLengthBase[symbol - 257] + extra;
        unsigned code = 0;
        if (const Step step = Symbol(m_distances, code); step != Step::ok)
            return step;
        if (!Get(kDistanceExtra[code], extra))
            return Step::needInput;
        const std::uint32_t distance = kDistanceBase[code] + extra;
        if (distance > m_total || distance > kWindowSize)
            return Step::bad;
        m_copyLeft = length;
        m_copyDistance = distance;
        return Step::ok;
    }

    void EndBlock() { m_stage = m_last ? Stage::done : Stage::header; }

    std::vector<unsigned char> m_input;
    std::size_t m_pos = 0;
    std::uint64_t m_bits = 0;
    unsigned m_bitCount = 0;

    std::vector<unsigned char> m_window;
    std::size_t m_windowPos = 0;
    std::uint64_t m_total = 0;
    unsigned char* m_out = nullptr;
    std::size_t m_outSize = 0;
    std::size_t m_made = 0;

    Stage m_stage = Stage::header;
    bool m_last = false;
    std::uint32_t m_storedLeft = 0;
    std::uint32_t m_copyLeft = 0;
    std::uint32_t m_copyDistance = 0;
    HuffmanTable m_literals;
    HuffmanTable m_distances;
    HuffmanTable m_codeLengths;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeDeflate64Decoder() {
    return std::make_unique<CDeflate64Decoder>();
}
