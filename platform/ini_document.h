// An INI text kept line by line, so that values can be read now and written
// back later without losing comments, order or spelling of what was there.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniDocument {
public:
    // Parses UTF-8 text. Lines that are neither "[section]" nor "name=value"
    // are kept as they are and otherwise ignored.
    static IniDocument Parse(std::string_view text);

    // Section and value names compare without regard to ASCII case, as
    // registry names do. A value may be wrapped in double quotes.
    std::optional<std::string> Get(std::string_view section, std::string_view name) const;
    bool HasSection(std::string_view section) const;

    // Writing, for the few entries the program registers itself: sets the
    // value (adding the section at the end when missing), drops a whole
    // section, and gives the text back with every untouched line as it was.
    void Set(std::string_view section, std::string_view name, std::string_view value);
    void RemoveSection(std::string_view section);
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string section; // the section the line belongs to
        std::string name;    // empty unless the line holds a value
        std::string value;
    };
    std::vector<Line> m_lines;
};

} // namespace platform
