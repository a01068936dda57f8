#include "workflow/gui/analysis_gui_host.h"

#include "controls/text_progress_ctrl.h"
#include "platform/qt/gui_host_qt.h"
#include "workflow/analysis_list.h"
#include "workflow/gui/analysis_dialog.h"

using platform::RunOnGuiThread;

namespace {

// What the preview says in place of an empty list.
std::wstring EmptyListNote(const SourceTotals& totals) {
    switch (totals.problem) {
    case SourceProblem::none:
    case SourceProblem::folderKept:
        return {};
    case SourceProblem::missing:
        return L"This file is missing";
    case SourceProblem::unreadable:
        return L"This file cannot be read" +
               (totals.error.empty() ? std::wstring() : L": " + totals.error);
    case SourceProblem::noZipData:
        return L"No ZIP data found in this file";
    case SourceProblem::noEntries:
        return L"No readable entries found in this file";
    }
    return {};
}

} // namespace

int AnalysisGuiHost::CurrentFileNumber() {
    int number = 0;
    RunOnGuiThread([&] { number = m_list.CurrentFileNumber(); });
    return number;
}

void AnalysisGuiHost::SourceStarted(const SourceStart&) {
    RunOnGuiThread([&] {
        if (m_list.EntryRowCount() > 0)
            m_list.DeleteAllEntryRows();
        m_list.ShowListNote({});
    });
}

void AnalysisGuiHost::EntriesListed(std::vector<EntryRow> rows) {
    RunOnGuiThread([&] {
        m_list.AppendEntryRows(std::move(rows));
        m_list.SetListedCount(std::to_wstring(m_list.EntryRowCount()));
    });
}

void AnalysisGuiHost::Progress(const PassProgress& progress) {
    RunOnGuiThread([&] {
        if (m_dialog.m_progress)
            m_dialog.m_progress->SetPos(progress.current);
    });
}

void AnalysisGuiHost::SourceDone(const SourceTotals& totals) {
    RunOnGuiThread([&] {
        m_list.SetListedCount(std::to_wstring(totals.found));
        m_list.ShowListNote(EmptyListNote(totals));
    });
}

void AnalysisGuiHost::PassDone(const PassTotals&) {
    RunOnGuiThread([&] { m_dialog.Client()->update(); });
}
