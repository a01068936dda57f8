// Salvaging one entry into a file: whatever the data yields is written, and
// a partial file is kept when the archive ends early or the data turns bad.
#include "engine/debris.h"
#include "engine/file_stamp.h"
#include "engine/output_file.h"
#include "engine/output_paths.h"
#include "engine/zip_archive.h"
#include "engine/zip_exception.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
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
    case OutputStatus::noLinks:
        result.reason = cannotMake;
        break;
    case OutputStatus::kept:
        result.outcome = ExtractReport::refused;
        result.reason = "a file of that name exists and is kept";
        result.keptExisting = true;
        break;
    }
}

// A link's target stays inside the destination when it is relative and
// climbs, by leading ".." parts only, no higher than the folders above the
// link (`relative`, its path below the destination). The folders it climbs
// are real ones, made without following links, and every link made obeys
// the same rule: so no chain of links leads out either.
bool LinkStaysInside(const std::wstring& relative, std::string_view target) {
    if (target.empty() || target.front() == '/' || target.find('\0') != std::string_view::npos)
        return false;
    std::size_t depth = 0;
    for (const wchar_t c : relative)
        depth += c == kSep ? 1 : 0;
    bool named = false;
    std::size_t start = 0;
    while (start <= target.size()) {
        std::size_t end = target.find('/', start);
        if (end == std::string_view::npos)
            end = target.size();
        const std::string_view part = target.substr(start, end - start);
        if (part == "..") {
            if (named || depth == 0)
                return false;
            --depth;
        } else if (!part.empty() && part != ".") {
            named = true;
        }
        start = end + 1;
    }
    return true;
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

// A failed write may have stored part of its chunk: what counts is what is
// on disk. A file that holds nothing is removed: left behind it would look
// like an empty file the archive held.
void CountWhatIsOnDisk(CFile& file, ExtractReport& result) {
    if (!file.IsOpen())
        return;
    try {
        result.bytesWritten = file.GetLength();
    } catch (const CException&) {
        return;
    }
    if (result.bytesWritten > 0)
        return;
    const std::optional<FileIdentity> made = file.GetIdentity();
    const std::string path = platform::EncodeLocal(file.GetFilePath());
    file.Close();
    // Only the file written here: never another one put in its place.
    struct stat st {};
    if (made && ::lstat(path.c_str(), &st) == 0 &&
        FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                     static_cast<std::uint64_t>(st.st_ino)} == *made)
        ::unlink(path.c_str());
}

ExtractReport::Destination DestinationTrouble(int osError) {
    switch (osError) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ExtractReport::Destination::full;
    case EACCES:
    case EPERM:
    case EROFS:
    case EIO:
        return ExtractReport::Destination::unwritable;
    default:
        return ExtractReport::Destination::fine;
    }
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
        m_madeFolders.push_back({target, entry.GetModifiedTime(), entry.UnixMode()});
        result.outcome = ExtractReport::folder;
        result.verdict = Verdict::folder;
        return true;
    }
    CFile file;
    if (!OpenOutput(target, safeguards, file, result))
        return false;
    StampOutputFile(file, entry.GetModifiedTime(), entry.externalAttributes, entry.UnixMode());
    file.Close();
    result.outcome = ExtractReport::written;
    result.verdict = Verdict::verified;
    result.crcExpected = true;
    return true;
}

void CZipArchive::StampMadeFolders() {
    for (const MadeFolder& made : m_madeFolders) {
        CFile folder;
        if (OpenFolderBelow(made.target.destination, made.target.below, FolderMaking::none,
                            folder) == OutputStatus::opened)
            StampOutputFile(folder, made.modified, kDefaultAttributes, made.unixMode);
    }
    m_madeFolders.clear();
}

std::vector<FileIdentity> CZipArchive::OutputSources(const ExtractSafeguards* safeguards) const {
    std::vector<FileIdentity> sources;
    if (safeguards != nullptr)
        sources = safeguards->sources;
    if (const auto& source = m_storage.GetSource())
        if (const std::optional<FileIdentity> own = source->GetIdentity())
            sources.push_back(*own);
    return sources;
}

bool CZipArchive::OpenOutput(const OutputTarget& target, const ExtractSafeguards* safeguards,
                             CFile& file, ExtractReport& result) {
    const OutputStatus status =
        OpenOutputFile(target.destination, target.below, OutputSources(safeguards), m_outputFolders,
                       file, safeguards != nullptr && safeguards->keepExisting);
    if (status == OutputStatus::opened)
        return true;
    if (status == OutputStatus::systemError)
        result.destination = DestinationTrouble(errno);
    ReportNoOutput(status, "the output file cannot be created", result);
    return false;
}

bool CZipArchive::ExtractEntryTo(std::size_t index, const std::wstring& folder,
                                 std::uint32_t chunkSize, ExtractReport* report,
                                 const ExtractSafeguards* safeguards) {
    ExtractReport local;
    return SalvageEntry(index, &folder, chunkSize, report != nullptr ? *report : local, safeguards);
}

bool CZipArchive::TestEntry(std::size_t index, std::uint32_t chunkSize, ExtractReport& report,
                            const ExtractSafeguards* safeguards) {
    return SalvageEntry(index, nullptr, chunkSize, report, safeguards);
}

bool CZipArchive::SalvageReading(std::size_t index, const CFileHeader& entry,
                                 const std::wstring* folder, std::uint32_t chunkSize,
                                 ExtractReport& result, const ExtractSafeguards* safeguards) {
    result = ExtractReport();
    if (chunkSize == 0) {
        result.reason = "no chunk size";
        return false;
    }

    result.name = entry.name;
    result.listed = entry.listed;
    const std::optional<std::wstring> relative = GetEntryRelativePath(entry.name);
    std::wstring outputPath = relative.value_or(entry.name);
    std::wstring base;
    if (folder != nullptr) {
        base = *folder;
        while (!base.empty() && base.back() == kSep)
            base.pop_back();
        outputPath = base + kSep + outputPath;
        result.outputPath = outputPath;
    }

    result.outcome = ExtractReport::skipped;
    if (const Debris debris = FindDebris(entry); debris != Debris::none) {
        result.reason = DebrisReason(debris);
        return true;
    }
    result.outcome = ExtractReport::refused;
    if (!relative) {
        result.reason = "unsafe path: a part of it is longer than 255 bytes";
        return false;
    }
    // A folder holds no data of its own. One marked by its attributes alone
    // gets the separator its name lacks, so that no file is made instead.
    const bool isFolder = entry.IsFolder();
    if (isFolder && outputPath.back() != kSep) {
        outputPath += kSep;
        if (folder != nullptr)
            result.outputPath = outputPath;
    }
    // No CRC and no sizes, and not read open-ended: an empty file.
    const bool isEmpty = !entry.openEnded && entry.storedCrc == 0 && entry.uncompressedSize == 0 &&
                         entry.compressedSize == 0;
    if (folder == nullptr && (isFolder || isEmpty)) {
        result.outcome = isFolder ? ExtractReport::folder : ExtractReport::written;
        result.verdict = isFolder ? Verdict::folder : Verdict::verified;
        result.crcExpected = !isFolder;
        return true;
    }
    if (isFolder)
        return MakeEmptyEntry(entry, TargetOf(base, outputPath, safeguards), safeguards, result);
    if (folder != nullptr)
        result.outputPath = outputPath = ClaimOutputPath(
            outputPath, std::as_const(m_centralDir).Entries().GetName(index), result.renamed);
    if (isEmpty)
        return MakeEmptyEntry(entry, TargetOf(base, outputPath, safeguards), safeguards, result);
    result.encrypted = IsEncrypted(entry);
    if (std::string why = UndecodableReason(entry, HasPassword()); !why.empty()) {
        result.reason = std::move(why);
        return false;
    }

    // A link's data is the path it points to: read whole, judged, and only
    // then made, when it is sound and stays inside the destination.
    const bool asLink = entry.IsLink() && !entry.openEnded &&
                        entry.uncompressedSize <= kMaxLinkTarget &&
                        !(safeguards != nullptr && safeguards->keepLinksAsFiles);
    std::string linkTarget;

    result.outcome = ExtractReport::failed;
    CFile file;
    try {
        m_reading = &entry;
        const bool begun = BeginEntryRead(index);
        m_reading = nullptr;
        if (!begun) {
            result.reason = "no such entry, or another entry is still open";
            return false;
        }
        if (m_keyCheck == KeyCheck::wrongPassword || m_keyCheck == KeyCheck::cut) {
            // Nothing is made: what a wrong key decrypts is noise.
            result.wrongPassword = m_keyCheck == KeyCheck::wrongPassword;
            ReleaseEntry();
            result.outcome = result.wrongPassword ? ExtractReport::refused : ExtractReport::failed;
            result.reason = result.wrongPassword ? "wrong password"
                                                 : "the archive ends inside its encryption header";
            return false;
        }
        if (folder != nullptr && !asLink &&
            !OpenOutput(TargetOf(base, outputPath, safeguards), safeguards, file, result)) {
            ReleaseEntry();
            return false;
        }
        ReadAndJudge(entry, folder != nullptr && !asLink ? &file : nullptr, chunkSize, safeguards,
                     result, asLink ? &linkTarget : nullptr);
        if (asLink)
            return FinishLink(entry, linkTarget, *relative,
                              folder != nullptr
                                  ? std::optional(TargetOf(base, outputPath, safeguards))
                                  : std::nullopt,
                              safeguards, result);
        return true;
    } catch (const CException& e) {
        // The file written so far stays; the next entries can still be read.
        if (const auto* fileError = dynamic_cast<const CFileException*>(&e);
            fileError != nullptr && file.IsOpen() && fileError->m_fileName == file.GetFilePath())
            result.destination = DestinationTrouble(fileError->m_osError);
        CountWhatIsOnDisk(file, result);
        ReleaseEntry();
        m_storage.m_truncated = false;
        m_decodeError = 0;
        result.outcome = ExtractReport::failed;
        result.verdict = result.bytesWritten > 0 ? Verdict::partial : Verdict::notSaved;
        result.reason = platform::ToUtf8(e.GetReason());
        throw;
    } catch (...) {
        ReleaseEntry();
        m_storage.m_truncated = false;
        m_decodeError = 0;
        throw;
    }
}

bool CZipArchive::FinishLink(const CFileHeader& entry, const std::string& linkTarget,
                             const std::wstring& relative,
                             const std::optional<OutputTarget>& target,
                             const ExtractSafeguards* safeguards, ExtractReport& result) {
    const std::int64_t modified = entry.GetModifiedTime();
    // Bytes that are not what was stored point nowhere reliable: they are
    // kept as a file, as a file's would be.
    auto writeAsFile = [&] {
        if (!target)
            return true;
        CFile file;
        if (!OpenOutput(*target, safeguards, file, result)) {
            result.verdict = Verdict::notSaved;
            result.bytesWritten = 0;
            return false;
        }
        file.Write(linkTarget.data(), static_cast<std::uint32_t>(linkTarget.size()));
        if (result.verdict == Verdict::verified)
            StampOutputFile(file, modified, entry.externalAttributes, std::nullopt);
        file.Close();
        return true;
    };
    // Nor is a path with control bytes in it (a line end, binary data):
    // those are a file's contents under a mode that a damaged record set.
    const bool pathLike = std::none_of(linkTarget.begin(), linkTarget.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (result.verdict != Verdict::verified || !pathLike)
        return writeAsFile();
    if (!LinkStaysInside(relative, linkTarget)) {
        result.outcome = ExtractReport::refused;
        result.verdict = Verdict::notSaved;
        result.reason = "the link would point outside the destination";
        result.bytesWritten = 0;
        return false;
    }
    result.link = true;
    if (!target)
        return true;
    const OutputStatus status = MakeLinkBelow(target->destination, target->below, linkTarget,
                                              modified, OutputSources(safeguards), m_outputFolders);
    if (status == OutputStatus::noLinks) {
        result.link = false;
        result.note = "kept as a text file: the file system cannot hold links";
        return writeAsFile();
    }
    if (status != OutputStatus::opened) {
        result.link = false;
        ReportNoOutput(status, "the link cannot be created", result);
        result.verdict = Verdict::notSaved;
        result.bytesWritten = 0;
        return false;
    }
    return true;
}

void CZipArchive::ReadAndJudge(const CFileHeader& entry, CFile* file, std::uint32_t chunkSize,
                               const ExtractSafeguards* safeguards, ExtractReport& result,
                               std::string* collected) {
    // With sizes known, the header (or the descriptor the scan took them
    // from) says what the CRC-32 should be, also of data cut short.
    // AE-2 entries store no CRC: their authentication code vouches instead.
    const bool crcStored = m_crcStored;
    if (!m_entryOpenEnded) {
        result.expectedCrc = entry.storedCrc;
        result.crcExpected = crcStored;
    }
    // Kept for the next entries: clearing a large chunk for every small
    // file would cost more than writing it.
    if (m_chunkSize != chunkSize) {
        m_chunk.reset();
        m_chunk = std::make_unique_for_overwrite<unsigned char[]>(chunkSize);
        m_chunkSize = chunkSize;
    }
    unsigned char* const chunk = m_chunk.get();
    auto cutShort = [&](const char* reason) {
        result.outcome = ExtractReport::partial;
        result.verdict = Verdict::partial;
        result.reason = reason;
    };
    for (;;) {
        const std::uint32_t n = ReadEntryData(chunk, chunkSize);
        if (m_restarted) {
            // The fast decoder's bytes were not the entry: zlib's replace them.
            m_restarted = false;
            if (file != nullptr) {
                file->SetLength(0);
                file->Seek(0, CFile::begin);
            }
            result.bytesWritten = 0;
            continue;
        }
        if (n > 0 && file != nullptr)
            file->Write(chunk, n);
        if (n > 0 && collected != nullptr)
            collected->append(reinterpret_cast<const char*>(chunk), n);
        result.bytesWritten += n;
        result.crc = m_info.m_crc;
        if (m_decodeError == 1 && m_decoder && !m_decoder->Refusal().empty()) {
            // Settings the decoder does not take: nothing of it was decoded.
            m_decodeError = 0;
            result.reason = m_decoder->Refusal();
            ReleaseEntry();
            m_storage.m_truncated = false;
            if (file != nullptr)
                CountWhatIsOnDisk(*file, result);
            result.outcome = ExtractReport::failed;
            result.verdict = Verdict::notSaved;
            return;
        }
        if (m_decodeError == 1) {
            // Kept as it is, without the stored time: it is not whole.
            m_decodeError = 0;
            result.resync = DecodePastDamage(entry, file, safeguards, result);
            ReleaseEntry();
            m_storage.m_truncated = false;
            if (!result.resync) {
                cutShort("the compressed data is damaged or ends early");
                return;
            }
            const bool sound = crcStored && result.crc == entry.storedCrc && !m_entryOpenEnded &&
                               result.bytesWritten == entry.uncompressedSize;
            if (sound) {
                // What decoded past the damage made the whole entry after all.
                result.outcome = ExtractReport::written;
                result.verdict = Verdict::verified;
                return;
            }
            cutShort("");
            result.reason = ResyncReason(*result.resync, KnownSize(entry));
            return;
        }
        // The short read that raised the flag may have left data in the
        // read buffer: the entry ends only once a chunk comes back short.
        if (m_storage.m_truncated && n < chunkSize) {
            cutShort("the archive ends inside its data");
            EndEntryRead(file);
            m_storage.m_truncated = false;
            return;
        }
        if (n < chunkSize)
            break;
        if (safeguards != nullptr && safeguards->StopRequested()) {
            // Kept as far as it got, unstamped.
            ReleaseEntry();
            cutShort("stopped before the end of the entry");
            return;
        }
    }

    if (m_entryOpenEnded) {
        // Nothing but a descriptor at the end of the data says what it
        // should be: without one it is kept as found, unstamped.
        const std::optional<DataDescriptor> ending = m_endingDescriptor;
        ReleaseEntry();
        if (!ending) {
            cutShort("no sizes and no descriptor: the data may be incomplete");
            return;
        }
        if (!crcStored) {
            cutShort("no sizes: its authentication code cannot be found");
            return;
        }
        result.expectedCrc = ending->crc;
        result.crcExpected = true;
        if (result.crc != ending->crc) {
            cutShort("its CRC-32 differs from the one in its descriptor");
            return;
        }
        if (file != nullptr)
            StampOutputFile(*file, entry.GetModifiedTime(), entry.externalAttributes,
                            entry.UnixMode());
        result.outcome = ExtractReport::written;
        result.verdict = Verdict::verified;
        return;
    }

    const AuthCheck auth = CheckAuthCode();
    const bool crcMatches = !crcStored || result.crc == entry.storedCrc;
    if (!crcMatches) {
        result.resync = DecodePastSilentDamage(entry, file, safeguards, result);
        if (result.resync) {
            ReleaseEntry();
            cutShort("");
            result.reason = ResyncReason(*result.resync, KnownSize(entry));
            return;
        }
    }
    const bool authentic = auth == AuthCheck::none || auth == AuthCheck::matches;
    const bool whole = result.bytesWritten >= entry.uncompressedSize;
    try {
        EndEntryRead(file);
    } catch (const CZipException&) {
        // The descriptor disagrees with the header: the data was read all
        // the same, and its CRC-32 tells whether it is sound.
        ReleaseEntry();
    }
    if (crcMatches && authentic) {
        result.outcome = ExtractReport::written;
        result.verdict = Verdict::verified;
    } else if (whole) {
        result.outcome = ExtractReport::written;
        result.verdict = Verdict::damaged;
        result.reason = !crcMatches ? "its CRC-32 differs from the stored one"
                        : auth == AuthCheck::differs
                            ? "its authentication code does not match its data"
                            : "its authentication code is cut off";
    } else {
        cutShort("its data ends before the size it claims");
    }
}
