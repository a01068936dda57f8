// xz data (method 95): a whole .xz stream, through liblzma.
#include "engine/liblzma_stream.h"

namespace {

class CXzDecoder final : public CEntryDecoder {
public:
    CXzDecoder() { m_ready = lzma_stream_decoder(&m_stream, kLiblzmaMemoryLimit, 0) == LZMA_OK; }
    ~CXzDecoder() override { lzma_end(&m_stream); }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (!m_ready)
            return Status::error;
        return LiblzmaStep(m_stream, in, inSize, taken, out, outSize, made);
    }

private:
    lzma_stream m_stream = LZMA_STREAM_INIT;
    bool m_ready = false;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeXzDecoder() {
    return std::make_unique<CXzDecoder>();
}
