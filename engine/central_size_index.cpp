#include "engine/central_size_index.h"

#include "engine/file_header.h"
#include "engine/scan_window.h"

#include <algorithm>

namespace {
// Sizes of this value mean "in the Zip64 extra field", which is not read.
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
} // namespace

void CentralSizeIndex::Reset() {
    m_built = false;
    m_items.clear();
}

void CentralSizeIndex::Build(CScanWindow& window) {
    m_built = true;
    const std::uint64_t length = window.FileLength();
    std::uint64_t pos = 0;
    while (pos < length) {
        pos = window.Find(pos, length, kCentralHeaderSignature);
        if (pos >= length)
            break;
        unsigned char raw[kCentralHeaderSize];
        if (window.ReadAt(pos, raw, sizeof raw) == sizeof raw) {
            const DataDescriptor values{ReadLe32(raw + 16), ReadLe32(raw + 20), ReadLe32(raw + 24)};
            std::string name(ReadLe16(raw + 28), '\0');
            const bool whole =
                window.ReadAt(pos + kCentralHeaderSize, name.data(), name.size()) == name.size();
            if (whole && values.compressedSize != kZip64Marker &&
                values.uncompressedSize != kZip64Marker)
                m_items.push_back({ReadLe32(raw + 42), std::move(name), values});
        }
        ++pos;
    }
    std::stable_sort(m_items.begin(), m_items.end(), [](const Item& a, const Item& b) {
        return a.localHeaderOffset < b.localHeaderOffset;
    });
}

bool CentralSizeIndex::Find(CScanWindow& window, std::uint32_t localHeaderOffset,
                            std::string_view storedName, DataDescriptor& found) {
    if (!m_built)
        Build(window);
    auto it = std::lower_bound(
        m_items.begin(), m_items.end(), localHeaderOffset,
        [](const Item& item, std::uint32_t offset) { return item.localHeaderOffset < offset; });
    for (; it != m_items.end() && it->localHeaderOffset == localHeaderOffset; ++it) {
        // A different name is another entry's record, or a false header.
        if (it->name == storedName) {
            found = it->values;
            return true;
        }
    }
    return false;
}
