#include "workflow/signature_probe.h"

#include "engine/file_header.h"
#include "engine/signature_search.h"
#include "platform/file.h"
#include "platform/worker_gate.h"
#include "workflow/bar_position.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t kBlockSize = 1024 * 1024;

int PercentAt(std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t percent = offset * 100 / length;
    return percent >= 100 ? kProbeCeiling : static_cast<int>(percent);
}

} // namespace

bool ProbeForLocalHeader(CFile& file, std::uint64_t length, platform::WorkerGate& gate,
                         const std::function<void(int)>& showPercent, std::uint64_t& found) {
    if (length == 0)
        return false;
    std::vector<unsigned char> block(kBlockSize + 3);
    int shown = -1;
    // Every value the bar takes between the last offset shown and `offset`.
    auto showThrough = [&](std::uint64_t offset) {
        const int target = PercentAt(offset, length);
        for (int p = shown < 0 ? 0 : shown + 1; p <= target; ++p)
            showPercent(p);
        shown = std::max(shown, target);
    };

    std::uint64_t offset = 0;
    while (offset < length) {
        gate.Checkpoint();
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, length - offset)) + 3;
        std::size_t got = 0;
        if (file.IsOpen()) {
            try {
                got = file.ReadAt(offset, block.data(), want);
            } catch (const CFileException&) {
                file.Close();
            }
        }
        const std::size_t hit = FindSignature(block.data(), got, kLocalHeaderSignature);
        const std::uint64_t probed = std::min<std::uint64_t>(kBlockSize, length - offset);
        if (hit < got && hit < probed) {
            showThrough(offset + hit);
            found = offset + hit;
            return true;
        }
        showThrough(offset + probed - 1);
        offset += probed;
    }
    return false;
}
