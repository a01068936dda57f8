// Where each entry's own data descriptor lies. A descriptor at d whose
// compressed-size field is c ends data that started at d - c, so indexing
// every descriptor by that start finds an entry's descriptor in one look-up.
#pragma once

#include <cstdint>
#include <vector>

class CScanWindow;

struct DataDescriptor {
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

class DescriptorIndex {
public:
    void Reset();
    // The first descriptor signature at or after `dataStart` whose
    // compressed-size field equals its distance from `dataStart`.
    bool Find(CScanWindow& window, std::uint64_t dataStart, DataDescriptor& found);

private:
    void Build(CScanWindow& window);

    struct Item {
        std::uint64_t dataStart;
        std::uint64_t position;
        DataDescriptor values;
    };
    bool m_built = false;
    std::vector<Item> m_items; // by data start, then position
};
