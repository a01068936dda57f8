#include "engine/central_size_index.h"

#include "engine/file_header.h"
#include "engine/scan_window.h"
#include "engine/zip64_field.h"

#include <algorithm>

void CentralSizeIndex::Reset() {
    m_built = false;
    m_items.clear();
}

void CentralSizeIndex::Build(CScanWindow& window) {
    m_built = true;
    window.ForEachSignature(kCentralHeaderSignature, [&](std::uint64_t pos) {
        unsigned char raw[kCentralHeaderSize];
        if (window.ReadAt(pos, raw, sizeof raw) != sizeof raw)
            return;
        const CentralHeaderRecord header = ParseCentralHeader(raw);
        std::string name(header.nameLength, '\0');
        std::string extra(header.extraLength, '\0');
        const std::uint64_t extraAt = pos + kCentralHeaderSize + name.size();
        const bool whole =
            window.ReadAt(pos + kCentralHeaderSize, name.data(), name.size()) == name.size();
        extra.resize(window.ReadAt(extraAt, extra.data(), extra.size()));
        // Values its Zip64 field should give but does not are unknown.
        Zip64Result zip64;
        const Zip64Values values = CentralHeaderValues(header, extra, &zip64);
        if (whole && !zip64.sizeUnknown && !zip64.offsetUnknown)
            m_items.push_back({values.localHeaderOffset,
                               std::move(name),
                               {header.crc, values.compressedSize, values.uncompressedSize},
                               header.flags,
                               header.method});
    });
    std::stable_sort(m_items.begin(), m_items.end(), [](const Item& a, const Item& b) {
        return a.localHeaderOffset < b.localHeaderOffset;
    });
}

std::vector<CentralSizeIndex::Item>::const_iterator
CentralSizeIndex::FirstAt(CScanWindow& window, std::uint64_t localHeaderOffset) {
    if (!m_built)
        Build(window);
    return std::lower_bound(
        m_items.cbegin(), m_items.cend(), localHeaderOffset,
        [](const Item& item, std::uint64_t offset) { return item.localHeaderOffset < offset; });
}

std::vector<CentralSizeIndex::Item> CentralSizeIndex::ItemsAt(CScanWindow& window,
                                                              std::uint64_t localHeaderOffset) {
    std::vector<Item> items;
    for (auto it = FirstAt(window, localHeaderOffset);
         it != m_items.end() && it->localHeaderOffset == localHeaderOffset; ++it)
        items.push_back(*it);
    return items;
}

bool CentralSizeIndex::Find(CScanWindow& window, std::uint64_t localHeaderOffset,
                            std::string_view storedName, DataDescriptor& found) {
    for (auto it = FirstAt(window, localHeaderOffset);
         it != m_items.end() && it->localHeaderOffset == localHeaderOffset; ++it) {
        // A different name is another entry's record, or a false header.
        if (it->name == storedName) {
            found = it->values;
            return true;
        }
    }
    return false;
}
