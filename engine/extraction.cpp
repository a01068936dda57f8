// Salvaging one entry into a file: whatever the data yields is written, and
// a partial file is kept when the archive ends early or the data turns bad.
#include "engine/debris.h"
#include "engine/file_stamp.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "engine/zip_archive.h"
#include "platform/text.h"

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

} // namespace

bool CZipArchive::CreateOutputFile(CFile& file, const std::wstring& path) {
    // Most entries share their folder with the one before: a folder made
    // once this opening is not looked up again.
    const std::wstring folder = GetFolderPart(path);
    const bool known = m_knownFolders.contains(folder);
    if (!known && CreateFolderPath(folder))
        m_knownFolders.insert(folder);
    CFileException error(CFileException::none, 0, path);
    const unsigned mode = CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite;
    if (file.Open(path, mode, &error))
        return true;
    if (!known)
        return false;
    // Gone since it was made (removed by the user): made again.
    m_knownFolders.erase(folder);
    return CreateFolderPath(folder) && file.Open(path, mode, &error);
}

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

bool CZipArchive::MakeEmptyEntry(const CFileHeader& entry, const std::wstring& outputPath,
                                 ExtractReport& result) {
    result.outcome = ExtractReport::failed;
    if (outputPath.back() == kSep) {
        if (!CreateFolderPath(outputPath)) {
            result.reason = "the folder cannot be created";
            return false;
        }
        // Stamped when the archive is closed: files written into it later
        // would change its time.
        m_madeFolders.push_back({outputPath, entry.GetModifiedTime()});
        m_knownFolders.insert(outputPath);
        result.outcome = ExtractReport::folder;
        return true;
    }
    CFile file;
    if (!CreateOutputFile(file, outputPath)) {
        result.reason = "the output file cannot be created";
        return false;
    }
    file.Close();
    StampOutputFile(outputPath, entry.GetModifiedTime(), entry.externalAttributes);
    result.outcome = ExtractReport::written;
    return true;
}

void CZipArchive::StampMadeFolders() {
    for (const MadeFolder& folder : m_madeFolders)
        StampOutputFile(folder.path, folder.modified, kDefaultAttributes);
    m_madeFolders.clear();
}

bool CZipArchive::ExtractEntryTo(std::size_t index, const std::wstring& folder,
                                 std::uint32_t chunkSize, ExtractReport* report) {
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
        return MakeEmptyEntry(entry, outputPath, result);
    result.outputPath = outputPath =
        ClaimOutputPath(outputPath, m_centralDir.Entries().GetName(index), result.renamed);
    // No CRC and no sizes, and not read open-ended: an empty file.
    if (!entry.openEnded && entry.storedCrc == 0 && entry.uncompressedSize == 0 &&
        entry.compressedSize == 0)
        return MakeEmptyEntry(entry, outputPath, result);

    result.outcome = ExtractReport::failed;
    try {
        if (!BeginEntryRead(index)) {
            result.reason = "no such entry, or another entry is still open";
            return false;
        }
        CFile file;
        if (!CreateOutputFile(file, outputPath)) {
            ReleaseEntry();
            result.reason = "the output file cannot be created";
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
                file.Close();
                result.outcome = ExtractReport::partial;
                result.reason = "the archive ends inside its data";
                EndEntryRead(&outputPath);
                g_truncationFlag = 0;
                return true;
            }
            if (n == chunkSize)
                continue;
            file.Close();
            if (m_entryOpenEnded) {
                // Nothing says how long it should be: kept as found, unstamped.
                ReleaseEntry();
                result.outcome = ExtractReport::partial;
                result.reason = "no sizes and no descriptor: the data may be incomplete";
                return true;
            }
            EndEntryRead(&outputPath);
            result.outcome = ExtractReport::written;
            return true;
        }
    } catch (...) {
        // The file written so far stays; the next entries can still be read.
        ReleaseEntry();
        g_truncationFlag = 0;
        m_decodeError = 0;
        throw;
    }
}
