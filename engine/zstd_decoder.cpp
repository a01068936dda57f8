// Zstandard data (methods 93 and 20) through libzstd: every frame, one
// after the other, skippable ones included.
#include "engine/entry_decoder.h"

#include <zstd.h>

namespace {

// A frame's magic number, and that of a skippable frame (0x184D2A5?), as
// they stand in the data.
constexpr std::string_view kFrameMagic("\x28\xB5\x2F\xFD", 4);
constexpr std::string_view kSkippableMagic("\x50\x2A\x4D\x18", 4);

class CZstdDecoder final : public CEntryDecoder {
public:
    // libzstd's own window limit (128 MiB by default) bounds the memory a
    // frame may claim; a larger claim is a decoding error.
    CZstdDecoder() : m_stream(ZSTD_createDStream()) { m_frames.Begin({}); }
    ~CZstdDecoder() override { ZSTD_freeDStream(m_stream); }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (m_stream == nullptr)
            return Status::error;
        if (m_betweenFrames) {
            if (!IsMagic(in, inSize))
                return Status::end;
            m_betweenFrames = false;
            m_frames.Begin({m_totalIn * 8, m_totalOut});
        }
        ZSTD_inBuffer input{in, inSize, 0};
        ZSTD_outBuffer output{out, outSize, 0};
        const std::size_t result = ZSTD_decompressStream(m_stream, &output, &input);
        taken = input.pos;
        made = output.pos;
        m_totalIn += taken;
        m_totalOut += made;
        if (ZSTD_isError(result))
            return Status::error;
        // 0: a frame ended and all it decoded is out; another may follow.
        m_betweenFrames = result == 0;
        return Status::more;
    }

    bool DescribeBlocks(std::vector<BlockStart>& recent,
                        std::vector<unsigned char>& history) override {
        return m_frames.Describe(recent, history);
    }

    bool BeginsFrame(const unsigned char* head) const override {
        return IsMagic(head, kFrameMagic.size());
    }

private:
    static bool IsMagic(const unsigned char* in, std::size_t inSize) {
        return BeginsStream(in, inSize, kFrameMagic) ||
               BeginsStream(in, inSize, kSkippableMagic, 0xF0);
    }

    ZSTD_DStream* m_stream;
    std::uint64_t m_totalIn = 0;
    std::uint64_t m_totalOut = 0;
    CBlockLog m_frames;
    bool m_betweenFrames = false;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeZstdDecoder() {
    return std::make_unique<CZstdDecoder>();
}
