// What the analysis and preview tests share: a recorded entry list, source
// archives on disk, the activity log in a temporary file, and a guard that
// ends a modal loop that would otherwise hang the run.
#pragma once

#include "tests/support/zip_writer.h"
#include "workflow/analysis_list.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace kvtest {

// The list side of an analysis, kept in memory.
class RecordingList : public IAnalysisList {
public:
    int CurrentFileNumber() const override { return number; }
    int EntryRowCount() const override { return static_cast<int>(rows.size()); }
    void DeleteAllEntryRows() override { rows.clear(); }
    void AppendEntryRows(std::vector<EntryRow> batch) override;
    void SetListedCount(const std::wstring& text) override { listedCount = text; }
    void ShowListNote(const std::wstring& text) override { note = text; }

    std::vector<std::wstring> Names() const;

    int number = 1;
    std::vector<EntryRow> rows;
    std::wstring listedCount;
    std::wstring note;
    // Called on the GUI thread after each batch (a row each, see the
    // sandbox), with the row count.
    std::function<void(int)> afterInsert;
};

// Resets the repair state, points the log at a temporary file and the data
// folder at the build's, and removes all of it at the end. The worker hands
// over its rows one at a time, so that tests can act between two of them.
class AnalysisSandbox {
public:
    AnalysisSandbox();
    ~AnalysisSandbox();

    // Writes an archive of the named stored entries, with `junk` bytes
    // before it, and returns its path.
    std::wstring WriteArchive(const std::string& file, const std::vector<std::string>& names,
                              std::size_t junk = 0);
    // Sets the source files as "Repair" would.
    void SetSources(const std::vector<std::wstring>& paths);
    std::string LogText() const;
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
};

// Ends `dialog` with -1 if it is still open after `seconds`, so that a fault
// fails the test instead of hanging the run. Generous: this machine's clock
// has been seen to leap by tens of seconds.
void EndIfStillOpen(QDialog& dialog, int seconds = 300);

} // namespace kvtest
