#include "engine/zlib_memory.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

voidpf ZipAllocate(voidpf opaque, uInt items, uInt size) {
    void* block = std::malloc(static_cast<std::size_t>(items) * size);
    if (block != nullptr && opaque != nullptr)
        static_cast<std::vector<void*>*>(opaque)->push_back(block);
    return block;
}

void ZipFree(voidpf opaque, voidpf block) {
    if (opaque != nullptr) {
        auto& blocks = *static_cast<std::vector<void*>*>(opaque);
        const auto it = std::find(blocks.begin(), blocks.end(), block);
        if (it != blocks.end())
            blocks.erase(it);
    }
    std::free(block);
}
