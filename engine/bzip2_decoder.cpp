// bzip2 data (method 12) through libbz2.
#include "engine/entry_decoder.h"

#include <algorithm>
#include <bzlib.h>
#include <limits>

namespace {

class CBzip2Decoder final : public CEntryDecoder {
public:
    CBzip2Decoder() { m_ready = BZ2_bzDecompressInit(&m_stream, 0, 0) == BZ_OK; }
    ~CBzip2Decoder() override {
        if (m_ready)
            BZ2_bzDecompressEnd(&m_stream);
    }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (!m_ready)
            return Status::error;
        constexpr std::size_t most = std::numeric_limits<unsigned>::max();
        m_stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(in));
        m_stream.avail_in = static_cast<unsigned>(std::min(inSize, most));
        m_stream.next_out = reinterpret_cast<char*>(out);
        m_stream.avail_out = static_cast<unsigned>(std::min(outSize, most));
        const unsigned inBefore = m_stream.avail_in;
        const unsigned outBefore = m_stream.avail_out;
        const int result = BZ2_bzDecompress(&m_stream);
        taken = inBefore - m_stream.avail_in;
        made = outBefore - m_stream.avail_out;
        if (result == BZ_STREAM_END)
            return Status::end;
        return result == BZ_OK ? Status::more : Status::error;
    }

private:
    bz_stream m_stream{};
    bool m_ready = false;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeBzip2Decoder() {
    return std::make_unique<CBzip2Decoder>();
}
