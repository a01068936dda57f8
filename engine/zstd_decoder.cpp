// Zstandard data (methods 93 and 20) through libzstd.
#include "engine/entry_decoder.h"

#include <zstd.h>

namespace {

class CZstdDecoder final : public CEntryDecoder {
public:
    // libzstd's own window limit (128 MiB by default) bounds the memory a
    // frame may claim; a larger claim is a decoding error.
    CZstdDecoder() : m_stream(ZSTD_createDStream()) {}
    ~CZstdDecoder() override { ZSTD_freeDStream(m_stream); }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (m_stream == nullptr)
            return Status::error;
        ZSTD_inBuffer input{in, inSize, 0};
        ZSTD_outBuffer output{out, outSize, 0};
        const std::size_t result = ZSTD_decompressStream(m_stream, &output, &input);
        taken = input.pos;
        made = output.pos;
        if (ZSTD_isError(result))
            return Status::error;
        // 0: a frame ended and all it decoded is out.
        return result == 0 ? Status::end : Status::more;
    }

private:
    ZSTD_DStream* m_stream;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeZstdDecoder() {
    return std::make_unique<CZstdDecoder>();
}
