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
    try {
        if (!BeginEntryRead(index)) {
            result.reason = "no such entry, or another entry is still open";
            return false;
        }
        CreateFolderPath(GetFolderPart(outputPath));
        CFile file;
        CFileException error(CFileException::none, 0, outputPath);
        if (!file.Open(outputPath, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite,
                       &error)) {
            ReleaseEntry();
            result.reason = "the output file cannot be created";
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
