// Salvage past a damaged stretch of deflated data. A deflate stream is a
// sequence of blocks, and the blocks after a damaged one are still there:
// after the straight decoding fails, the data is searched bit by bit for a
// block start that decodes a good distance, and decoding goes on from it
// with a window whose bytes before that point are unknown. Unknown bytes
// are written as zeros and counted, never guessed; nothing runs for an
// entry that decoded soundly.
#pragma once

#include "engine/resync.h"

class CZipStorage;

// Data that decoded to its end "validly" while its CRC-32 differs: finds the
// damaged block when one block alone breaks the rhythm in which writers
// close blocks (after a fixed number of symbols). The site's sound bytes
// end where that block began, its written ones where the block ended.
// Nothing when no single block stands out.
std::optional<DamageSite> LocateSilentDamage(CZipStorage& storage, std::uint64_t dataStart,
                                             std::uint64_t dataSize, std::uint64_t size,
                                             const ResyncLimits& limits = {});

// Looks for decodable blocks after the damage in the `dataSize` compressed
// bytes at `dataStart` and hands what they give to `write`, appended to the
// `site.written` bytes already out: zeros for each lost stretch, then the
// bytes decoded, placed so that the last of them ends at the entry's size
// when that is known. Nothing is written when no block after the damage
// decodes. `found` is called once blocks are found, before anything is
// written; `stop` is asked between chunks.
std::optional<ResyncOutcome> SalvagePastDamage(CZipStorage& storage, std::uint64_t dataStart,
                                               std::uint64_t dataSize, const DamageSite& site,
                                               const ResyncWrite& write,
                                               const std::function<void()>& found,
                                               const std::function<bool()>& stop,
                                               const ResyncLimits& limits = {});
