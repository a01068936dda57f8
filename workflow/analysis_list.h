// The list side of an analysis: the preview's entry list, its counter of
// listed entries and its current file number. The preview implements it;
// the analysis dialog's host reaches it on the GUI thread only.
#pragma once

#include "workflow/entry_row.h"

#include <string>
#include <vector>

class IAnalysisList {
public:
    virtual ~IAnalysisList() = default;

    // The file under analysis (1-based).
    virtual int CurrentFileNumber() const = 0;
    virtual int EntryRowCount() const = 0;
    virtual void DeleteAllEntryRows() = 0;
    // Appends a batch of rows after the ones listed already.
    virtual void AppendEntryRows(std::vector<EntryRow> rows) = 0;
    // The counter of listed entries (control 1043).
    virtual void SetListedCount(const std::wstring& text) = 0;
    // A line shown in the empty list to say why it is empty ("No ZIP data
    // found in this file"); an empty text takes it away.
    virtual void ShowListNote(const std::wstring& text) = 0;
};
