#include "app/command_line_info.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

CCommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments) {
    CCommandLineInfo info;
    bool version = false;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h")
            return {CCommandLineInfo::Action::Help, {}};
        if (argument == "--version") {
            version = true;
            continue;
        }
        const bool flagged = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
        const std::string_view name = flagged ? std::string_view(argument).substr(1) : "";
        if (flagged && (SameWord(name, "Embedding") || SameWord(name, "Automation")))
            info.action = CCommandLineInfo::Action::Automation;
        else if (flagged && (SameWord(name, "Register") || SameWord(name, "Regserver")))
            info.action = CCommandLineInfo::Action::Register;
        else if (flagged && (SameWord(name, "Unregister") || SameWord(name, "Unregserver")))
            info.action = CCommandLineInfo::Action::Unregister;
        else if (argument.empty() || argument[0] != '-')
            info.files.push_back(argument);
    }
    if (version)
        return {CCommandLineInfo::Action::Version, {}};
    return info;
}
