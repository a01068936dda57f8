// An archive opened by the recovery scan: its entry table and extraction.
#pragma once

#include "engine/central_dir.h"
#include "engine/descriptor_index.h"
#include "engine/file_header.h"
#include "engine/zip64_field.h"
#include "engine/zip_internal_info.h"
#include "engine/zip_storage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CScanWindow;

// What became of one entry in ExtractEntryTo, for callers that report it.
struct ExtractReport {
    enum Outcome {
        written, // whole and stamped
        partial, // the data ended early or turned bad; the bytes decoded are kept
        skipped, // debris: P and K in the file name, no name, or no CRC and sizes
        refused, // no safe place for it: a path part too long
        failed,  // the entry could not be opened or its file not created
    };
    Outcome outcome = failed;
    // Why it was skipped, refused, failed or cut short; empty when written.
    const char* reason = "";
    std::uint64_t bytesWritten = 0;
    std::wstring outputPath;
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
    // The same over bytes from elsewhere; `path` names them in errors.
    void OpenArchive(std::shared_ptr<const CByteSource> source, const std::wstring& path);
    void ScanEntries();
    // Copies entry `index` into `header`, every '/' and '\' made native.
    bool FetchEntryInfo(CFileHeader& header, std::size_t index) const;
    // Deletes the table and closes the file; nothing is ever written back.
    void CloseArchive(bool afterError);

    // Writes entry `index` below `folder` in chunks of `chunkSize` bytes.
    bool ExtractEntryTo(std::size_t index, const std::wstring& folder, std::uint32_t chunkSize,
                        ExtractReport* report = nullptr);
    bool BeginEntryRead(std::size_t index);
    std::uint32_t ReadEntryData(void* buffer, std::uint32_t size);
    // Ends the entry: stamps `targetPath` when given and checks a descriptor.
    bool EndEntryRead(const std::wstring* targetPath);

    std::size_t GetEntryCount() const { return m_centralDir.GetCount(); }
    const std::wstring& GetArchivePath() const { return m_storage.GetPath(); }

    int m_decodeError = 0;
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
    void ScanLocalHeaders(CScanWindow& window, bool matching);
    void AdvancedScan(CScanWindow& window);

    // The readings of a header found at g_headerOffset.
    void ReadQuickLocal(CScanWindow& window, CFileHeader& header, bool matching);
    // Reads the header at g_headerOffset into a new entry at the table's end.
    void AppendQuickLocal(CScanWindow& window, bool matching);
    bool ReadQuickCentral(CScanWindow& window);
    void ReadAdvancedLocal(CScanWindow& window);
    void ReadAdvancedCentral(CScanWindow& window);
    void LookBackForDescriptor(CScanWindow& window, std::uint64_t headerOffset);

    // What an entry is read with.
    struct LocalSizes {
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t uncompressedSize = 0;
        // No sizes to go by: the data runs to the next local header.
        bool openEnded = false;
    };
    // The local header's own values (its fixed part in `raw`, the `extraRead`
    // bytes of its extra field in `extra`), widened by its Zip64 field, or
    // those of its own descriptor when flag bit 3 says the data has one.
    LocalSizes ResolveLocalSizes(CScanWindow& window, std::uint64_t headerOffset,
                                 const unsigned char* raw, const unsigned char* extra,
                                 std::size_t extraRead);
    // The sizes and offset of the central header at g_headerOffset (fixed part
    // in `raw`), widened by its Zip64 field.
    Zip64Values ReadCentralValues(CScanWindow& window, const unsigned char* raw);
    // Where the data of a header ends, never wrapping past 64 bits.
    static std::uint64_t PastHeader(std::uint64_t headerOffset, std::uint32_t headerSize,
                                    std::uint32_t nameLength, std::uint64_t dataSize);
    // Moves `pos` past a header; false ends the pass.
    static bool StepOver(std::uint64_t& pos, std::uint64_t target, std::uint64_t length);

    // Gives up the entry being read without stamping or descriptor check.
    void ReleaseEntry();
    std::uint64_t OpenEndedDataSize(const CFileHeader& header);

    DescriptorIndex m_descriptors;
    // Extra bytes of the header being read.
    std::vector<unsigned char> m_extraScratch;
    bool m_entryOpenEnded = false;
    bool m_streamActive = false;
};
