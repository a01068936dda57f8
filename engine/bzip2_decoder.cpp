// bzip2 data (method 12) through libbz2: every stream, when several follow
// one another (a parallel writer's), and where each block began, from which
// a search past a damaged block starts.
#include "engine/entry_decoder.h"
#include "engine/fast_inflate.h"

#include <algorithm>
#include <bzlib.h>
#include <limits>

namespace {

// "BZh" and the level digit, which libbz2 checks.
constexpr std::string_view kStreamMagic("BZh", 3);
constexpr std::uint64_t kStreamHeaderBits = 32;

class CBzip2Decoder final : public CEntryDecoder {
public:
    CBzip2Decoder() { Start(); }
    ~CBzip2Decoder() override {
        if (m_ready)
            BZ2_bzDecompressEnd(&m_stream);
    }

    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (m_betweenStreams) {
            if (!BeginsStream(in, inSize, kStreamMagic))
                return Status::end;
            BZ2_bzDecompressEnd(&m_stream);
            Start();
        }
        if (!m_ready)
            return Status::error;
        // libbz2 decodes a whole block before it hands out any of it, and
        // checks the block's CRC once all is out. So the block being handed
        // out goes first, without input: where its output runs dry, the
        // block was sound and the next one begins.
        int result = Step(nullptr, 0, out, outSize, taken, made);
        m_handingOut = m_handingOut || made > 0;
        if (result != BZ_OK || made == outSize)
            return Judge(result);
        if (m_handingOut) {
            // libbz2 reads whole bytes: the next block's marker begins in
            // the last one it took, or right after it.
            const std::uint64_t bit = m_totalIn * 8;
            m_blocks.Begin({bit > 7 ? bit - 7 : 0, m_totalOut, m_crc});
            m_handingOut = false;
        }
        // Then input, with room for one byte: the block it completes is
        // handed out in the next call, where the step above sees its end.
        std::size_t more = 0;
        result = Step(in, inSize, out + made, 1, taken, more);
        made += more;
        m_handingOut = more > 0;
        return Judge(result);
    }

    bool DescribeBlocks(std::vector<BlockStart>& recent,
                        std::vector<unsigned char>& history) override {
        return m_blocks.Describe(recent, history);
    }

private:
    void Start() {
        m_stream = bz_stream{};
        m_ready = BZ2_bzDecompressInit(&m_stream, 0, 0) == BZ_OK;
        m_betweenStreams = false;
        m_handingOut = false;
        m_blocks.Begin({m_totalIn * 8 + kStreamHeaderBits, m_totalOut, m_crc});
    }

    int Step(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
             std::size_t& taken, std::size_t& made) {
        constexpr std::size_t most = std::numeric_limits<unsigned>::max();
        static char nothing = 0;
        m_stream.next_in =
            inSize > 0 ? const_cast<char*>(reinterpret_cast<const char*>(in)) : &nothing;
        m_stream.avail_in = static_cast<unsigned>(std::min(inSize, most));
        m_stream.next_out = reinterpret_cast<char*>(out);
        m_stream.avail_out = static_cast<unsigned>(std::min(outSize, most));
        const unsigned inBefore = m_stream.avail_in;
        const unsigned outBefore = m_stream.avail_out;
        const int result = BZ2_bzDecompress(&m_stream);
        const unsigned took = inBefore - m_stream.avail_in;
        const unsigned gave = outBefore - m_stream.avail_out;
        taken += took;
        made += gave;
        m_totalIn += took;
        m_totalOut += gave;
        m_crc = Crc32(m_crc, out, gave);
        return result;
    }

    Status Judge(int result) {
        if (result == BZ_STREAM_END) {
            m_betweenStreams = true;
            return Status::more;
        }
        return result == BZ_OK ? Status::more : Status::error;
    }

    bz_stream m_stream{};
    bool m_ready = false;
    bool m_betweenStreams = false;
    // The last call handed out bytes of a block.
    bool m_handingOut = false;
    std::uint64_t m_totalIn = 0;
    std::uint64_t m_totalOut = 0;
    // Of all it gave: a block that fails is cut off where it began.
    std::uint32_t m_crc = 0;
    CBlockLog m_blocks;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakeBzip2Decoder() {
    return std::make_unique<CBzip2Decoder>();
}
