// The engine's exception and the mapping of internal error codes to causes.
#pragma once

#include "platform/file.h"

#include <string>

class CZipException : public CException {
public:
    enum Cause {
        generic = 1,
        streamEnd = 2,
        needDict = 3,
        errNo = 4,
        streamError = 5,
        dataError = 6,
        memError = 7,
        bufError = 8,
        versionError = 9,
        badZipFile = 10,
        badCrc = 11,
        noCallback = 12,
        aborted = 13,
        abortedAction = 14,
        abortedSafely = 15,
        nonRemovable = 16,
        // The entry table outgrew the memory there is; the entries found
        // before stay in it.
        tooManyEntries = 17,
    };

    // Internal codes: the decompressor's (1, 2, -1 .. -6) and the archive's own.
    enum Code {
        codeBadZipFile = -101,
    };

    CZipException(int cause, std::wstring fileName)
        : m_cause(cause), m_fileName(std::move(fileName)) {}

    std::wstring GetReason() const override;
    std::wstring GetFileName() const override { return m_fileName; }

    int m_cause;
    // Path of the archive concerned; empty for errors raised at archive level.
    std::wstring m_fileName;
};

// The cause that internal `code` maps to.
int ZipErrorCause(int code);

[[noreturn]] void ThrowZipError(int code, const std::wstring& path);
