// An archive opened by the recovery scan: its entry table and extraction.
#pragma once

#include "engine/central_dir.h"
#include "engine/descriptor_index.h"
#include "engine/file_header.h"
#include "engine/output_file.h"
#include "engine/zip_internal_info.h"
#include "engine/zip_storage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CScanWindow;

// What became of one entry in ExtractEntryTo, for callers that report it.
struct ExtractReport {
    enum Outcome {
        written, // whole and stamped
        partial, // the data ended early or turned bad; the bytes decoded are kept
        skipped, // debris: P and K in the file name, no name, or no CRC and sizes
        refused, // no safe place for it: a path part too long, or its file
                 // would overwrite a source archive
        failed,  // the entry could not be opened or its file not created
    };
    Outcome outcome = failed;
    // Why it was skipped, refused, failed or cut short; empty when written.
    const char* reason = "";
    std::uint64_t bytesWritten = 0;
    std::wstring outputPath;
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
};

class CZipArchive {
public:
    enum ReadState : unsigned char { readNone = 0, readEntry = 0xFF };

    CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;
    virtual ~CZipArchive();

    // Opens `path` for reading (both modes) and rebuilds the entry table.
    void OpenArchive(const std::wstring& path, int mode);
    void ScanEntries();
    // Copies entry `index` into `header`, every '/' and '\' made native.
    bool FetchEntryInfo(CFileHeader& header, std::size_t index) const;
    // Deletes the table and closes the file; nothing is ever written back.
    void CloseArchive(bool afterError);

    // Writes entry `index` below `folder` in chunks of `chunkSize` bytes.
    bool ExtractEntryTo(std::size_t index, const std::wstring& folder, std::uint32_t chunkSize,
                        ExtractReport* report = nullptr,
                        const ExtractSafeguards* safeguards = nullptr);
    bool BeginEntryRead(std::size_t index);
    std::uint32_t ReadEntryData(void* buffer, std::uint32_t size);
    // Ends the entry: stamps `target`, its output file still open, when
    // given, and checks a descriptor.
    bool EndEntryRead(CFile* target);

    std::size_t GetEntryCount() const { return m_centralDir.GetCount(); }
    const std::wstring& GetArchivePath() const { return m_storage.GetPath(); }

    int m_decodeError = 0;
    bool m_convertSlashes = true;
    bool m_trackZlibMemory = true;
    CZipInternalInfo m_info;
    CZipStorage m_storage;
    // Blocks the decompressor allocated and has not freed yet.
    std::vector<void*> m_zlibBlocks;
    unsigned char m_readState = readNone;
    CCentralDir m_centralDir;

private:
    void QuickScan(CScanWindow& window);
    void ScanLocalHeaders(CScanWindow& window, bool matching);
    void AdvancedScan(CScanWindow& window);

    // The readings of a header found at g_headerOffset.
    void ReadQuickLocal(CScanWindow& window, CFileHeader& header, bool matching);
    bool ReadQuickCentral(CScanWindow& window);
    void ReadAdvancedLocal(CScanWindow& window);
    void ReadAdvancedCentral(CScanWindow& window);
    void LookBackForDescriptor(CScanWindow& window, std::uint32_t headerOffset);
    // Replaces the CRC and sizes of a bit-3 entry by its own descriptor's.
    // Returns false when that descriptor is not in the file.
    bool TakeOwnDescriptor(CScanWindow& window, std::uint32_t headerOffset,
                           std::uint16_t nameLength, std::uint16_t extraLength, std::uint32_t& crc,
                           std::uint32_t& compressedSize, std::uint32_t& uncompressedSize);
    // Moves `pos` past a header; false ends the pass.
    static bool StepOver(std::uint64_t& pos, std::uint64_t target, std::uint32_t length);

    // Gives up the entry being read without stamping or descriptor check.
    void ReleaseEntry();
    // Opens the entry's output file at `relative` below `folder`; false, with
    // the outcome and reason in `result`, when there is no safe one.
    bool OpenOutput(const std::wstring& folder, const std::wstring& relative,
                    const ExtractSafeguards* safeguards, CFile& file, ExtractReport& result);
    std::uint64_t OpenEndedDataSize(const CFileHeader& header);

    DescriptorIndex m_descriptors;
    COutputFolderCache m_outputFolders;
    bool m_entryOpenEnded = false;
    bool m_streamActive = false;
};
