// Progress of the long commands on stderr: a bar redrawn in place on a
// terminal, one line per archive otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

class ProgressDisplay {
public:
    // `verb` names the work ("analysing", "saving").
    ProgressDisplay(std::string verb, int archiveCount, bool terminal);

    void BeginArchive(int number, const std::string& name, std::uint64_t size);
    void SetCurrent(int percent);
    void SetOverall(int percent);
    // Ends the archive's line with `outcome` (a short summary).
    void EndArchive(const std::string& outcome);
    // Clears the bar so that other text can be printed.
    void Clear();

private:
    void Draw(bool force);
    double Seconds() const;

    std::mutex m_lock;
    std::string m_verb;
    int m_count;
    bool m_terminal;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastDraw{};
    int m_number = 0;
    std::string m_name;
    std::uint64_t m_size = 0;
    std::uint64_t m_doneBytes = 0; // of the archives finished
    int m_current = 0;
    int m_overall = 0;
    bool m_drawn = false;
};
