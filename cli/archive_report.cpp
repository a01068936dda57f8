#include "cli/archive_report.h"

#include "cli/json_writer.h"
#include "engine/debris.h"
#include "engine/entry_decoder.h"
#include "engine/scan_state.h"
#include "engine/zip_exception.h"
#include "platform/file.h"
#include "platform/text.h"

#include <ctime>
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

std::string LocalTimeText(const CFileHeader& header) {
    const std::time_t moment = static_cast<std::time_t>(header.GetModifiedTime());
    std::tm parts{};
    char text[32] = "";
    if (localtime_r(&moment, &parts) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string Printable(const std::wstring& text) {
    // Names come from the archive: control characters would reach the
    // terminal as escape sequences, so they are shown as '?'.
    std::wstring shown = text;
    for (wchar_t& c : shown)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            c = L'?';
    return platform::EncodeLocal(shown);
}

void WriteEntryJson(JsonWriter& json, std::size_t index, const CFileHeader& header) {
    json.BeginObject()
        .Number("index", index)
        .String("name", header.name)
        .Number("flags", header.flags)
        .Number("method", header.method)
        .String("methodName", MethodLabel(header.DataMethod()))
        .Number("modTime", header.modTime)
        .Number("modDate", header.modDate)
        .Number("storedCrc", header.storedCrc)
        .Number("compressedSize", header.compressedSize)
        .Number("uncompressedSize", header.uncompressedSize)
        .Number("nameLength", header.nameLength)
        .Number("extraLength", header.extraLength)
        .Number("localHeaderOffset", header.localHeaderOffset)
        .Bool("openEnded", header.openEnded)
        .Bool("encrypted", IsEncrypted(header))
        .Bool("folder", header.IsFolder())
        .Bool("link", header.IsLink())
        .Number("externalAttributes", header.externalAttributes)
        .Number("versionMadeBy", header.versionMadeBy)
        .Number("modified", header.GetModifiedTime());
    if (const Debris debris = FindDebris(header); debris != Debris::none)
        json.String("debris", DebrisReason(debris));
    else
        json.Null("debris");
    json.EndObject();
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
