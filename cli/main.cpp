// kvzip: the command-line front end of Kelvane for Zip.
#include "cli/command_line.h"
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

const char kUsage[] = "Usage: kvzip COMMAND [OPTIONS] ARGUMENTS\n"
                      "\n"
                      "Kelvane for Zip salvages the files of damaged ZIP archives. The archive\n"
                      "is walked byte by byte and its entries are rebuilt from the local\n"
                      "headers found; the archive itself is only ever read.\n"
                      "\n"
                      "Commands:\n"
                      "  list [OPTIONS] ARCHIVE          show the entries the scan finds\n"
                      "  extract [OPTIONS] ARCHIVE DIR   write every readable entry below DIR\n"
                      "  check [OPTIONS] ARCHIVE...      decode every entry, writing nothing, and\n"
                      "                                  tell which are sound\n"
                      "  analyse [OPTIONS] ARCHIVE...    the desktop program's analysis of each\n"
                      "                                  archive, as its preview lists it\n"
                      "  repair -d DIR [OPTIONS] ARCHIVE...\n"
                      "                                  the desktop program's saving pass:\n"
                      "                                  DIR/Repair/<archive name>/...\n"
                      "\n"
                      "Every command takes --name-encoding NAME: the code page (an iconv name\n"
                      "such as CP850, CP866 or CP932) of entry names that are neither marked\n"
                      "as UTF-8 nor valid UTF-8; CP437 by default.\n"
                      "\n"
                      "extract, check and repair take --verbose: a line for every entry, not\n"
                      "only for those that are not verified.\n"
                      "\n"
                      "Run 'kvzip COMMAND --help' for the options of a command,\n"
                      "'kvzip --version' (-V) for the version; the manual is kvzip(1).\n"
                      "Exit codes: 0 every entry saved and verified, 3 something saved but not\n"
                      "everything verified, 1 nothing could be read or written, 2 usage,\n"
                      "130 interrupted.\n";

int RunCommand(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return exitUsage;
    }
    // --name-encoding may come before the command too; it goes to the
    // command's own options.
    std::vector<std::string> leading;
    int at = 1;
    while (at < argc && std::string_view(argv[at]).starts_with("--name-encoding")) {
        leading.push_back(argv[at]);
        if (std::string_view(argv[at]) == "--name-encoding" && at + 1 < argc)
            leading.push_back(argv[++at]);
        ++at;
    }
    if (at >= argc) {
        std::fputs(kUsage, stderr);
        return exitUsage;
    }
    const std::string command = argv[at];
    std::vector<std::string> words = leading;
    words.insert(words.end(), argv + at + 1, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return exitOk;
    }
    if (command == "--version" || command == "-V") {
        std::printf("kvzip (Kelvane for Zip) %s\n", KVZIP_VERSION);
        return exitOk;
    }
    if (command == "list")
        return RunList(words);
    if (command == "extract")
        return RunExtract(words);
    if (command == "check")
        return RunCheck(words);
    if (command == "analyse" || command == "analyze")
        return RunAnalyse(words);
    if (command == "repair")
        return RunRepair(words);
    std::fprintf(stderr, "kvzip: unknown command '%s'\nTry 'kvzip --help' for more information.\n",
                 command.c_str());
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
