#include "cli/json_writer.h"

#include "platform/text.h"

#include <cstdio>

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::string JsonString(const std::wstring& text) {
    // A byte of a file name that is not text goes out as its lone surrogate
    // ("\udcff"), which a reader that knows the convention turns back into
    // the byte; everything else as UTF-8.
    std::string out = "\"";
    std::size_t from = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !platform::IsEscapedByte(text[i]))
            continue;
        const std::string part = JsonString(platform::ToUtf8(text.substr(from, i - from)));
        out.append(part, 1, part.size() - 2);
        if (i < text.size()) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(text[i]));
            out += escaped;
        }
        from = i + 1;
    }
    out += '"';
    return out;
}

void JsonWriter::Separate() {
    if (m_needComma)
        m_text += ',';
    m_needComma = true;
}

void JsonWriter::Name(std::string_view key) {
    Separate();
    if (!key.empty()) {
        m_text += JsonString(key);
        m_text += ':';
    }
}

JsonWriter& JsonWriter::BeginObject() {
    Name({});
    m_text += '{';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_text += '}';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::BeginArray(std::string_view key) {
    Name(key);
    m_text += '[';
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_text += ']';
    m_needComma = true;
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    Name(key);
    m_needComma = false;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view key, const std::wstring& value) {
    return Raw(key, JsonString(value));
}

JsonWriter& JsonWriter::String(std::string_view key, std::string_view utf8) {
    return Raw(key, JsonString(utf8));
}

JsonWriter& JsonWriter::Bool(std::string_view key, bool value) {
    return Raw(key, value ? "true" : "false");
}

JsonWriter& JsonWriter::Null(std::string_view key) {
    return Raw(key, "null");
}

JsonWriter& JsonWriter::Raw(std::string_view key, std::string_view json) {
    Name(key);
    m_text += json;
    return *this;
}
