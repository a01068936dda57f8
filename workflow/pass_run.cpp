#include "workflow/pass_run.h"

#include "engine/zip_archive.h"
#include "platform/file.h"
#include "platform/worker_gate.h"
#include "workflow/repair_state.h"
#include "workflow/signature_probe.h"

void FollowScanReport(PassRun* run, std::uint64_t position, std::uint64_t total, int& creepCount,
                      ScanPace pace) {
    if (run == nullptr)
        return;
    run->gate.Checkpoint();
    int value =
        LaggingReportPosition(position, total, run->scanPercent, creepCount, pace.creepEvery);
    if (value >= 100)
        value = pace.ceiling;
    run->Scanned(value);
    run->gate.Checkpoint();
}

ProbedSource ProbeSource(PassRun& run, CFile& file, const std::wstring& path, unsigned shareMode,
                         int& signatureFound) {
    ProbedSource probe;
    CFileException error(CFileException::none, 0, path);
    if (!file.Open(path, CFile::modeRead | shareMode, &error)) {
        run.source.problem = SourceProblem::unreadable;
        run.source.error = error.GetReason();
        return probe;
    }
    try {
        probe.length = file.GetLength();
    } catch (const CFileException& e) {
        run.source.problem = SourceProblem::unreadable;
        run.source.error = e.GetReason();
        file.Close();
        probe.outcome = ProbeOutcome::unreadable;
        return probe;
    }
    if (probe.length <= kShortestProbedFile) {
        run.source.problem = SourceProblem::noZipData;
        file.Close();
        probe.outcome = ProbeOutcome::tooShort;
        return probe;
    }
    signatureFound = 0;
    const bool hit = ProbeForLocalHeader(
        file, probe.length, run.gate, [&run](int p) { run.Scanned(p); }, probe.header);
    file.Close();
    // Said only now: a stop inside the probe leaves the problem unsaid.
    probe.outcome = hit ? ProbeOutcome::found : ProbeOutcome::noHeader;
    if (hit)
        signatureFound = 1;
    else
        run.source.problem = SourceProblem::noZipData;
    return probe;
}

ScanActiveScope::ScanActiveScope(CZipArchive& archive, int& flag, ScanReport report)
    : m_archive(archive), m_flag(flag), m_report(report) {
    m_flag = 1;
    m_archive.SetScanObserver(this);
}

ScanActiveScope::~ScanActiveScope() {
    m_archive.SetScanObserver(nullptr);
    m_flag = 0;
}

void ScanActiveScope::ScanProgress(std::uint64_t position, std::uint64_t total) {
    if (m_flag == 1)
        m_report(position, total);
}

bool ScanSource(PassRun& run, CZipArchive& archive, const std::wstring& path, int& scanFlag,
                ScanReport report) {
    ScanActiveScope scanning(archive, scanFlag, report);
    bool readable = true;
    try {
        archive.OpenArchive(path, 0);
    } catch (const CFileException& e) {
        run.source.error = e.GetReason();
        readable = archive.GetEntryCount() != 0;
        if (!readable)
            run.source.problem = SourceProblem::unreadable;
    } catch (const CException& e) {
        // A header cut short: the entries before it are still there.
        run.source.error = e.GetReason();
    }
    g_entryCount = static_cast<int>(archive.GetEntryCount());
    return readable;
}
