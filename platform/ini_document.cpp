#include "platform/ini_document.h"

#include <algorithm>

namespace platform {

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    // A byte-order mark from a Windows editor would otherwise stick to the first name.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::string section;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        Line line{std::string(raw), {}, {}, {}};
        const std::string_view body = Trim(raw);
        if (body.size() >= 2 && body.front() == '[' && body.back() == ']') {
            section = std::string(Trim(body.substr(1, body.size() - 2)));
        } else if (!body.empty() && body.front() != ';' && body.front() != '#') {
            const std::size_t eq = body.find('=');
            if (eq != std::string_view::npos && eq > 0) {
                std::string_view value = Trim(body.substr(eq + 1));
                if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    value = value.substr(1, value.size() - 2);
                line.name = std::string(Trim(body.substr(0, eq)));
                line.value = std::string(value);
            }
        }
        line.section = section;
        doc.m_lines.push_back(std::move(line));
    }
    return doc;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view name) const {
    // The last assignment wins, as when a file is read top to bottom.
    std::optional<std::string> found;
    for (const Line& line : m_lines) {
        if (!line.name.empty() && SameName(line.section, section) && SameName(line.name, name))
            found = line.value;
    }
    return found;
}

bool IniDocument::HasSection(std::string_view section) const {
    // A header line's own section is the one it opens.
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const Line& line) { return SameName(line.section, section); });
}

void IniDocument::Set(std::string_view section, std::string_view name, std::string_view value) {
    const std::string text = std::string(name) + "=" + std::string(value);
    for (auto line = m_lines.rbegin(); line != m_lines.rend(); ++line) {
        if (!line->name.empty() && SameName(line->section, section) && SameName(line->name, name)) {
            line->text = text;
            line->value = std::string(value);
            return;
        }
    }
    // After the section's last line, or in a new section at the end.
    auto last = m_lines.end();
    for (auto line = m_lines.begin(); line != m_lines.end(); ++line) {
        if (SameName(line->section, section))
            last = line + 1;
    }
    if (last == m_lines.end() && !HasSection(section)) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty())
            m_lines.push_back(Line{"", m_lines.back().section, {}, {}});
        m_lines.push_back(Line{"[" + std::string(section) + "]", std::string(section), {}, {}});
        last = m_lines.end();
    }
    m_lines.insert(last, Line{text, std::string(section), std::string(name), std::string(value)});
}

void IniDocument::RemoveSection(std::string_view section) {
    std::erase_if(m_lines, [&](const Line& line) { return SameName(line.section, section); });
}

std::string IniDocument::Text() const {
    std::string text;
    for (const Line& line : m_lines) {
        text += line.text;
        text += '\n';
    }
    return text;
}

} // namespace platform
