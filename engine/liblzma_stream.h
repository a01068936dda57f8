// One step of a liblzma stream, as the entry decoders of LZMA and xz take
// it.
#pragma once

#include "engine/entry_decoder.h"

#include <lzma.h>

// The most a stream's dictionary may claim: more is no entry a ZIP writer
// makes, and a damaged header must not take the machine's memory.
constexpr std::uint64_t kLiblzmaMemoryLimit = std::uint64_t{1} << 30;

inline CEntryDecoder::Status LiblzmaStep(lzma_stream& stream, const unsigned char* in,
                                         std::size_t inSize, std::size_t& taken, unsigned char* out,
                                         std::size_t outSize, std::size_t& made) {
    stream.next_in = in;
    stream.avail_in = inSize;
    stream.next_out = out;
    stream.avail_out = outSize;
    const lzma_ret result = lzma_code(&stream, LZMA_RUN);
    taken = inSize - stream.avail_in;
    made = outSize - stream.avail_out;
    if (result == LZMA_STREAM_END)
        return CEntryDecoder::Status::end;
    // LZMA_BUF_ERROR (no progress) is left to the reader's own rule.
    return result == LZMA_OK || result == LZMA_BUF_ERROR ? CEntryDecoder::Status::more
                                                         : CEntryDecoder::Status::error;
}
