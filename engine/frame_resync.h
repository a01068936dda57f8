// Salvage past a damaged frame of Zstandard or xz data. An entry's frames
// (streams) are independent, each starting with a magic number at a byte
// boundary: after one fails, the data is searched byte by byte for the next
// magic, and decoding goes on from there with a fresh decoder.
#pragma once

#include "engine/resync.h"

#include <cstdint>

class CZipStorage;

// Looks for frames that decode after the damage in the `dataSize`
// compressed bytes at `dataStart` of a `method` entry and hands what they
// give to `write`, after the `site.written` bytes already out, by the rules
// of LayOutSegments. Nothing is written when no whole frame after the damage
// decodes. `stop` is asked between chunks.
std::optional<ResyncOutcome>
SalvageFramesPastDamage(CZipStorage& storage, std::uint64_t dataStart, std::uint64_t dataSize,
                        std::uint16_t method, const DamageSite& site, const ResyncWrite& write,
                        const std::function<bool()>& stop, const ResyncLimits& limits = {});
