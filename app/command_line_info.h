// The program's command line: the automation switches, after "/" or "-" and
// in any letter case, and the archives to open ("Open with" hands them over).
#pragma once

#include <string>
#include <vector>

struct CCommandLineInfo {
    enum class Action {
        Open,       // the main dialog, with `files` in its list
        Automation, // "Automation" or "Embedding": serve automation clients too
        Register,   // "Register" or "Regserver": register and end
        Unregister, // "Unregister" or "Unregserver": unregister and end
    };
    Action action = Action::Open;
    std::vector<std::string> files;
};

// A "/" word is a switch only when it names one: on this system an absolute
// path starts with "/" too. Other "-" words are ignored.
CCommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments);
