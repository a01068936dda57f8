#include "engine/descriptor_index.h"

#include "engine/file_header.h"
#include "engine/scan_window.h"

#include <algorithm>

namespace {

// A 4-byte reading is 16 bytes long with its signature, a Zip64 one 24.
constexpr std::uint64_t kNarrowSize = kSignatureSize + kDescriptorFieldsSize;
constexpr std::uint64_t kWideSize = kSignatureSize + kWideDescriptorFieldsSize;

// The end of the file, or the signature of a record that can follow an
// entry: local or central header, descriptor, the end records and the
// archive's own extra data or signature.
bool RecordBeginsAt(CScanWindow& window, std::uint64_t offset) {
    if (offset == window.FileLength())
        return true;
    unsigned char raw[4];
    if (window.ReadAt(offset, raw, 4) != 4 || raw[0] != 'P' || raw[1] != 'K')
        return false;
    static const unsigned char kKinds[][2] = {{1, 2}, {3, 4}, {5, 5}, {5, 6},
                                              {6, 6}, {6, 7}, {6, 8}, {7, 8}};
    return std::any_of(std::begin(kKinds), std::end(kKinds), [&raw](const unsigned char* kind) {
        return raw[2] == kind[0] && raw[3] == kind[1];
    });
}

} // namespace

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
        unsigned char raw[kWideSize];
        const std::size_t read = window.ReadAt(pos, raw, sizeof raw);
        if (read >= kNarrowSize) {
            const DataDescriptor narrow = ParseDescriptor(raw + kSignatureSize, false);
            if (narrow.compressedSize <= pos)
                m_items.push_back({pos - narrow.compressedSize, pos, false, narrow});
        }
        if (read >= kWideSize) {
            const DataDescriptor wide = ParseDescriptor(raw + kSignatureSize, true);
            if (wide.compressedSize <= pos)
                m_items.push_back({pos - wide.compressedSize, pos, true, wide});
        }
        ++pos;
    }
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
    const bool narrowEnds = RecordBeginsAt(window, it->position + kNarrowSize);
    const bool wideEnds = RecordBeginsAt(window, it->position + kWideSize);
    const bool wide = narrowEnds != wideEnds ? wideEnds : zip64;
    found = wide ? next->values : it->values;
    return true;
}
