#include "engine/descriptor_index.h"

#include "engine/file_header.h"
#include "engine/scan_window.h"

#include <algorithm>

void DescriptorIndex::Reset() {
    m_built = false;
    m_items.clear();
}

void DescriptorIndex::Build(CScanWindow& window) {
    m_built = true;
    const std::uint64_t length = window.FileLength();
    std::uint64_t pos = 0;
    while (pos < length) {
        pos = window.Find(pos, length, kDataDescriptorSignature);
        if (pos >= length)
            break;
        unsigned char raw[kDescriptorSize];
        if (window.ReadAt(pos, raw, sizeof raw) == sizeof raw) {
            DataDescriptor values{ReadLe32(raw + 4), ReadLe32(raw + 8), ReadLe32(raw + 12)};
            if (values.compressedSize <= pos)
                m_items.push_back({pos - values.compressedSize, pos, values});
        }
        ++pos;
    }
    std::sort(m_items.begin(), m_items.end(), [](const Item& a, const Item& b) {
        return a.dataStart != b.dataStart ? a.dataStart < b.dataStart : a.position < b.position;
    });
}

bool DescriptorIndex::Find(CScanWindow& window, std::uint64_t dataStart, DataDescriptor& found) {
    if (!m_built)
        Build(window);
    const auto it = std::lower_bound(
        m_items.begin(), m_items.end(), dataStart,
        [](const Item& item, std::uint64_t start) { return item.dataStart < start; });
    if (it == m_items.end() || it->dataStart != dataStart)
        return false;
    found = it->values;
    return true;
}
