#include "tests/gui/analysis_fixture.h"

#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "platform/text.h"
#include "workflow/analysis_worker.h"
#include "workflow/repair_state.h"

#include <QTimer>
#include <algorithm>

namespace kvtest {

void RecordingList::AppendEntryRows(std::vector<EntryRow> batch) {
    rows.insert(rows.end(), batch.begin(), batch.end());
    if (afterInsert)
        afterInsert(static_cast<int>(rows.size()));
}

std::vector<std::wstring> RecordingList::Names() const {
    std::vector<std::wstring> names;
    for (const EntryRow& row : rows)
        names.push_back(row.texts[columnFileName]);
    return names;
}

AnalysisSandbox::AnalysisSandbox() {
    g_entryRowBatchTime = std::chrono::milliseconds(0);
    SetActivityLogFile(platform::DecodeLocal((m_dir / "Activity Log.txt").string()));
    g_appTitle = L"Kelvane for Zip";
    g_appFolder = platform::DecodeLocal(KVZIP_DATA_DIR);
    g_repairMode = 0;
    g_entryCount = 0;
    g_skipPreview = 0;
    g_closeAnalysisDlg = 0;
    g_reapAnalysisThread = 0;
    g_analysisPaused = 0;
    g_signatureFound = 0;
}

AnalysisSandbox::~AnalysisSandbox() {
    g_analysisThread.StopAndJoin();
    g_analysisArchive.CloseArchive(true);
    FreeSourceFiles();
    g_sourceFileCount = 0;
    g_closeAnalysisDlg = 0;
    g_reapAnalysisThread = 0;
    SetActivityLogFile(L"");
    g_entryRowBatchTime = std::chrono::milliseconds(50);
}

std::wstring AnalysisSandbox::WriteArchive(const std::string& file,
                                           const std::vector<std::string>& names,
                                           std::size_t junk) {
    ZipWriter writer;
    if (junk > 0)
        writer.AddRaw(std::string(junk, 'j'));
    for (const std::string& name : names)
        writer.Add({.name = name, .content = "content of " + name + std::string(300, '.')});
    writer.AddCentralDirectory();
    WriteFileBytes(m_dir / file, writer.Bytes());
    return platform::DecodeLocal((m_dir / file).string());
}

void AnalysisSandbox::SetSources(const std::vector<std::wstring>& paths) {
    FreeSourceFiles();
    for (const std::wstring& path : paths)
        AppendSourceFile(path);
    g_sourceFileCount = static_cast<int>(paths.size());
}

std::string AnalysisSandbox::LogText() const {
    return ReadFileBytes(m_dir / "Activity Log.txt").value_or("");
}

void EndIfStillOpen(QDialog& dialog, int seconds) {
    QTimer::singleShot(seconds * 1000, &dialog, [&dialog] {
        if (dialog.isVisible())
            dialog.done(-1);
    });
}

} // namespace kvtest
