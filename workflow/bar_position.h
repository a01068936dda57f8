// A progress bar as a worker keeps it. The worker reads its own copy, and the
// window is told only when the position changes, so a report that changes
// nothing costs nothing.
#pragma once

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
