#include "engine/zip_exception.h"

int ZipErrorCause(int code) {
    switch (code) {
    case 1:
        return CZipException::streamEnd;
    case 2:
        return CZipException::needDict;
    case -1:
        return CZipException::errNo;
    case -2:
        return CZipException::streamError;
    case -3:
        return CZipException::dataError;
    case -4:
        return CZipException::memError;
    case -5:
        return CZipException::bufError;
    case -6:
        return CZipException::versionError;
    default:
        break;
    }
    if (code <= -101 && code >= -107)
        return CZipException::badZipFile + (-101 - code);
    return CZipException::generic;
}

void ThrowZipError(int code, const std::wstring& path) {
    throw CZipException(ZipErrorCause(code), path);
}

std::wstring CZipException::GetReason() const {
    static const wchar_t* const kReasons[] = {
        L"generic error",
        L"decompressor reported the end of the stream",
        L"decompressor needs a preset dictionary",
        L"decompressor file error",
        L"decompressor stream state inconsistent",
        L"corrupt compressed data",
        L"out of memory in the decompressor",
        L"decompressor buffer error",
        L"decompressor version mismatch",
        (L"bad archive: a record is cut short, an entry's method is not stored or "
         L"deflated, or a data descriptor disagrees with its entry"),
        L"CRC error",
        L"no callback",
        L"aborted",
        L"action aborted",
        L"aborted safely",
        L"non-removable",
        (L"not enough memory to list every entry: the archive holds more entries than fit "
         L"in this computer's memory (the entries found before are kept)"),
    };
    const int index = (m_cause >= 1 && m_cause <= tooManyEntries) ? m_cause - 1 : 0;
    return kReasons[index];
}
