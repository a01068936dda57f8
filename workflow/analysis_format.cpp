#include "workflow/analysis_format.h"

#include "engine/entry_decoder.h"
#include "engine/entry_verdict.h"
#include "engine/file_header.h"
#include "platform/text.h"
#include "workflow/entry_row.h"

#include <ctime>
#include <cwchar>

std::wstring FormatSizeText(std::uint64_t value) {
    static const wchar_t* const kUnits[] = {L"Bytes", L"KB", L"MB", L"GB"};
    std::uint64_t number = value;
    int unit = 0;
    while (unit < 3 && number >= 1024) {
        number /= 1024;
        ++unit;
    }
    return std::to_wstring(number) + L"   " + kUnits[unit];
}

std::uint32_t CompressionRatio(std::uint64_t compressedSize, std::uint64_t uncompressedSize) {
    if (uncompressedSize == 0)
        return 0;
    // 128-bit intermediate: sizes of 64 bits times 100 would overflow.
    const auto ratio = static_cast<unsigned __int128>(compressedSize) * 100 / uncompressedSize;
    return static_cast<std::uint32_t>(ratio);
}

std::wstring FormatRatioText(std::uint64_t compressedSize, std::uint64_t uncompressedSize) {
    // Printed as a signed int: the quotient is narrowed as "%d" would.
    return std::to_wstring(static_cast<int>(CompressionRatio(compressedSize, uncompressedSize))) +
           L"%";
}

std::wstring FormatModifiedTimeText(std::int64_t moment) {
    const auto seconds = static_cast<std::time_t>(moment);
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr)
        return {};
    // The text of "%d %b %Y, %X" in the "C" locale, whatever locale the
    // process runs in: English month names and a 24-hour clock.
    static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                             L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    wchar_t text[128];
    const int length = std::swprintf(text, 128, L"%02d %ls %d, %02d:%02d:%02d", parts.tm_mday,
                                     kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                                     parts.tm_min, parts.tm_sec);
    if (length <= 0)
        return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring FormatCrcText(std::uint32_t crc) {
    return std::to_wstring(crc);
}

EntryRow MakeEntryRow(const CFileHeader& header) {
    EntryRow row;
    row.name = header.name;
    row.uncompressedSize = header.uncompressedSize;
    row.compressedSize = header.compressedSize;
    row.ratio = CompressionRatio(header.compressedSize, header.uncompressedSize);
    row.modifiedTime = header.GetModifiedTime();
    row.crc = header.storedCrc;
    row.encrypted = IsEncrypted(header);
    row.texts[columnFileName] = header.name;
    row.texts[columnUncompressedSize] = FormatSizeText(header.uncompressedSize);
    row.texts[columnCompressedSize] = FormatSizeText(header.compressedSize);
    row.texts[columnRatio] = FormatRatioText(header.compressedSize, header.uncompressedSize);
    row.texts[columnModifiedTime] = FormatModifiedTimeText(row.modifiedTime);
    row.texts[columnCrc] = FormatCrcText(header.storedCrc);
    row.texts[columnMethod] = platform::FromUtf8(MethodLabel(header.DataMethod()));
    return row;
}
