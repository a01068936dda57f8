// Salvage past a damaged block of bzip2 data. A bzip2 stream is a sequence
// of blocks, each starting with a 48-bit marker at any bit and carrying the
// CRC of what it decodes to, none reaching back into another: after a block
// fails, the data is searched bit by bit for the next marker, and every
// block from there is decoded on its own and kept only when its CRC holds.
#pragma once

#include "engine/resync.h"

class CZipStorage;

// Looks for sound blocks after the damage in the `dataSize` compressed bytes
// at `dataStart` and hands what they give to `write`, after the
// `site.written` bytes already out, by the rules of LayOutSegments. Nothing
// is written when no block after the damage is sound. `found` is called once
// blocks are found, before anything is written; `stop` is asked between
// blocks.
std::optional<ResyncOutcome> SalvageBzip2PastDamage(CZipStorage& storage, std::uint64_t dataStart,
                                                    std::uint64_t dataSize, const DamageSite& site,
                                                    const ResyncWrite& write,
                                                    const std::function<void()>& found,
                                                    const std::function<bool()>& stop,
                                                    const ResyncLimits& limits = {});
