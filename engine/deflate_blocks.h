// A raw-deflate block decoder that can start at any bit of an entry's data.
// Salvage past damage needs what a streaming inflater hides: where each
// block starts, a header read on its own, and a body decoded into a sink
// that may not know the bytes before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CZipStorage;

// An entry's compressed data read bit by bit (least significant first), from
// any bit, through a buffer. Bits past the data read as zero and set Overrun.
class DeflateBits {
public:
    DeflateBits(CZipStorage& storage, std::uint64_t dataStart, std::uint64_t dataSize);

    void Seek(std::uint64_t bit);
    // Bits taken so far, counted from the start of the data.
    std::uint64_t Position() const { return m_next * 8 - m_count; }
    std::uint64_t SizeBits() const { return m_size * 8; }
    bool Overrun() const { return Position() > SizeBits(); }
    // The archive ends before the data does.
    bool Cut() const { return m_size < m_declared; }

    // The next `count` bits (at most 32) without taking them.
    std::uint32_t Peek(int count) {
        if (m_count < count)
            Fill();
        return static_cast<std::uint32_t>(m_bits & ((std::uint64_t{1} << count) - 1));
    }
    void Drop(int count) {
        m_bits >>= count;
        m_count -= count;
    }
    std::uint32_t Take(int count) {
        const std::uint32_t value = Peek(count);
        Drop(count);
        return value;
    }
    void AlignToByte() { Drop(m_count % 8); }
    // Copies `count` whole bytes; the reader must stand at a byte boundary.
    void TakeBytes(unsigned char* out, std::size_t count);

private:
    void Fill();
    unsigned char ByteAt(std::uint64_t offset);

    CZipStorage& m_storage;
    std::uint64_t m_start;
    std::uint64_t m_size;
    std::uint64_t m_declared;
    std::vector<unsigned char> m_buffer;
    std::uint64_t m_bufferAt = 0;
    std::size_t m_bufferLength = 0;
    // The next byte to enter the bit buffer, and the bits waiting in it.
    std::uint64_t m_next = 0;
    std::uint64_t m_bits = 0;
    int m_count = 0;
};

// A canonical Huffman code as deflate builds it from code lengths, decoded
// through one table indexed by the next bits.
class HuffmanCode {
public:
    // What an incomplete set of lengths may still be.
    enum class Lacking {
        nothing,   // every code must be used: the code-length code
        oneCode,   // a single code of length 1 (literal/length codes)
        noneAtAll, // that, or no codes at all (distance codes)
    };
    // False when the lengths do not make a usable code: over-subscribed, or
    // incomplete beyond what `lacking` allows.
    bool Build(const std::uint8_t* lengths, int count, Lacking lacking);
    // The next symbol, or -1 for bits that are no code.
    int Decode(DeflateBits& bits) const {
        const std::uint16_t entry = m_table[bits.Peek(m_bits)];
        if (entry == 0)
            return -1;
        bits.Drop(entry & 15);
        return entry >> 4;
    }

private:
    std::vector<std::uint16_t> m_table;
    int m_bits = 0;
};

struct BlockHeader {
    bool final = false;
    int type = 0; // 0 stored, 1 fixed codes, 2 dynamic codes
    std::uint32_t storedLength = 0;
    // The fixed codes, built once, or the dynamic ones below.
    const HuffmanCode* literals = nullptr;
    const HuffmanCode* distances = nullptr;
    HuffmanCode dynamicLiterals;
    HuffmanCode dynamicDistances;
};

// Reads a block header at the reader's position; false when no valid block
// can start there (type 3, a stored length whose complement disagrees, a
// dynamic header whose codes are not complete, or the data ends first).
bool ReadBlockHeader(DeflateBits& bits, BlockHeader& header);

// What a block body came to.
enum class BodyEnd {
    endOfBlock,
    invalid, // a symbol or distance that is no code, or the sink refused
    overrun, // the data ends first
};

// Length and distance bases of deflate's length codes 257..285 and
// distance codes 0..29.
struct DeflateTables {
    static const std::uint16_t kLengthBase[29];
    static const std::uint8_t kLengthExtra[29];
    static const std::uint16_t kDistanceBase[30];
    static const std::uint8_t kDistanceExtra[30];
};

// Decodes a block body into `sink`, which takes Literal(byte),
// Copy(distance, length) and Stored(bits, length), each returning false to
// stop as invalid.
template <class Sink>
BodyEnd DecodeBlockBody(DeflateBits& bits, const BlockHeader& header, Sink& sink) {
    if (header.type == 0) {
        if (!sink.Stored(bits, header.storedLength))
            return BodyEnd::invalid;
        return bits.Overrun() ? BodyEnd::overrun : BodyEnd::endOfBlock;
    }
    for (;;) {
        const int symbol = header.literals->Decode(bits);
        if (bits.Overrun())
            return BodyEnd::overrun;
        if (symbol < 0 || symbol > 285)
            return BodyEnd::invalid;
        if (symbol < 256) {
            if (!sink.Literal(static_cast<unsigned char>(symbol)))
                return BodyEnd::invalid;
            continue;
        }
        if (symbol == 256)
            return BodyEnd::endOfBlock;
        const int code = symbol - 257;
        const std::uint32_t length =
            DeflateTables::kLengthBase[code] + bits.Take(DeflateTables::kLengthExtra[code]);
        const int distanceCode = header.distances->Decode(bits);
        if (distanceCode < 0 || distanceCode > 29)
            return BodyEnd::invalid;
        const std::uint32_t distance = DeflateTables::kDistanceBase[distanceCode] +
                                       bits.Take(DeflateTables::kDistanceExtra[distanceCode]);
        if (bits.Overrun())
            return BodyEnd::overrun;
        if (!sink.Copy(distance, length))
            return BodyEnd::invalid;
    }
}
