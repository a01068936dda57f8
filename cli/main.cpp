// kvzip: the command-line front end of Kelvane for Zip.
#include "cli/command_line.h"
#include "cli/command_table.h"
#include "cli/commands.h"
#include "platform/text.h"
#include "platform/version.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

int Run(const Command& command, const std::vector<std::string>& words) {
    switch (command.id) {
    case CommandId::list:
        return RunList(command, words);
    case CommandId::extract:
        return RunExtract(command, words);
    case CommandId::check:
        return RunCheck(command, words);
    case CommandId::analyse:
        return RunAnalyse(command, words);
    case CommandId::repair:
        return RunRepair(command, words);
    }
    return exitUsage;
}

int RunCommand(int argc, char** argv) {
    const std::string usage = ProgramHelpText();
    if (argc < 2) {
        std::fputs(usage.c_str(), stderr);
        return exitUsage;
    }
    // --name-encoding may come before the command too; it goes to the
    // command's own options.
    const std::string_view nameEncoding = kNameEncodingOption.name;
    std::vector<std::string> leading;
    int at = 1;
    while (at < argc && std::string_view(argv[at]).starts_with(nameEncoding)) {
        leading.push_back(argv[at]);
        if (argv[at] == nameEncoding && at + 1 < argc)
            leading.push_back(argv[++at]);
        ++at;
    }
    if (at >= argc) {
        std::fputs(usage.c_str(), stderr);
        return exitUsage;
    }
    const std::string word = argv[at];
    std::vector<std::string> words = leading;
    words.insert(words.end(), argv + at + 1, argv + argc);
    if (word == "help" || kHelpOption.option.Is(word)) {
        std::fputs(usage.c_str(), stdout);
        return exitOk;
    }
    if (kVersionOption.Is(word)) {
        std::printf("kvzip (Kelvane for Zip) %s\n", KVZIP_VERSION);
        return exitOk;
    }
    if (const Command* command = FindCommand(word))
        return Run(*command, words);
    std::fprintf(stderr, "kvzip: unknown command '%s'\nTry 'kvzip --help' for more information.\n",
                 word.c_str());
    return exitUsage;
}

} // namespace

int main(int argc, char** argv) {
    platform::InitLocale();
    // What was saved before stays on disk; the run ends with a reason, not
    // an abort.
    try {
        return RunCommand(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("kvzip: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kvzip: unexpected error: %s\n", e.what());
    }
    return exitUnreadable;
}
