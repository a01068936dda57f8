// Just enough JSON for the command line's reports.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

// `text` as a JSON string literal (quotes included), from UTF-8.
std::string JsonString(std::string_view utf8);
std::string JsonString(const std::wstring& text);

// Builds one JSON value by appending members and elements in order.
// Raised when a member of a command's output changes meaning or goes away;
// new members do not raise it.
inline constexpr int kJsonFormatVersion = 2;

class JsonWriter {
public:
    // The object a command prints, its "formatVersion" first.
    JsonWriter& BeginDocument() {
        return BeginObject().Number("formatVersion", kJsonFormatVersion);
    }
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray(std::string_view key);
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view key, const std::wstring& value);
    JsonWriter& String(std::string_view key, std::string_view utf8);
    // Any integer as it stands: 64-bit sizes and offsets stay exact.
    template <std::integral T> JsonWriter& Number(std::string_view key, T value) {
        return Raw(key, std::to_string(value));
    }
    JsonWriter& Bool(std::string_view key, bool value);
    JsonWriter& Null(std::string_view key);
    // Appends an already formed JSON value under `key`.
    JsonWriter& Raw(std::string_view key, std::string_view json);

    const std::string& Text() const { return m_text; }

private:
    void Separate();
    void Name(std::string_view key);

    std::string m_text;
    bool m_needComma = false;
};
