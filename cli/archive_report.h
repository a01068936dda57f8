// What the engine-level commands share: opening an archive with the chosen
// scan, and describing entries and errors for people and for JSON.
#pragma once

#include "engine/file_header.h"
#include "engine/zip_archive.h"

#include <cstdint>
#include <optional>
#include <string>

class JsonWriter;

// An error that ended a scan or an entry.
struct ReportedError {
    int cause = 0;       // the engine's cause, 0 for a file error
    std::string message; // with the file name
    std::string reason;  // without it
};

// Opens `path` with the quick or the advanced scan. The entries found before
// an error stay in the archive's table; the error is returned.
std::optional<ReportedError> OpenWithScan(CZipArchive& archive, const std::wstring& path,
                                          bool advanced);

// Describes the exception being handled (call inside a catch block).
ReportedError DescribeCurrentException();

// The entry's time as local time, "YYYY-MM-DD HH:MM:SS", and in ISO 8601
// with the offset from UTC, "YYYY-MM-DDTHH:MM:SS+01:00"; empty when it
// names no time.
std::string LocalTimeText(const CFileHeader& header);
std::string IsoTimeText(const CFileHeader& header);
// A CRC-32 as every output shows it: eight lower-case hex digits.
std::string CrcText(std::uint32_t crc);
// Text for messages: the wide string in the terminal's charset, control
// characters shown as '?'.
std::string Printable(const std::wstring& text);

// Printable(text) padded with blanks to `columns` terminal columns: a wide
// character (CJK) takes two, a combining one none.
std::string PaddedPrintable(const std::wstring& text, std::size_t columns);
// The columns Printable(text) takes on a terminal.
std::size_t DisplayWidth(const std::wstring& text);
// What a file that yields no entry is when that is no damage: "an empty
// archive: ..." (nothing but an end record listing no entries) or "an
// empty file (0 bytes): ..."; empty for anything else.
std::string EmptyKind(const std::wstring& path);

// Opens the JSON object of an entry with what list, check and extract all
// give of it: its header's fields, its time (ISO 8601 and the DOS fields)
// and whether it is debris. The caller adds its own members and ends it.
void BeginEntryJson(JsonWriter& json, std::size_t index, const CFileHeader& header);
void WriteErrorJson(JsonWriter& json, const std::optional<ReportedError>& error);
