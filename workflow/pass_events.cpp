#include "workflow/pass_events.h"

std::wstring SourceProblemText(SourceProblem problem) {
    switch (problem) {
    case SourceProblem::none:
        return {};
    case SourceProblem::missing:
        return L"file missing";
    case SourceProblem::unreadable:
        return L"file cannot be read";
    case SourceProblem::noZipData:
        return L"no ZIP data found";
    case SourceProblem::noEntries:
        return L"no readable entries found";
    case SourceProblem::folderKept:
        return L"its output folder exists and was kept";
    }
    return {};
}

void PassTotals::Add(const SourceTotals& source) {
    sources.push_back(source);
    verdicts.Add(source.verdicts);
}

bool PassTotals::Clean() const {
    for (const SourceTotals& source : sources)
        if (source.problem != SourceProblem::none)
            return false;
    return verdicts.AllVerified();
}
