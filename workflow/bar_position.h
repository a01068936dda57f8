// A progress bar as a worker keeps it. The worker reads its own copy, and the
// window is told only when the position changes, so a report that changes
// nothing costs nothing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

class BarPosition {
public:
    explicit BarPosition(std::function<void(int)> show) : m_show(std::move(show)) {}

    int Get() const { return m_position; }
    void Set(int position) {
        if (position == m_position)
            return;
        m_position = position;
        m_show(position);
    }
    // Moves forward only.
    void Raise(int position) {
        if (position > m_position)
            Set(position);
    }
    // Moves one step at a time, as a bar set at every offset of a walk would.
    void StepTo(int position) {
        while (m_position < position)
            Set(m_position + 1);
        Set(position);
    }

private:
    std::function<void(int)> m_show;
    int m_position = 0;
};

// The share of a pass's bar that the scan of an archive fills; its entries
// fill the rest. The scan only reads the file: listing or writing the
// entries is most of the work, and a bar that sits near its end meanwhile
// tells the user nothing.
inline constexpr int kScanShare = 10;

// The bar while the scan stands at `percent` of the file.
inline int ScanSharePosition(int percent) {
    return percent * kScanShare / 100;
}

// The bar once `done` of `total` (entries, or their weights) are done; 100
// only with the last entry (`last`).
inline int EntriesPosition(std::uint64_t done, std::uint64_t total, bool last) {
    if (last)
        return 100;
    const std::uint64_t share = total == 0 ? 0 : done * (100 - kScanShare) / total;
    return kScanShare + static_cast<int>(std::min<std::uint64_t>(share, 100 - kScanShare - 1));
}

// The bar position for a scan report of `position` out of `total` when the
// bar stands at `current`: position x 100 / total (at most 100), except that
// the bar never moves back; while the reports lag behind it, every
// `creepEvery`-th of them (counted in `creepCount`) moves it up by one.
inline int LaggingReportPosition(std::uint64_t position, std::uint64_t total, int current,
                                 int& creepCount, int creepEvery) {
    // 128-bit intermediate: a 64-bit position times 100 would overflow.
    const auto computed = total == 0 ? 0 : static_cast<unsigned __int128>(position) * 100 / total;
    if (computed >= static_cast<std::uint64_t>(current))
        return computed >= 100 ? 100 : static_cast<int>(computed);
    if (++creepCount >= creepEvery) {
        creepCount = 0;
        return current + 1;
    }
    return current;
}
