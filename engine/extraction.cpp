// Salvaging one entry into a file: whatever the data yields is written, and
// a partial file is kept when the archive ends early or the data turns bad.
#include "engine/debris.h"
#include "engine/file_stamp.h"
#include "engine/output_file.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "engine/zip_archive.h"
#include "platform/text.h"

#include <utility>
#include <vector>

namespace {

constexpr wchar_t kSep = platform::kNativeSeparator;

// "name (2).ext": the number goes before the extension of the last part.
std::wstring NumberedPath(const std::wstring& path, int number) {
    const std::size_t partStart = path.rfind(kSep) + 1;
    std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot <= partStart)
        dot = path.size();
    return path.substr(0, dot) + L" (" + std::to_wstring(number) + L")" + path.substr(dot);
}

// Why there is no safe output for an entry; `cannotMake` when the system
// refused.
void ReportNoOutput(OutputStatus status, const char* cannotMake, ExtractReport& result) {
    result.outcome = ExtractReport::failed;
    switch (status) {
    case OutputStatus::opened:
        break;
    case OutputStatus::sourceInTheWay:
        result.outcome = ExtractReport::refused;
        result.reason = "would overwrite a source archive";
        break;
    case OutputStatus::outside:
        result.outcome = ExtractReport::refused;
        result.reason = "its folder would leave the destination";
        break;
    case OutputStatus::linkInTheWay:
        result.reason = "a link stands in its way (links in the destination are not followed)";
        break;
    case OutputStatus::notAFile:
        result.reason = "something other than a file stands in its way";
        break;
    case OutputStatus::systemError:
        result.reason = cannotMake;
        break;
    }
}

// Where the file or folder at `outputPath`, below `base`, is made: below
// the destination the user chose, or below `base` when none is given.
OutputTarget TargetOf(const std::wstring& base, const std::wstring& outputPath,
                      const ExtractSafeguards* safeguards) {
    const std::wstring folder = base.empty() ? std::wstring(1, kSep) : base;
    OutputTarget target =
        SplitAtDestination(safeguards != nullptr ? safeguards->destination : folder, folder);
    const std::wstring relative = outputPath.substr(base.size() + 1);
    target.below = target.below.empty() ? relative : target.below + kSep + relative;
    return target;
}

} // namespace

std::wstring CZipArchive::ClaimOutputPath(const std::wstring& path, const std::wstring& storedName,
                                          bool& renamed) {
    // The same stored name again writes over its own file, as a later copy
    // of an entry should; another name never does.
    std::wstring candidate = path;
    for (int number = 2;; ++number) {
        const auto [it, inserted] = m_claimedPaths.try_emplace(candidate, storedName);
        if (inserted || it->second == storedName) {
            renamed = number > 2;
            return candidate;
        }
        candidate = NumberedPath(path, number);
    }
}

bool CZipArchive::MakeEmptyEntry(const CFileHeader& entry, const OutputTarget& target,
                                 const ExtractSafeguards* safeguards, ExtractReport& result) {
    if (target.below.back() == kSep) {
        CFile folder;
        const OutputStatus status =
            OpenFolderBelow(target.destination, target.below, FolderMaking::all, folder);
        if (status != OutputStatus::opened) {
            ReportNoOutput(status, "the folder cannot be created", result);
            return false;
        }
        // Stamped when the archive is closed: files written into it later
        // would change its time.
        m_madeFolders.push_back({target, entry.GetModifiedTime()});
        result.outcome = ExtractReport::folder;
        return true;
    }
    CFile file;
    if (!OpenOutput(target, safeguards, file, result))
        return false;
    StampOutputFile(file, entry.GetModifiedTime(), entry.externalAttributes);
    file.Close();
    result.outcome = ExtractReport::written;
    return true;
}

void CZipArchive::StampMadeFolders() {
    for (const MadeFolder& made : m_madeFolders) {
        CFile folder;
        if (OpenFolderBelow(made.target.destination, made.target.below, FolderMaking::none,
                            folder) == OutputStatus::opened)
            StampOutputFile(folder, made.modified, kDefaultAttributes);
    }
    m_madeFolders.clear();
}

bool CZipArchive::OpenOutput(const OutputTarget& target, const ExtractSafeguards* safeguards,
                             CFile& file, ExtractReport& result) {
    std::vector<FileIdentity> sources;
    if (safeguards != nullptr)
        sources = safeguards->sources;
    if (const auto& source = m_storage.GetSource())
        if (const std::optional<FileIdentity> own = source->GetIdentity())
            sources.push_back(*own);
    const OutputStatus status =
        OpenOutputFile(target.destination, target.below, sources, m_outputFolders, file);
    if (status == OutputStatus::opened)
        return true;
    ReportNoOutput(status, "the output file cannot be created", result);
    return false;
}

bool CZipArchive::ExtractEntryTo(std::size_t index, const std::wstring& folder,
                                 std::uint32_t chunkSize, ExtractReport* report,
                                 const ExtractSafeguards* safeguards) {
    ExtractReport local;
    ExtractReport& result = report != nullptr ? *report : local;
    result = ExtractReport();
    if (chunkSize == 0) {
        result.reason = "no chunk size";
        return false;
    }

    CFileHeader entry;
    FetchEntryInfo(entry, index);
    const std::optional<std::wstring> relative = GetEntryRelativePath(entry.name);
    std::wstring base = folder;
    while (!base.empty() && base.back() == kSep)
        base.pop_back();
    std::wstring outputPath = base + kSep + relative.value_or(entry.name);
    result.outputPath = outputPath;

    result.outcome = ExtractReport::skipped;
    if (const Debris debris = FindDebris(entry); debris != Debris::none) {
        result.reason = DebrisReason(debris);
        return true;
    }
    if (!relative) {
        result.outcome = ExtractReport::refused;
        result.reason = "a part of its path is longer than 255 bytes";
        return false;
    }
    // A name ending in a separator is a folder: it holds no data of its own.
    if (outputPath.back() == kSep)
        return MakeEmptyEntry(entry, TargetOf(base, outputPath, safeguards), safeguards, result);
    result.outputPath = outputPath = ClaimOutputPath(
        outputPath, std::as_const(m_centralDir).Entries().GetName(index), result.renamed);
    const OutputTarget target = TargetOf(base, outputPath, safeguards);
    // No CRC and no sizes, and not read open-ended: an empty file.
    if (!entry.openEnded && entry.storedCrc == 0 && entry.uncompressedSize == 0 &&
        entry.compressedSize == 0)
        return MakeEmptyEntry(entry, target, safeguards, result);

    result.outcome = ExtractReport::failed;
    CFile file;
    try {
        if (!BeginEntryRead(index)) {
            result.reason = "no such entry, or another entry is still open";
            return false;
        }
        if (!OpenOutput(target, safeguards, file, result)) {
            ReleaseEntry();
            return false;
        }
        // Kept for the next entries: clearing a large chunk for every small
        // file would cost more than writing it.
        if (m_chunkSize != chunkSize) {
            m_chunk.reset();
            m_chunk = std::make_unique_for_overwrite<unsigned char[]>(chunkSize);
            m_chunkSize = chunkSize;
        }
        unsigned char* const chunk = m_chunk.get();
        for (;;) {
            const std::uint32_t n = ReadEntryData(chunk, chunkSize);
            if (n > 0)
                file.Write(chunk, n);
            result.bytesWritten += n;
            if (m_decodeError == 1) {
                // Kept as it is, without the stored time: it is not whole.
                m_decodeError = 0;
                ReleaseEntry();
                g_truncationFlag = 0;
                file.Close();
                result.outcome = ExtractReport::partial;
                result.reason = "the compressed data is damaged or ends early";
                return true;
            }
            if (g_truncationFlag == 1) {
                result.outcome = ExtractReport::partial;
                result.reason = "the archive ends inside its data";
                EndEntryRead(&file);
                file.Close();
                g_truncationFlag = 0;
                return true;
            }
            if (n == chunkSize) {
                if (safeguards == nullptr || !safeguards->stopRequested ||
                    !safeguards->stopRequested())
                    continue;
                // Kept as far as it got, unstamped.
                file.Close();
                ReleaseEntry();
                result.outcome = ExtractReport::partial;
                result.reason = "stopped before the end of the entry";
                return true;
            }
            if (m_entryOpenEnded) {
                // Nothing says how long it should be: kept as found, unstamped.
                file.Close();
                ReleaseEntry();
                result.outcome = ExtractReport::partial;
                result.reason = "no sizes and no descriptor: the data may be incomplete";
                return true;
            }
            EndEntryRead(&file);
            file.Close();
            result.outcome = ExtractReport::written;
            return true;
        }
    } catch (...) {
        // The file written so far stays, and is counted as it is on disk
        // (a failed write may have stored part of its chunk); the next
        // entries can still be read.
        if (file.IsOpen()) {
            try {
                result.bytesWritten = file.GetLength();
            } catch (const CException&) {
            }
        }
        ReleaseEntry();
        g_truncationFlag = 0;
        m_decodeError = 0;
        throw;
    }
}
