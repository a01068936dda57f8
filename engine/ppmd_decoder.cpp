// PPMd data (method 98): variant I, revision 1. The data starts with a
// 16-bit little-endian word: model order - 1 (bits 0-3), model memory in
// MiB - 1 (bits 4-11), and what to do when that memory is full (bits
// 12-15: 0 restart the model, 1 cut it back). Some writers end the stream
// with an escape out of the root context; the others just stop at the
// entry's size, where the reader stops asking.
//
// A symbol may need input up to the model's kMostInputPerSymbol bytes
// ahead. The decoder holds that much before it decodes one, unless the
// input has run out (a call with none): then a symbol that reads past the
// end is the end of what the data holds.
#include "engine/entry_decoder.h"
#include "engine/ppmd_model.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kParameterSize = 2;
constexpr std::size_t kRangeStart = 4;
constexpr std::size_t kMostHeld = 64 * 1024;
static_assert(kMostHeld > 2 * CPpmdModel::kMostInputPerSymbol);

class CPpmdDecoder final : public CEntryDecoder {
public:
    Status Decode(const unsigned char* in, std::size_t inSize, std::size_t& taken,
                  unsigned char* out, std::size_t outSize, std::size_t& made) override {
        taken = made = 0;
        if (m_stage == Stage::failed)
            return Status::error;
        if (m_stage == Stage::ended)
            return Status::end;
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos = 0;
        const bool inputEnded = inSize == 0;
        taken = std::min(inSize, kMostHeld - m_input.size());
        m_input.insert(m_input.end(), in, in + taken);

        if (m_stage == Stage::parameters) {
            if (m_input.size() < kParameterSize + kRangeStart)
                return inputEnded ? Fail() : Status::more;
            if (!Begin())
                return Fail();
            m_stage = Stage::symbols;
        }
        while (made < outSize) {
            const std::size_t held = m_input.size() - m_pos;
            if (held < CPpmdModel::kMostInputPerSymbol && !inputEnded)
                break;
            PpmdInput input{m_input.data() + m_pos, m_input.data() + m_input.size()};
            const int symbol = m_model.DecodeSymbol(input);
            // A symbol that needed bytes past the end is not in the data.
            if (input.overrun || symbol == CPpmdModel::kBadData)
                return Fail();
            m_pos = static_cast<std::size_t>(input.next - m_input.data());
            if (symbol == CPpmdModel::kEndMark) {
                m_stage = Stage::ended;
                return Status::end;
            }
            out[made++] = static_cast<unsigned char>(symbol);
        }
        return Status::more;
    }

    std::string Refusal() const override { return m_refusal; }

private:
    enum class Stage { parameters, symbols, ended, failed };

    Status Fail() {
        m_stage = Stage::failed;
        return Status::error;
    }

    bool Begin() {
        const unsigned word = m_input[0] | static_cast<unsigned>(m_input[1]) << 8;
        const unsigned order = (word & 0xF) + 1;
        const unsigned megabytes = ((word >> 4) & 0xFF) + 1;
        const unsigned restore = word >> 12;
        // The field cannot claim more than 256 MiB, the most this decoder
        // gives a model.
        if (order < CPpmdModel::kMinOrder) {
            m_refusal = "PPMd model order " + std::to_string(order) + " is below 2";
            return false;
        }
        if (restore > 1) {
            m_refusal = "PPMd model restoration method " + std::to_string(restore) + " is unknown";
            return false;
        }
        if (!m_model.Allocate(static_cast<std::uint32_t>(megabytes) << 20)) {
            m_refusal =
                "not enough memory for a PPMd model of " + std::to_string(megabytes) + " MiB";
            return false;
        }
        m_model.Start(order, restore);
        PpmdInput input{m_input.data() + kParameterSize, m_input.data() + m_input.size()};
        if (!m_model.StartDecoder(input))
            return false;
        m_pos = kParameterSize + kRangeStart;
        return true;
    }

    CPpmdModel m_model;
    std::vector<unsigned char> m_input;
    std::size_t m_pos = 0;
    Stage m_stage = Stage::parameters;
    std::string m_refusal;
};

} // namespace

std::unique_ptr<CEntryDecoder> MakePpmdDecoder() {
    return std::make_unique<CPpmdDecoder>();
}
