// How much more memory the process may take before the system refuses it
// or ends the process.
#pragma once

#include <cstdint>

namespace platform {

// The smaller of the memory the system says is available and what the
// process's address-space and data limits leave; 0 when nothing is known.
std::uint64_t AvailableMemory();

} // namespace platform
