// The decoders of compressed entry data behind the one entry-reading loop:
// each takes compressed bytes as the archive yields them and hands out what
// they decode, so every method is salvaged, cut short and judged alike.
#pragma once

#include "engine/deflate_resync.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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

    // Deflated data: where the last blocks began and the last 32 KiB it
    // gave, from which a search past damage starts. False for the others.
    virtual bool DescribeBlocks(std::vector<BlockStart>& /*recent*/,
                                std::vector<unsigned char>& /*history*/) {
        return false;
    }

    // Once Decode said error: why the data cannot be decoded at all (a
    // setting the decoder does not take), or empty when the data is bad.
    virtual std::string Refusal() const { return {}; }
};

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
