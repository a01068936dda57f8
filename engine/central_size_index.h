// The CRC and sizes that the central directory records for each local header
// offset. Streaming writers leave them out of the local header (flag bit 3);
// where the directory survived, its record gives them before any search.
#pragma once

#include "engine/descriptor_index.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CScanWindow;

class CentralSizeIndex {
public:
    void Reset();
    // The first central header in the file that points at `localHeaderOffset`
    // under the same stored name and gives its sizes (in its Zip64 field
    // where its own fields send them there).
    bool Find(CScanWindow& window, std::uint64_t localHeaderOffset, std::string_view storedName,
              DataDescriptor& found);

    // What a central header says of the entry it points at.
    struct Item {
        std::uint64_t localHeaderOffset;
        std::string name;
        DataDescriptor values;
        std::uint16_t flags;
        std::uint16_t method;
    };
    // Every central header in the file that points at `localHeaderOffset`,
    // in file order.
    std::vector<Item> ItemsAt(CScanWindow& window, std::uint64_t localHeaderOffset);

private:
    void Build(CScanWindow& window);
    std::vector<Item>::const_iterator FirstAt(CScanWindow& window, std::uint64_t localHeaderOffset);

    bool m_built = false;
    std::vector<Item> m_items; // by local header offset, then file order
};
