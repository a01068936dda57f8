// An archive opened by the recovery scan: its entry table and extraction.
#pragma once

#include "engine/central_dir.h"
#include "engine/central_size_index.h"
#include "engine/deflate_resync.h"
#include "engine/descriptor_index.h"
#include "engine/entry_decoder.h"
#include "engine/entry_verdict.h"
#include "engine/fast_inflate.h"
#include "engine/file_header.h"
#include "engine/output_file.h"
#include "engine/password.h"
#include "engine/scan_state.h"
#include "engine/zip64_field.h"
#include "engine/zip_crypto.h"
#include "engine/zip_internal_info.h"
#include "engine/zip_storage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CScanWindow;

// What became of one entry in ExtractEntryTo (or TestEntry), for callers
// that report it.
struct ExtractReport {
    enum Outcome {
        written, // whole and stamped (an empty file too)
        partial, // the data ended early or turned bad; the bytes decoded are kept
        skipped, // debris (see FindDebris): nothing made
        refused, // not written: no safe place for it (a path part too long, or
                 // its file would overwrite a source archive), encrypted, or a
                 // method not supported
        failed,  // the entry could not be opened or its file or folder not made
        folder,  // a folder entry: the folder was made, with its parents
    };
    Outcome outcome = failed;
    Verdict verdict = Verdict::notSaved;
    // Why it is not verified; empty when it is (or is a folder made).
    std::string reason;
    // Bytes decoded and written (by TestEntry: decoded only).
    std::uint64_t bytesWritten = 0;
    // The CRC-32 of those bytes, and the one the header or its descriptor
    // gives; nothing gives one for data read open-ended without a
    // descriptor at its end, or for an entry that was never read.
    std::uint32_t crc = 0;
    std::uint32_t expectedCrc = 0;
    bool crcExpected = false;
    // The entry's name as FetchEntryInfo hands it out, and where it went.
    std::wstring name;
    std::wstring outputPath;
    // Another entry of another name had this output path already: a number
    // was added to this one's file name (" (2)").
    bool renamed = false;
    // The entry is encrypted; the password did not fit it (its check byte or
    // verifier says so), and it was not saved.
    bool encrypted = false;
    bool wrongPassword = false;
    // Decoding went on past damage: what came back, what was lost.
    std::optional<ResyncOutcome> resync;
    // The central directory lists the entry.
    bool listed = false;
    // Not saved because a file of its name exists and was to be kept.
    bool keptExisting = false;
    // A symbolic link was made (by TestEntry: would be made) for the entry.
    bool link = false;
    // Said of an entry saved all the same, whatever its verdict: "kept as
    // a text file: the file system cannot hold links".
    std::string note;
    // The destination refused the entry's file: full (no space or quota
    // left), or not writable (no permission, read-only, an I/O error).
    enum class Destination { fine, full, unwritable };
    Destination destination = Destination::fine;

    bool IsDebris() const { return outcome == skipped; }
};

// How a password fits the encrypted entries of an archive.
struct PasswordFit {
    std::size_t checked = 0; // encrypted entries whose check could be read
    std::size_t fitting = 0;
    // Most of them take it: the rest are damaged or have another password.
    bool Fits() const { return checked > 0 && 2 * fitting > checked; }
};

// What a run adds to each extraction.
struct ExtractSafeguards {
    // The folder the user chose: it may be a link, nothing below it may.
    // Empty: the folder given to ExtractEntryTo.
    std::wstring destination;
    // The run's source archives: no output is ever written over one. The
    // archive being read is protected without being named here.
    std::vector<FileIdentity> sources;
    // Asked between chunks; true ends the entry there as a partial file.
    std::function<bool()> stopRequested;
    // A file that exists already is not written over: the entry is not saved.
    bool keepExisting = false;
    // Deflated data that fails or whose CRC-32 differs is searched for the
    // blocks after the damage.
    bool resync = true;
    // Links are written as files holding their target's path.
    bool keepLinksAsFiles = false;

    bool StopRequested() const { return stopRequested && stopRequested(); }
};

class CZipArchive {
public:
    enum ReadState : unsigned char { readNone = 0, readEntry = 0xFF };
    // What the encryption header of the entry being read said.
    enum class KeyCheck { plain, fits, wrongPassword, cut };

    CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;
    virtual ~CZipArchive();

    // Opens `path` for reading (both modes) and rebuilds the entry table.
    void OpenArchive(const std::wstring& path, int mode);
    // The same over bytes from elsewhere; `path` names them in errors.
    void OpenArchive(std::shared_ptr<const CByteSource> source, const std::wstring& path);
    void ScanEntries();
    // Makes this a second reader of `scanned`, which must stay open while
    // this one reads: the same bytes, entry table and password, with its
    // own entry state and output bookkeeping, so that both can extract at
    // once.
    void ReadEntriesOf(const CZipArchive& scanned);
    // Copies entry `index` into `header`, every '/' and '\' made native.
    bool FetchEntryInfo(CFileHeader& header, std::size_t index) const;
    // Deletes the table and closes the file; nothing is ever written back.
    // Folders that extraction made get their stored times now, when no file
    // is written into them any more.
    void CloseArchive(bool afterError);

    // Writes entry `index` below `folder` in chunks of `chunkSize` bytes and
    // judges what it wrote. An error while reading or writing is thrown
    // after `report` has been filled in.
    bool ExtractEntryTo(std::size_t index, const std::wstring& folder, std::uint32_t chunkSize,
                        ExtractReport* report = nullptr,
                        const ExtractSafeguards* safeguards = nullptr);
    // Decodes entry `index` as ExtractEntryTo would and judges it, writing
    // nothing.
    bool TestEntry(std::size_t index, std::uint32_t chunkSize, ExtractReport& report,
                   const ExtractSafeguards* safeguards = nullptr);
    bool BeginEntryRead(std::size_t index);
    // The next bytes of the entry; 0 at its end, or when the fast decoder
    // turned it down after handing out some of it (m_restarted): the bytes
    // so far do not count, and the entry is read again from its start.
    std::uint32_t ReadEntryData(void* buffer, std::uint32_t size);
    // Ends the entry: stamps `target`, its output file still open, when
    // given, and checks a descriptor.
    bool EndEntryRead(CFile* target);

    // The password for encrypted entries of this and later openings; an
    // empty one leaves them unsaved.
    void SetPassword(const Password& password) { m_password = password; }
    bool HasPassword() const { return !m_password.Empty(); }
    // Tries `password` on the encryption headers of up to `most` encrypted
    // entries, reading nothing else.
    PasswordFit TryPassword(const Password& password, std::size_t most = 16);
    // Encrypted entries in the table (debris left out).
    std::size_t CountEncrypted() const;

    std::size_t GetEntryCount() const { return m_centralDir.GetCount(); }
    // The scans of later openings tell `observer` how they go; none: they
    // tell nobody. It must outlive those scans.
    void SetScanObserver(CScanObserver* observer) { m_scanObserver = observer; }
    // The last scan met a data descriptor before some header.
    bool DescriptorSeen() const { return m_centralDir.m_descriptorSeen; }
    const std::wstring& GetArchivePath() const { return m_storage.GetPath(); }

    int m_decodeError = 0;
    // Set by ReadEntryData when the entry is to be read again from its start.
    bool m_restarted = false;
    // Entries of this archive that the fast decoder read (see fast_inflate.h).
    std::uint64_t m_fastEntries = 0;
    bool m_convertSlashes = true;
    bool m_trackZlibMemory = true;
    // The most memory the entry table may take, in bytes; 0 for most of what
    // the machine has left when a scan starts.
    std::uint64_t m_tableMemoryLimit = 0;
    CZipInternalInfo m_info;
    CZipStorage m_storage;
    // Blocks the decompressor allocated and has not freed yet.
    std::vector<void*> m_zlibBlocks;
    unsigned char m_readState = readNone;
    CCentralDir m_centralDir;

private:
    void QuickScan(CScanWindow& window);
    void Report(std::uint64_t position, std::uint64_t total) {
        if (m_scanObserver != nullptr)
            m_scanObserver->ScanProgress(position, total);
    }
    void ScanLocalHeaders(CScanWindow& window, bool matching);
    void AdvancedScan(CScanWindow& window);
    // The walk both scans take over the local headers: each header found is
    // handed to `read` at m_scan.headerOffset, then the walk steps over
    // its data where the step checks out, else goes on byte by byte.
    void WalkLocalHeaders(CScanWindow& window, const std::function<void(std::uint64_t)>& report,
                          const std::function<void()>& read);

    // The readings of a header found at m_scan.headerOffset. A local
    // reading takes the central note for its offset, if any, as a second
    // opinion.
    void ReadQuickLocal(CScanWindow& window, CFileHeader& header);
    // Reads the header at m_scan.headerOffset into a new entry at the table's end.
    void AppendQuickLocal(CScanWindow& window);
    bool ReadQuickCentral(CScanWindow& window);
    void ReadAdvancedLocal(CScanWindow& window);
    void ReadAdvancedCentral(CScanWindow& window);
    CentralRecord ReadCentralNote(CScanWindow& window, const CentralHeaderRecord& central);
    // The central headers from the resume offset on, as notes indexed by
    // the offsets they list.
    void CentralPass(CScanWindow& window, bool advanced);
    void IndexCentralNotes();
    CentralRecord* NoteAt(std::uint64_t localHeaderOffset);
    // Some note lists a local header offset after `from` and before `to`.
    bool ListsOffsetWithin(std::uint64_t from, std::uint64_t to) const;
    static bool LocalHeaderAt(CScanWindow& window, std::uint64_t offset);
    // Each note no entry stands for becomes an entry of its own, unless an
    // entry the directory does not list has its name.
    void PlaceUnpairedNotes(CScanWindow& window);
    // The entry a note describes, read from the note where its local header
    // is gone.
    CFileHeader DirectoryEntry(CScanWindow& window, const CentralRecord& note);
    void LookBackForDescriptor(CScanWindow& window, std::uint64_t headerOffset);

    // What an entry is read with.
    struct LocalSizes {
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t uncompressedSize = 0;
        // No sizes to go by: the data runs to the next header.
        bool openEnded = false;
    };
    // The local header's own values (its fixed part in `header`, the bytes
    // read of its extra field in `extra`), widened by its Zip64 field; with
    // flag bit 3, those TakeTrailingSizes finds.
    LocalSizes ResolveLocalSizes(CScanWindow& window, std::uint64_t headerOffset,
                                 const LocalHeaderRecord& header, std::string_view storedName,
                                 std::string_view extra);
    // The CRC and sizes of an entry with flag bit 3: the directory's record
    // for its offset (when its header holds none), else its own descriptor,
    // else a descriptor just before the next header. False when none is
    // found and the header claims no data: it is then read open-ended.
    // `zip64`: the header has a Zip64 field, so its descriptor may have
    // 8-byte sizes.
    bool TakeTrailingSizes(CScanWindow& window, std::uint64_t headerOffset,
                           std::string_view storedName, std::uint16_t nameLength,
                           std::uint16_t extraLength, bool zip64, DataDescriptor& sizes);
    // Where the data of an open-ended entry ends: at the next local or
    // central header, or at the end of the file.
    static std::uint64_t OpenEndedDataEnd(CScanWindow& window, std::uint64_t dataStart);
    // Where the data of a header ends, never wrapping past 64 bits.
    static std::uint64_t PastHeader(std::uint64_t headerOffset, std::uint32_t headerSize,
                                    std::uint32_t nameLength, std::uint64_t dataSize);
    // Moves `pos` past a header; false ends the pass.
    bool StepOver(std::uint64_t& pos, std::uint64_t target, std::uint64_t length);
    // StepOver to `target`, past the data of the local header at
    // `headerOffset`, where that step is sound; else one byte on.
    bool StepChecked(CScanWindow& window, std::uint64_t& pos, std::uint64_t headerOffset,
                     std::uint64_t target);

    // ExtractEntryTo with `folder`, TestEntry without: the entry as the scan
    // read it, or, where that does not verify, the first other reading of
    // it whose bytes do.
    bool SalvageEntry(std::size_t index, const std::wstring* folder, std::uint32_t chunkSize,
                      ExtractReport& result, const ExtractSafeguards* safeguards);
    // SalvageEntry with one reading of the entry.
    bool SalvageReading(std::size_t index, const CFileHeader& reading, const std::wstring* folder,
                        std::uint32_t chunkSize, ExtractReport& result,
                        const ExtractSafeguards* safeguards);
    // What else may be true of the entry, first to last: its central record,
    // its descriptor, then sizes the data itself may bear out (stored data
    // as long as it is, deflated data to the end of its stream). Where its
    // header says it is empty and something contradicts that, also the data
    // up to the next header.
    std::vector<CFileHeader> OtherReadings(const CFileHeader& entry, bool emptyContradicted);
    // The entry's header says it holds nothing, and its central record or
    // the bytes after its header say otherwise.
    bool EmptyContradicted(const CFileHeader& entry);
    // Reads the entry that BeginEntryRead opened into `file` (none: nothing
    // is written) and judges it.
    // The bytes read are also appended to `collected` when given.
    void ReadAndJudge(const CFileHeader& entry, CFile* file, std::uint32_t chunkSize,
                      const ExtractSafeguards* safeguards, ExtractReport& result,
                      std::string* collected = nullptr);
    // Makes the link that a judged link entry's `linkTarget` names at
    // `target` (none: nothing is written), or says why not; bytes that are
    // not verified are kept as a file.
    bool FinishLink(const CFileHeader& entry, const std::string& linkTarget,
                    const std::wstring& relative, const std::optional<OutputTarget>& target,
                    const ExtractSafeguards* safeguards, ExtractReport& result);
    // The descriptor right after `compressed` bytes of data at `dataStart`,
    // signed or not, whose compressed size says so.
    std::optional<DataDescriptor> DescriptorAfter(std::uint64_t dataStart,
                                                  std::uint64_t compressed);
    // The fast decoder turned the entry down after handing out some of it:
    // zlib reads it again from its start, and m_restarted tells the caller
    // that the bytes it had do not count.
    void RestartWithZlib();
    // Plain stored data, read straight into `out`.
    std::uint32_t ReadStoredData(unsigned char* out, std::uint32_t room);
    // After the straight decoding of `entry` failed: decodes the blocks after
    // the damage into `file` (none: nothing is written), counted in
    // `result`. Nothing when resync is off or nothing after the damage
    // decodes.
    std::optional<ResyncOutcome> DecodePastDamage(const CFileHeader& entry, CFile* file,
                                                  const ExtractSafeguards* safeguards,
                                                  ExtractReport& result);
    // After `entry` decoded to its end but its CRC-32 differs: when the
    // damaged block can be found, rewrites from it on with the blocks after
    // it at their offsets.
    std::optional<ResyncOutcome> DecodePastSilentDamage(const CFileHeader& entry, CFile* file,
                                                        const ExtractSafeguards* safeguards,
                                                        ExtractReport& result);
    bool MayResync(const CFileHeader& entry, const ExtractSafeguards* safeguards) const;
    // Cuts the entry's output back to its first `length` bytes, whose CRC-32
    // is `crc`: bytes decoded past damage are written after them.
    void RewindOutput(CFile* file, ExtractReport& result, std::uint64_t length, std::uint32_t crc);
    // The uncompressed size of the entry being read, when a record gives one.
    std::optional<std::uint64_t> KnownSize(const CFileHeader& entry) const;
    std::optional<ResyncOutcome> WritePastDamage(const CFileHeader& entry, const DamageSite& site,
                                                 CFile* file, const ExtractSafeguards* safeguards,
                                                 ExtractReport& result,
                                                 const std::function<void()>& found);
    // Gives up the entry being read without stamping or descriptor check.
    void ReleaseEntry();
    // What ending a read and giving one up share: the decoders, the cipher
    // and the buffer go, and no entry is being read.
    void TearDownEntry();
    // Makes the folder or the empty file of an entry that holds no data.
    bool MakeEmptyEntry(const CFileHeader& entry, const OutputTarget& target,
                        const ExtractSafeguards* safeguards, ExtractReport& result);
    // Opens the entry's output file at `target`; false, with the outcome and
    // reason in `result`, when there is no safe one.
    bool OpenOutput(const OutputTarget& target, const ExtractSafeguards* safeguards, CFile& file,
                    ExtractReport& result);
    // The files no output may be written over: the run's sources and this archive.
    std::vector<FileIdentity> OutputSources(const ExtractSafeguards* safeguards) const;
    // `path`, or "path (2)"... when an entry of another stored name has it.
    std::wstring ClaimOutputPath(const std::wstring& path, const std::wstring& storedName,
                                 bool& renamed);
    void StampMadeFolders();
    std::uint64_t OpenEndedDataSize(const CFileHeader& header);

    // Reads the encryption header at the storage's position and keys the
    // cipher of `entry` with `password`.
    KeyCheck OpenCipher(const CFileHeader& entry, const Password& password);
    // The bytes an encryption adds before and after the data.
    std::uint32_t CipherHeaderSize() const;
    std::uint32_t CipherTrailerSize() const { return m_aes ? kAesAuthCodeSize : 0; }
    void CloseCipher();
    // AES only: reads the encrypted bytes the decoder left and the code
    // after them, and compares.
    enum class AuthCheck { none, matches, differs, missing };
    AuthCheck CheckAuthCode();

    // Decrypts the `size` bytes just read into the read buffer.
    void DecryptRead(std::uint32_t size);

    Password m_password;
    std::unique_ptr<TraditionalCipher> m_traditional;
    std::unique_ptr<AesCipher> m_aes;
    std::uint32_t m_aesSaltSize = 0;
    // AE-2 entries store no CRC: the authentication code alone vouches.
    bool m_crcStored = true;
    KeyCheck m_keyCheck = KeyCheck::plain;
    ScanState m_scan;
    CScanObserver* m_scanObserver = nullptr;
    DescriptorIndex m_descriptors;
    CentralSizeIndex m_centralSizes;
    CFastInflate m_fastInflate;
    COutputFolderCache m_outputFolders;
    bool m_entryOpenEnded = false;
    bool m_streamActive = false;
    // The reading BeginEntryRead takes instead of the table's entry.
    const CFileHeader* m_reading = nullptr;
    // The decoder of the entry being read; none for stored data and for
    // data the fast decoder has already decoded.
    std::unique_ptr<CEntryDecoder> m_decoder;
    // Where the entry being read has its data, and the descriptor that ends
    // data read open-ended.
    std::uint64_t m_dataStart = 0;
    std::optional<DataDescriptor> m_endingDescriptor;
    // The compressed bytes given to the decoder.
    std::uint64_t m_dataSize = 0;
    // Output paths of this opening and the stored name that took each.
    std::unordered_map<std::wstring, std::wstring> m_claimedPaths;
    std::unique_ptr<unsigned char[]> m_chunk;
    std::uint32_t m_chunkSize = 0;
    struct MadeFolder {
        OutputTarget target;
        std::int64_t modified;
        std::optional<std::uint32_t> unixMode;
    };
    std::vector<MadeFolder> m_madeFolders;
};
