// The passes' own probe for the first local header signature: the result
// of a 4-byte read at every offset, with the bar at offset x 100 / length.
#pragma once

#include <cstdint>
#include <functional>

class CFile;
namespace platform {
class WorkerGate;
}

// A file of this many bytes or fewer is passed over as holding no ZIP data:
// too short for a local header with anything after it worth saving.
inline constexpr std::uint64_t kShortestProbedFile = 100;

// Probes `file` (`length` bytes) from offset 0. `showPercent` gets every
// position the bar takes (kProbeCeiling at most). A read error closes the file and the
// probe goes on finding nothing, as every later read would fail the same way.
// Returns true with `found` set at the first signature.
bool ProbeForLocalHeader(CFile& file, std::uint64_t length, platform::WorkerGate& gate,
                         const std::function<void(int)>& showPercent, std::uint64_t& found);
