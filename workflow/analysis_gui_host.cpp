#include "workflow/analysis_gui_host.h"

#include "app/text_progress_ctrl.h"
#include "platform/gui_host_qt.h"
#include "workflow/analysis_dialog.h"
#include "workflow/analysis_list.h"

using platform::RunOnGuiThread;

int AnalysisGuiHost::CurrentFileNumber() {
    int number = 0;
    RunOnGuiThread([&] { number = m_list.CurrentFileNumber(); });
    return number;
}

int AnalysisGuiHost::EntryRowCount() {
    int count = 0;
    RunOnGuiThread([&] { count = m_list.EntryRowCount(); });
    return count;
}

void AnalysisGuiHost::DeleteAllEntryRows() {
    RunOnGuiThread([&] { m_list.DeleteAllEntryRows(); });
}

void AnalysisGuiHost::AppendEntryRows(std::vector<EntryRow> rows) {
    RunOnGuiThread([&] { m_list.AppendEntryRows(std::move(rows)); });
}

void AnalysisGuiHost::SetListedCount(const std::wstring& text) {
    RunOnGuiThread([&] { m_list.SetListedCount(text); });
}

void AnalysisGuiHost::SetBarPosition(int position) {
    RunOnGuiThread([&] {
        if (m_dialog.m_progress)
            m_dialog.m_progress->SetPos(position);
    });
}

void AnalysisGuiHost::AnalysisFinished() {
    RunOnGuiThread([&] { m_dialog.Client()->update(); });
}
