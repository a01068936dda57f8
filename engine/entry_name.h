// Entry names as their writer meant them: the stored bytes are decoded as
// one whole name, by what the header says about them or, failing that, by
// what they look like.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// General purpose flag bit 11: the name (and comment) are UTF-8.
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;

// The code page of names that are neither marked as UTF-8 nor valid UTF-8.
// The ZIP format's own is CP437; the user may choose another iconv name.
extern std::string g_nameEncoding;
inline constexpr const char* kDefaultNameEncoding = "CP437";

// Makes `codePage` the legacy code page of names; false (nothing changed)
// when iconv does not know it.
bool SetNameEncoding(const std::string& codePage);

// Flag bit 11 means UTF-8; else a Unicode Path extra field (0x7075) whose
// CRC-32 matches the stored name gives the name in UTF-8; else a name that
// is valid UTF-8 is UTF-8; else it is in g_nameEncoding. `extra` is the
// header's extra field.
std::wstring DecodeEntryName(std::string_view stored, std::uint16_t flags, std::string_view extra);
