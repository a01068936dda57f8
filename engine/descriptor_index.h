// Where each entry's own data descriptor lies. A descriptor at d whose
// compressed-size field is c ends data that started at d - c, so indexing
// every descriptor by that start finds an entry's descriptor in one look-up.
// A Zip64 descriptor holds 8-byte sizes: every signature is indexed for both
// readings, each by the start its own size implies.
#pragma once

#include "engine/zip_records.h"

#include <cstdint>
#include <vector>

class CScanWindow;

class DescriptorIndex {
public:
    void Reset();
    // The first descriptor signature at or after `dataStart` whose
    // compressed-size field equals its distance from `dataStart`. When both
    // readings fit there, the one that ends exactly where a record begins (or
    // the file ends) is taken; when that does not tell, the 8-byte reading if
    // `zip64` (the entry has a Zip64 field), else the 4-byte one.
    bool Find(CScanWindow& window, std::uint64_t dataStart, bool zip64, DataDescriptor& found);

private:
    void Build(CScanWindow& window);

    struct Item {
        std::uint64_t dataStart;
        std::uint64_t position;
        bool wide; // the Zip64 reading
        DataDescriptor values;
    };
    bool m_built = false;
    std::vector<Item> m_items; // by data start, then position, then width
};
