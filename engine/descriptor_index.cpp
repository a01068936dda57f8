#include "engine/descriptor_index.h"

#include "engine/file_header.h"
#include "engine/scan_window.h"

#include <algorithm>

namespace {

// A 4-byte reading is 16 bytes long with its signature, a Zip64 one 24.
constexpr std::uint64_t kNarrowSize = kSignatureSize + kDescriptorFieldsSize;
constexpr std::uint64_t kWideSize = kSignatureSize + kWideDescriptorFieldsSize;

} // namespace

void DescriptorIndex::Reset() {
    m_built = false;
    m_items.clear();
}

void DescriptorIndex::Build(CScanWindow& window) {
    m_built = true;
    window.ForEachSignature(kDataDescriptorSignature, [&](std::uint64_t pos) {
        unsigned char raw[kWideSize];
        const std::size_t read = window.ReadAt(pos, raw, sizeof raw);
        // A reading is kept in each width the bytes allow.
        for (const bool wide : {false, true}) {
            if (read < (wide ? kWideSize : kNarrowSize))
                continue;
            const DataDescriptor values = ParseDescriptor(raw + kSignatureSize, wide);
            if (values.compressedSize <= pos)
                m_items.push_back({pos - values.compressedSize, pos, wide, values});
        }
    });
    std::sort(m_items.begin(), m_items.end(), [](const Item& a, const Item& b) {
        if (a.dataStart != b.dataStart)
            return a.dataStart < b.dataStart;
        return a.position != b.position ? a.position < b.position : a.wide < b.wide;
    });
}

bool DescriptorIndex::Find(CScanWindow& window, std::uint64_t dataStart, bool zip64,
                           DataDescriptor& found) {
    if (!m_built)
        Build(window);
    const auto it = std::lower_bound(
        m_items.begin(), m_items.end(), dataStart,
        [](const Item& item, std::uint64_t start) { return item.dataStart < start; });
    if (it == m_items.end() || it->dataStart != dataStart)
        return false;
    const auto next = it + 1;
    if (next == m_items.end() || next->dataStart != dataStart || next->position != it->position) {
        found = it->values;
        return true;
    }
    // Both readings fit: `it` is the narrow one, `next` the wide one.
    const bool narrowEnds = window.RecordBeginsAt(it->position + kNarrowSize);
    const bool wideEnds = window.RecordBeginsAt(it->position + kWideSize);
    const bool wide = narrowEnds != wideEnds ? wideEnds : zip64;
    found = wide ? next->values : it->values;
    return true;
}
