// Deflated data (method 8) as a raw stream through zlib.
#include "engine/entry_decoder.h"
#include "engine/zip_exception.h"
#include "engine/zlib_memory.h"

#include <string>
#include <zlib.h>

namespace {

class CInflateDecoder final : public CEntryDecoder {
public:
    explicit CInflateDecoder(void* zlibBlocks) {
        m_stream.zalloc = ZipAllocate;
        m_stream.zfree = ZipFree;
        m_stream.opaque = zlibBlocks;
        // Negative window bits: raw deflate, no zlib header or trailer.
        const int result =
            inflateInit2_(&m_stream, -MAX_WBITS, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
        if (result != Z_OK && result != Z_NEED_DICT)
            ThrowZipError(result, std::wstring());
    }
    ~CInflateDecoder() override { inflateEnd(&m_stream); }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        m_stream.next_in = const_cast<Bytef*>(in);
        m_stream.avail_in = static_cast<uInt>(inSize);
        m_stream.next_out = out;
        m_stream.avail_out = static_cast<uInt>(outSize);
        const int result = inflate(&m_stream, Z_SYNC_FLUSH);
        taken = inSize - m_stream.avail_in;
        made = outSize - m_stream.avail_out;
        if (result == Z_STREAM_END)
            return Status::end;
        // Z_DATA_ERROR, Z_MEM_ERROR, Z_BUF_ERROR (out of input) and anything
        // else zlib refuses end the entry as a decoding error.
        return result == Z_OK || result == Z_NEED_DICT ? Status::more : Status::error;
    }

private:
    z_stream m_stream{};
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeInflateDecoder(void* zlibBlocks) {
    return std::make_unique<CInflateDecoder>(zlibBlocks);
}
