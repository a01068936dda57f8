#include "workflow/pass_run.h"

#include "engine/scan_state.h"
#include "engine/zip_archive.h"
#include "platform/file.h"
#include "platform/worker_gate.h"
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

bool ScanSource(PassRun& run, CZipArchive& archive, const std::wstring& path, int& scanFlag) {
    ScanActiveScope scanning(scanFlag);
    try {
        archive.OpenArchive(path, 0);
    } catch (const CFileException& e) {
        run.source.error = e.GetReason();
        if (g_entryCount == 0) {
            run.source.problem = SourceProblem::unreadable;
            return false;
        }
    } catch (const CException& e) {
        // A header cut short: the entries before it are still there.
        run.source.error = e.GetReason();
    }
    return true;
}
