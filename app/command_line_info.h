// The program's command line: the automation switches, after "/" or "-" and
// in any letter case, the archives to open ("Open with" hands them over),
// and --help and --version, which print and end before any window exists.
#pragma once

#include <string>
#include <vector>

struct CCommandLineInfo {
    enum class Action {
        Open,       // the main dialog, with `files` in its list
        Automation, // "Automation" or "Embedding": serve automation clients too
        Register,   // "Register" or "Regserver": register and end
        Unregister, // "Unregister" or "Unregserver": unregister and end
        Help,       // "--help" or "-h": print the usage and end
        Version,    // "--version": print the version and end
    };
    Action action = Action::Open;
    std::vector<std::string> files;
};

// A "/" word is a switch only when it names one: on this system an absolute
// path starts with "/" too. Other "-" words are ignored. --help and
// --version win over every other word, wherever they stand.
CCommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments);
