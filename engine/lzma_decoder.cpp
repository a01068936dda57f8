// LZMA data (method 14) through liblzma's raw LZMA1 decoder. The data
// starts with the ZIP form's own header: two version bytes, the size of
// the properties (16 bits), then the properties (5 bytes for LZMA1). The
// stream may end with an end marker (flag bit 1) or just stop at the
// entry's size; the reader stops asking at that size either way.
#include "engine/liblzma_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kVersionAndSize = 4;
constexpr std::size_t kLzma1Properties = 5;

class CLzmaDecoder final : public CEntryDecoder {
public:
    ~CLzmaDecoder() override { lzma_end(&m_stream); }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (!m_ready) {
            // The header may come in pieces.
            const std::size_t want = kVersionAndSize + kLzma1Properties - m_headerSize;
            taken = std::min(want, inSize);
            std::memcpy(m_header + m_headerSize, in, taken);
            m_headerSize += taken;
            if (m_headerSize >= kVersionAndSize &&
                (m_header[2] | m_header[3] << 8) != kLzma1Properties)
                return Status::error;
            if (m_headerSize < sizeof m_header)
                return Status::more;
            if (!Start())
                return Status::error;
            in += taken;
            inSize -= taken;
        }
        std::size_t rest = 0;
        const Status status = LiblzmaStep(m_stream, in, inSize, rest, out, outSize, made);
        taken += rest;
        return status;
    }

private:
    bool Start() {
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, m_header + kVersionAndSize,
                                   kLzma1Properties) != LZMA_OK)
            return false;
        auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
        m_ready = options->dict_size <= kLiblzmaMemoryLimit &&
                  lzma_raw_decoder(&m_stream, filters) == LZMA_OK;
        std::free(options);
        return m_ready;
    }

    lzma_stream m_stream = LZMA_STREAM_INIT;
    unsigned char m_header[kVersionAndSize + kLzma1Properties] = {};
    std::size_t m_headerSize = 0;
    bool m_ready = false;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeLzmaDecoder() {
    return std::make_unique<CLzmaDecoder>();
}
