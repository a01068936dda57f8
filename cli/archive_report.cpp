#include "cli/archive_report.h"

#include "cli/json_writer.h"
#include "engine/debris.h"
#include "engine/entry_decoder.h"
#include "engine/scan_state.h"
#include "engine/zip_exception.h"
#include "platform/file.h"
#include "platform/text.h"

#include <cstdio>
#include <ctime>
#include <cwchar>
#include <exception>
#include <new>
#include <vector>

std::optional<ReportedError> OpenWithScan(CZipArchive& archive, const std::wstring& path,
                                          bool advanced) {
    g_repairMode = advanced ? 1 : 0;
    try {
        archive.OpenArchive(path, 0);
    } catch (...) {
        return DescribeCurrentException();
    }
    return std::nullopt;
}

ReportedError DescribeCurrentException() {
    try {
        throw;
    } catch (const CZipException& e) {
        return {e.m_cause, platform::ToUtf8(e.GetErrorMessage()), platform::ToUtf8(e.GetReason())};
    } catch (const CException& e) {
        return {0, platform::ToUtf8(e.GetErrorMessage()), platform::ToUtf8(e.GetReason())};
    } catch (const std::bad_alloc&) {
        return {0, "out of memory", "out of memory"};
    } catch (const std::exception& e) {
        return {0, e.what(), e.what()};
    }
}

namespace {

std::string FormatLocalTime(const CFileHeader& header, const char* format) {
    const std::time_t moment = static_cast<std::time_t>(header.GetModifiedTime());
    std::tm parts{};
    char text[40] = "";
    if (localtime_r(&moment, &parts) != nullptr)
        std::strftime(text, sizeof text, format, &parts);
    return text;
}

} // namespace

std::string LocalTimeText(const CFileHeader& header) {
    return FormatLocalTime(header, "%Y-%m-%d %H:%M:%S");
}

std::string IsoTimeText(const CFileHeader& header) {
    std::string text = FormatLocalTime(header, "%Y-%m-%dT%H:%M:%S%z");
    // strftime's offset is "+0100"; ISO 8601's extended form is "+01:00".
    if (text.size() > 2)
        text.insert(text.size() - 2, ":");
    return text;
}

std::string CrcText(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

namespace {

// What would change the terminal or the reading of what follows: C0 and C1
// controls (escape sequences), bidirectional controls (a name that shows
// as another), and the bytes of a file name that are not text.
bool TurnsTheTerminal(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           platform::IsEscapedByte(c);
}

} // namespace

std::string Printable(const std::wstring& text) {
    std::wstring shown = text;
    for (wchar_t& c : shown)
        if (TurnsTheTerminal(c))
            c = L'?';
    return platform::EncodeLocal(shown);
}

std::size_t DisplayWidth(const std::wstring& text) {
    std::size_t columns = 0;
    for (const wchar_t c : text) {
        const int width = TurnsTheTerminal(c) ? 1 : ::wcwidth(c);
        columns += width < 0 ? 1 : static_cast<std::size_t>(width);
    }
    return columns;
}

std::string PaddedPrintable(const std::wstring& text, std::size_t columns) {
    const std::size_t width = DisplayWidth(text);
    return Printable(text) + std::string(width < columns ? columns - width : 0, ' ');
}

void BeginEntryJson(JsonWriter& json, std::size_t index, const CFileHeader& header) {
    json.BeginObject()
        .Number("index", index)
        .String("name", header.name)
        .Number("flags", header.flags)
        .Number("method", header.method)
        .String("methodName", MethodLabel(header.DataMethod()))
        .String("storedCrc", CrcText(header.storedCrc))
        .Number("compressedSize", header.compressedSize)
        .Number("uncompressedSize", header.uncompressedSize);
    if (const std::string modified = IsoTimeText(header); !modified.empty())
        json.String("modified", modified);
    else
        json.Null("modified");
    json.Number("modTime", header.modTime)
        .Number("modDate", header.modDate)
        .Number("nameLength", header.nameLength)
        .Number("extraLength", header.extraLength)
        .Number("localHeaderOffset", header.localHeaderOffset)
        .Bool("openEnded", header.openEnded)
        .Bool("encrypted", IsEncrypted(header))
        .Bool("folder", header.IsFolder())
        .Bool("link", header.IsLink())
        .Number("externalAttributes", header.externalAttributes)
        .Number("versionMadeBy", header.versionMadeBy);
    const Debris debris = FindDebris(header);
    json.Bool("debris", debris != Debris::none);
    if (debris != Debris::none)
        json.String("debrisReason", DebrisReason(debris));
    else
        json.Null("debrisReason");
}

void WriteErrorJson(JsonWriter& json, const std::optional<ReportedError>& error) {
    if (!error) {
        json.Null("error");
        return;
    }
    json.Key("error")
        .BeginObject()
        .Number("cause", error->cause)
        .String("message", error->message)
        .EndObject();
}

std::string EmptyKind(const std::wstring& path) {
    CFile file;
    try {
        if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
            return {};
        const std::uint64_t length = file.GetLength();
        if (length == 0)
            return "an empty file (0 bytes): there is nothing in it to salvage";
        if (length > kEndRecordSize + 0xFFFF)
            return {};
        std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
        if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size())
            return {};
        return IsEmptyArchive(bytes.data(), bytes.size())
                   ? "an empty archive: it holds no files, and nothing is damaged"
                   : "";
    } catch (const CException&) {
        return {};
    }
}
