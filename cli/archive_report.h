// What the engine-level commands share: opening an archive with the chosen
// scan, and describing entries and errors for people and for JSON.
#pragma once

#include "engine/file_header.h"
#include "engine/zip_archive.h"

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

// The entry's time as local time, "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeText(const CFileHeader& header);
// Text for messages: the wide string in the terminal's charset, control
// characters shown as '?'.
std::string Printable(const std::wstring& text);

// What a file that yields no entry is when that is no damage: "an empty
// archive: ..." (nothing but an end record listing no entries) or "an
// empty file (0 bytes): ..."; empty for anything else.
std::string EmptyKind(const std::wstring& path);

void WriteEntryJson(JsonWriter& json, std::size_t index, const CFileHeader& header);
void WriteErrorJson(JsonWriter& json, const std::optional<ReportedError>& error);
