// Salvaging one entry into a file: whatever the data yields is written, and
// a partial file is kept when the archive ends early or the data turns bad.
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "engine/zip_archive.h"
#include "platform/text.h"

#include <vector>

namespace {

constexpr wchar_t kSep = platform::kNativeSeparator;

std::wstring LastPart(const std::wstring& path) {
    const std::size_t last = path.rfind(kSep);
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

// Debris that salvage passes over: P and K in the file name mark the
// remains of archive records read as names.
bool LooksLikeDebris(const std::wstring& fileName) {
    return fileName.find(L'P') != std::wstring::npos && fileName.find(L'K') != std::wstring::npos;
}

} // namespace

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
    const std::wstring outputPath = base + kSep + relative.value_or(entry.name);
    result.outputPath = outputPath;

    result.outcome = ExtractReport::skipped;
    if (entry.name.empty()) {
        result.reason = "no name";
        return true;
    }
    if (LooksLikeDebris(LastPart(outputPath))) {
        result.reason = "debris: P and K in the file name";
        return true;
    }
    if (!entry.openEnded && entry.storedCrc == 0 && entry.uncompressedSize == 0 &&
        entry.compressedSize == 0) {
        result.reason = "folder or empty file: no CRC and no sizes";
        return true;
    }
    if (!relative) {
        result.outcome = ExtractReport::refused;
        result.reason = "a part of its path is longer than 255 bytes";
        return false;
    }

    result.outcome = ExtractReport::failed;
    CFile file;
    try {
        if (!BeginEntryRead(index)) {
            result.reason = "no such entry, or another entry is still open";
            return false;
        }
        if (!OpenOutput(folder, *relative, safeguards, file, result)) {
            ReleaseEntry();
            return false;
        }
        std::vector<unsigned char> chunk(chunkSize);
        for (;;) {
            const std::uint32_t n = ReadEntryData(chunk.data(), chunkSize);
            if (n > 0)
                file.Write(chunk.data(), n);
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

bool CZipArchive::OpenOutput(const std::wstring& folder, const std::wstring& relative,
                             const ExtractSafeguards* safeguards, CFile& file,
                             ExtractReport& result) {
    std::vector<FileIdentity> sources;
    std::wstring root;
    std::wstring below;
    if (safeguards != nullptr) {
        sources = safeguards->sources;
        SplitAtDestination(safeguards->destination, folder, root, below);
    } else {
        SplitAtDestination(folder, folder, root, below);
    }
    if (const std::optional<FileIdentity> own = m_storage.m_file.GetIdentity())
        sources.push_back(*own);
    if (!below.empty())
        below += kSep;
    switch (OpenOutputFile(root, below + relative, sources, m_outputFolders, file)) {
    case OutputStatus::opened:
        return true;
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
        result.reason = "the output file cannot be created";
        break;
    }
    return false;
}
