// Text conversions between the program's wide strings and the bytes of the
// outside world (file names, entry names, the activity log).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr wchar_t kNativeSeparator = L'/';

// Takes the locale from the environment. When that leaves plain ASCII (the
// "C" locale of a bare shell), UTF-8 is used instead so that names with
// accents survive the round trip to the file system.
void InitLocale();

// File names are bytes: one that is not text in the locale's charset must
// still reach the system call unchanged. Such a byte is held as the lone
// surrogate U+DC00 + byte, which no decoded character can be.
inline constexpr wchar_t kEscapedByteFirst = 0xDC80;
inline constexpr wchar_t kEscapedByteLast = 0xDCFF;
inline bool IsEscapedByte(wchar_t c) {
    return c >= kEscapedByteFirst && c <= kEscapedByteLast;
}

// Bytes in the locale's charset to wide text. A byte that does not start a
// valid character there becomes an escaped byte, so no two different names
// ever decode to the same text and EncodeLocal gives the bytes back.
std::wstring DecodeLocal(std::string_view bytes);

// Wide text to the locale's charset; an escaped byte becomes that byte again,
// a character the charset lacks becomes '?'.
std::string EncodeLocal(std::wstring_view text);

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// Well-formed UTF-8: no overlong forms, surrogates, or code points past
// U+10FFFF, and no sequence cut short.
bool IsValidUtf8(std::string_view bytes);

// Whether iconv can decode text in `codePage` (an iconv name: CP437, CP866...).
bool IsKnownCodePage(const std::string& codePage);

// Bytes in `codePage` to wide text; a byte that does not start a character
// there becomes U+FFFD. An unknown code page leaves only ASCII readable.
std::wstring DecodeCodePage(std::string_view bytes, const std::string& codePage);

// Every '/' and '\' becomes the native separator.
std::wstring ToNativeSeparators(std::wstring path);

// The Windows-1252 reading of one byte.
wchar_t DecodeWindows1252(unsigned char byte);

} // namespace platform
