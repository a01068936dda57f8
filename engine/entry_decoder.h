// The decoders of compressed entry data behind the one entry-reading loop:
// each takes compressed bytes as the archive yields them and hands out what
// they decode, so every method is salvaged, cut short and judged alike.
#pragma once

#include "engine/resync.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CEntryDecoder {
public:
    enum class Status {
        more,  // give it more input, or more room for output
        end,   // the stream ended where it says it ends
        error, // the data is bad, or the decoder cannot go on
    };
    virtual ~CEntryDecoder() = default;

    // Takes what it wants of the `inSize` bytes at `in` and fills what it
    // can of the `outSize` bytes at `out`; `taken` and `made` say how much.
    // `more` with nothing taken and nothing made: it needs input that did
    // not come, so the data ends early.
    virtual Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                          unsigned char* out, std::size_t outSize, std::size_t& made) = 0;

    // Where the last blocks (frames) began, and for deflated data the last
    // 32 KiB it gave, from which a search past damage starts. False where
    // no search is made.
    virtual bool DescribeBlocks(std::vector<BlockStart>& /*recent*/,
                                std::vector<unsigned char>& /*history*/) {
        return false;
    }

    // Methods whose frames begin with a magic number at a byte boundary:
    // whether one begins at `head` (8 bytes at hand).
    virtual bool BeginsFrame(const unsigned char* /*head*/) const { return false; }

    // Once Decode said error: why the data cannot be decoded at all (a
    // setting the decoder does not take), or empty when the data is bad.
    virtual std::string Refusal() const { return {}; }
};

// Where a decoder's last blocks or frames began, as DescribeBlocks tells.
class CBlockLog {
public:
    void Begin(const BlockStart& block) {
        // A few are kept: a search needs only the last.
        constexpr std::size_t kKept = 4;
        if (m_blocks.size() == kKept)
            m_blocks.erase(m_blocks.begin());
        m_blocks.push_back(block);
    }
    // What DescribeBlocks hands out, with no history.
    bool Describe(std::vector<BlockStart>& recent, std::vector<unsigned char>& history) const {
        recent = m_blocks;
        history.clear();
        return true;
    }

private:
    std::vector<BlockStart> m_blocks;
};

// Entries whose data is several streams one after the other (a parallel
// writer's frames, files packed apart and joined): after one ended, the
// `inSize` bytes at `in` begin another when they begin with `magic`, its
// first byte masked by `firstMask` for numbers that come in a range. A
// magic the read buffer's end cuts short is taken on trust; the stream's
// decoder checks it whole. Anything else (a descriptor, junk) ends the data.
bool BeginsStream(const unsigned char* in, std::size_t inSize, std::string_view magic,
                  unsigned char firstMask = 0xFF);

// The name a compression method has in the ZIP format ("bzip2", "reduced",
// "AE-x"), or nullptr for a number it gives none.
const char* CompressionMethodName(std::uint16_t method);

// "stored", "deflated", the format's name, or "method N": how lists show it.
std::string MethodLabel(std::uint16_t method);

// This engine has a decoder for the method (stored counts as one).
bool MethodKnown(std::uint16_t method);
// ...and this build has it: the libraries a method needs are optional.
bool MethodBuilt(std::uint16_t method);

// A decoder for a method that MethodBuilt accepts. `zlibBlocks`, when not
// null, records the blocks the deflate decoder allocates so that an
// abandoned stream's memory is reclaimed.
std::unique_ptr<CEntryDecoder> MakeEntryDecoder(std::uint16_t method, void* zlibBlocks);

// One decoder a method, each in its own file.
std::unique_ptr<CEntryDecoder> MakeInflateDecoder(void* zlibBlocks);
std::unique_ptr<CEntryDecoder> MakeDeflate64Decoder();
std::unique_ptr<CEntryDecoder> MakeBzip2Decoder();
std::unique_ptr<CEntryDecoder> MakeLzmaDecoder();
std::unique_ptr<CEntryDecoder> MakeXzDecoder();
std::unique_ptr<CEntryDecoder> MakeZstdDecoder();
std::unique_ptr<CEntryDecoder> MakePpmdDecoder();
