// xz data (method 95): .xz streams through liblzma, every one of them when
// several follow one another, with the zero padding the format allows
// between them.
#include "engine/liblzma_stream.h"

namespace {

constexpr std::string_view kStreamMagic("\xFD\x37\x7A\x58\x5A\x00", 6);
// Stream padding comes in groups of four zero bytes.
constexpr std::size_t kPaddingUnit = 4;

class CXzDecoder final : public CEntryDecoder {
public:
    CXzDecoder() {
        Start();
        m_streams.Begin({});
    }
    ~CXzDecoder() override { lzma_end(&m_stream); }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (m_betweenStreams) {
            std::size_t zeros = 0;
            while (zeros < inSize && in[zeros] == 0)
                ++zeros;
            // Padding that the read buffer's end cuts off goes on in the next.
            if (zeros == inSize && zeros > 0) {
                m_padding += zeros;
                m_totalIn += zeros;
                taken = zeros;
                return Status::more;
            }
            // Bytes that begin no stream are left untaken: a descriptor that
            // follows is found where the last stream ended.
            if ((m_padding + zeros) % kPaddingUnit != 0 ||
                !BeginsStream(in + zeros, inSize - zeros, kStreamMagic))
                return Status::end;
            taken = zeros;
            m_betweenStreams = false;
            Start();
            m_streams.Begin({(m_totalIn + taken) * 8, m_totalOut});
            in += taken;
            inSize -= taken;
        }
        if (!m_ready)
            return Status::error;
        std::size_t rest = 0;
        const Status status = LiblzmaStep(m_stream, in, inSize, rest, out, outSize, made);
        taken += rest;
        m_totalIn += taken;
        m_totalOut += made;
        if (status != Status::end)
            return status;
        m_betweenStreams = true;
        m_padding = 0;
        return Status::more;
    }

    bool DescribeBlocks(std::vector<BlockStart>& recent,
                        std::vector<unsigned char>& history) override {
        return m_streams.Describe(recent, history);
    }

    bool BeginsFrame(const unsigned char* head) const override {
        return BeginsStream(head, kStreamMagic.size(), kStreamMagic);
    }

private:
    void Start() { m_ready = lzma_stream_decoder(&m_stream, kLiblzmaMemoryLimit, 0) == LZMA_OK; }

    lzma_stream m_stream = LZMA_STREAM_INIT;
    bool m_ready = false;
    bool m_betweenStreams = false;
    std::size_t m_padding = 0;
    std::uint64_t m_totalIn = 0;
    std::uint64_t m_totalOut = 0;
    CBlockLog m_streams;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeXzDecoder() {
    return std::make_unique<CXzDecoder>();
}
