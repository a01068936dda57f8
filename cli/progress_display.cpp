#include "cli/progress_display.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A terminal that cannot move its cursor (TERM=dumb, an editor's shell)
// gets the lines without the live bar, which would pile up there.
bool CanRedrawLine() {
    const char* term = std::getenv("TERM");
    return term == nullptr || std::strcmp(term, "dumb") != 0;
}

} // namespace

ProgressDisplay::ProgressDisplay(std::string verb, int archiveCount, bool terminal)
    : m_verb(std::move(verb)), m_count(archiveCount), m_terminal(terminal && CanRedrawLine()) {}

double ProgressDisplay::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void ProgressDisplay::BeginArchive(int number, const std::string& name, std::uint64_t size) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_number = number;
    m_name = name;
    m_size = size;
    m_current = 0;
    Draw(true);
}

void ProgressDisplay::SetCurrent(int percent) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_current = percent;
    Draw(false);
}

void ProgressDisplay::SetOverall(int percent) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_overall = percent;
    Draw(false);
}

void ProgressDisplay::EndArchive(const std::string& outcome) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_doneBytes += m_size;
    if (m_terminal && m_drawn)
        std::fprintf(stderr, "\r\033[K");
    m_drawn = false;
    std::fprintf(stderr, "[%d/%d] %s: %s\n", m_number, m_count, m_name.c_str(), outcome.c_str());
}

void ProgressDisplay::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_terminal && m_drawn)
        std::fprintf(stderr, "\r\033[K");
    m_drawn = false;
}

void ProgressDisplay::Draw(bool force) {
    if (!m_terminal)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(100))
        return;
    m_lastDraw = now;
    const double seconds = Seconds();
    const double bytes =
        static_cast<double>(m_doneBytes) + static_cast<double>(m_size) * m_current / 100.0;
    const double rate = seconds > 0 ? bytes / seconds / (1024.0 * 1024.0) : 0.0;
    constexpr int kWidth = 24;
    const int filled = m_current * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r\033[K%s %d/%d [%s] %3d%% (all %3d%%) %.1f MB/s %.0fs  %s",
                 m_verb.c_str(), m_number, m_count, bar.c_str(), m_current, m_overall, rate,
                 seconds, m_name.c_str());
    std::fflush(stderr);
    m_drawn = true;
}
