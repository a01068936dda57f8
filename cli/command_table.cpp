// kvzip's commands and their options. To add an option: declare it below
// with the field of CommandOptions it fills, give it to the commands that
// take it with their help line, and document it in docs/man/kvzip.1 (the
// completion reads the --help texts).
#include "cli/command_table.h"

#include <algorithm>
#include <string>

namespace {

constexpr Option kAdvanced{.name = "--advanced", .flag = &CommandOptions::advanced};
constexpr Option kJson{.name = "--json", .flag = &CommandOptions::json};
constexpr Option kQuiet{.letter = 'q', .name = "--quiet", .flag = &CommandOptions::quiet};
constexpr Option kVerbose{.letter = 'v', .name = "--verbose", .flag = &CommandOptions::verbose};
constexpr Option kJobs{
    .letter = 'j', .name = "--jobs", .argument = "N", .value = &CommandOptions::jobs};
constexpr Option kDest{
    .letter = 'd', .name = "--dest", .argument = "DIR", .value = &CommandOptions::dest};
// Of --keep and --overwrite-files, the last one given holds.
constexpr Option kKeep{.letter = 'n', .name = "--keep", .flag = &CommandOptions::keep};
constexpr Option kOverwriteFiles{
    .letter = 'o', .name = "--overwrite-files", .flag = &CommandOptions::keep, .flagValue = false};
constexpr Option kNoResync{.name = "--no-resync", .flag = &CommandOptions::noResync};
constexpr Option kKeepLinksAsFiles{.name = "--keep-links-as-files",
                                   .flag = &CommandOptions::keepLinksAsFiles};
constexpr Option kCurrent{.name = "--current", .argument = "N", .value = &CommandOptions::current};
constexpr Option kOverwrite{
    .name = "--overwrite", .argument = "MODE", .value = &CommandOptions::overwrite};
constexpr Option kLog{.name = "--log", .argument = "FILE", .value = &CommandOptions::log};
constexpr Option kPasswordFile{
    .name = "--password-file", .argument = "FILE", .value = &CommandOptions::passwordFile};
constexpr Option kHelp{.letter = 'h', .name = "--help", .flag = &CommandOptions::help};

} // namespace

constexpr Option kNameEncodingOption{
    .name = "--name-encoding", .argument = "NAME", .value = &CommandOptions::nameEncoding};
constexpr Option kVersionOption{.letter = 'V', .name = "--version"};
constexpr CommandOption kHelpOption{kHelp, "show this text"};

namespace {

constexpr const Option* kProgramOptions[] = {&kNameEncodingOption, &kHelp, &kVersionOption};

constexpr ProgramHelp kProgram{
    .usage = "Usage: kvzip COMMAND [OPTIONS] ARGUMENTS\n"
             "\n"
             "Kelvane for Zip salvages the files of damaged ZIP archives. The archive\n"
             "is walked byte by byte and its entries are rebuilt from the local\n"
             "headers found; the archive itself is only ever read.\n"
             "\n"
             "Commands:\n",
    .closing = "\n"
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
               "130 interrupted.\n",
};

// The help of options that several commands print alike.
constexpr std::string_view kNameEncodingHelp = "code page of names not in UTF-8 (default CP437)";
constexpr std::string_view kStoreNameEncodingHelp =
    "code page of names not in UTF-8 (default: the\n"
    "registry store's NameEncoding, else CP437)";
constexpr std::string_view kAdvancedHelp = "use the advanced scan (default: quick scan)";
constexpr std::string_view kSeeListAdvancedHelp = "use the advanced scan (see kvzip list --help)";
constexpr std::string_view kVerdictJsonHelp = "print one JSON object: every entry with its\n"
                                              "verdict, both CRC-32s and the reason";
constexpr std::string_view kVerboseHelp = "print a line for every entry, verified ones too";
constexpr std::string_view kPasswordFileHelp = "the password of encrypted entries: the first line\n"
                                               "of FILE ('-': standard input); else the variable\n"
                                               "KVZIP_PASSWORD, else it is asked on the terminal";
constexpr std::string_view kLogHelp = "write the activity log to FILE instead of the one the\n"
                                      "registry store names (never one of the archives)";

constexpr CommandOption kListOptions[] = {
    {kAdvanced, "use the advanced scan, which also reads entries\n"
                "that only the central directory still knows\n"
                "(default: quick scan)"},
    {kJson, "print one JSON object instead of a table"},
    {kNameEncodingOption, kNameEncodingHelp},
};

constexpr Command kList{
    .id = CommandId::list,
    .name = "list",
    .synopsis = "[OPTIONS] ARCHIVE",
    .summary = "show the entries the scan finds",
    .usage = "Usage: kvzip list [--advanced] [--json] [--name-encoding NAME] ARCHIVE\n"
             "\n"
             "Rebuilds the entry table of ARCHIVE by scanning it byte by byte (the\n"
             "archive's own directory is not trusted) and prints every entry found:\n"
             "index, uncompressed and compressed size, method, CRC-32, modification\n"
             "time (local time) and the offset of its local header, then its name.\n"
             "Entries that are debris (no name, control characters in it, nothing but\n"
             "separators and dots, or a compression method no ZIP writer uses) are\n"
             "marked so; extraction skips them.\n"
             "\n",
    .helpColumn = 24,
    .options = kListOptions,
    .closing = "\n"
               "When the scan stops at an error, the entries found before it are still\n"
               "printed, with the error. Exit codes: 0 scanned, 1 not readable, 2 usage.\n",
};

constexpr CommandOption kExtractOptions[] = {
    {kDest, "the destination, made when missing (or the operand)"},
    {kKeep, "never write over a file that exists: such an entry\n"
            "is not saved, which is no failure"},
    {kOverwriteFiles, "write over existing files (the default)"},
    {kAdvanced, kSeeListAdvancedHelp},
    {kJson, kVerdictJsonHelp},
    {kQuiet, "print no summary"},
    {kVerbose, kVerboseHelp},
    {kJobs, "extract on N threads (default: one per core); the\n"
            "report keeps the order of the entries"},
    {kNameEncodingOption, kNameEncodingHelp},
    {kPasswordFile, kPasswordFileHelp},
    {kNoResync, "stop a deflated or bzip2 entry at damage in its data\n"
                "instead of decoding the blocks after it"},
    {kKeepLinksAsFiles, "write symbolic links as files holding the path\n"
                        "they point to"},
};

constexpr Command kExtract{
    .id = CommandId::extract,
    .name = "extract",
    .synopsis = "[OPTIONS] ARCHIVE DIR",
    .summary = "write every readable entry below DIR",
    .usage = "Usage: kvzip extract [--advanced] [--json] [-q|-v] [-n|-o] [-j N]\n"
             "                     [--name-encoding NAME] [--password-file FILE]\n"
             "                     [--keep-links-as-files] [--no-resync] ARCHIVE DIR\n"
             "       kvzip extract [OPTIONS] ARCHIVE -d DIR\n"
             "\n"
             "Rebuilds the entry table of ARCHIVE by scanning it byte by byte and\n"
             "writes every entry that can still be read below DIR, under its stored\n"
             "path (confined to DIR). Stored and deflated entries are supported. An\n"
             "entry whose data ends early or turns bad is kept as a partial file;\n"
             "empty files and folders are made. The archive is only read.\n"
             "\n",
    .helpColumn = 24,
    .options = kExtractOptions,
    .closing = "\n"
               "Symbolic links are made as links, never followed afterwards; a link\n"
               "that would point outside DIR (an absolute target, or one that climbs\n"
               "out) is not made. Unix permissions (read, write, run) and the most\n"
               "exact time an entry holds are given to what is made.\n"
               "Every entry gets a verdict: verified (whole, and its CRC-32 matches the\n"
               "stored one), damaged (whole length, but the CRC-32 differs), partial\n"
               "(cut short or the data turned bad; the bytes decoded are kept), not\n"
               "saved (encrypted and no password or a wrong one, a method not supported,\n"
               "no safe path, or the file could not be made) or folder. Encrypted\n"
               "entries (the traditional ZIP cipher or AES) are judged alike; for AES\n"
               "the authentication code counts as their CRC-32. A line is printed for\n"
               "each entry that is not verified, then the summary: N files: A verified,\n"
               "B damaged, C partial, D not saved. Debris (no name, control characters\n"
               "in it, nothing but separators and dots, or a compression method no ZIP\n"
               "writer uses: what a false header gives) is counted apart and shown with\n"
               "--verbose. An entry whose path another entry's name had already taken\n"
               "is saved with \" (2)\" before its extension, and reported. No file of\n"
               "the archive is ever written over, and links already below DIR are not\n"
               "followed. Ctrl+C stops inside an entry and keeps its partial file; a\n"
               "second Ctrl+C ends at once.\n"
               "Exit codes: 0 every entry saved and verified, 3 something saved but not\n"
               "everything verified, 1 nothing could be read or written, 2 usage,\n"
               "130 interrupted.\n",
};

constexpr CommandOption kCheckOptions[] = {
    {kAdvanced, kSeeListAdvancedHelp},
    {kJson, kVerdictJsonHelp},
    {kQuiet, "print no summary"},
    {kVerbose, kVerboseHelp},
    {kJobs, "decode on N threads (default: one per core); the\n"
            "report keeps the order of the entries"},
    {kNameEncodingOption, kNameEncodingHelp},
    {kPasswordFile, kPasswordFileHelp},
    {kNoResync, "judge deflated and bzip2 entries as read up to\n"
                "damage in their data, without the blocks after it"},
    {kKeepLinksAsFiles, "judge symbolic links as kvzip extract does with\n"
                        "the same option: as files"},
    // Taken so that check can say why it refuses them: it writes nothing.
    {kDest, {}},
    {kKeep, {}},
    {kOverwriteFiles, {}},
};

constexpr Command kCheck{
    .id = CommandId::check,
    .name = "check",
    .synopsis = "[OPTIONS] ARCHIVE...",
    .summary = "decode every entry, writing nothing, and\n"
               "tell which are sound",
    .usage = "Usage: kvzip check [--advanced] [--json] [-q|-v] [-j N]\n"
             "                   [--name-encoding NAME] [--password-file FILE]\n"
             "                   [--keep-links-as-files] [--no-resync] ARCHIVE...\n"
             "\n"
             "Rebuilds the entry table of each ARCHIVE by scanning it byte by byte and\n"
             "decodes every entry without writing anything, to tell which entries\n"
             "would come back sound. The verdicts are those of kvzip extract: verified\n"
             "(whole, and its CRC-32 matches the stored one), damaged (whole length,\n"
             "but the CRC-32 differs), partial (cut short or the data turned bad), not\n"
             "saved (encrypted and no password or a wrong one, a method not supported,\n"
             "no safe path) or folder. \"not saved: wrong password\" means the\n"
             "password's check failed; an entry whose data changed is damaged.\n"
             "A line is printed for each entry that is not verified, then the summary\n"
             "of each archive (N files: A verified, B damaged, C partial, D not saved)\n"
             "and of the run. Debris (what a false header gives) is counted apart and\n"
             "does not change the exit code.\n"
             "\n",
    .helpColumn = 24,
    .options = kCheckOptions,
    .closing = "\n"
               "An entry whose local header is gone is read from the central directory's\n"
               "record of it; the summary says how many entries the directory lists when\n"
               "fewer of them came back verified.\n"
               "\n"
               "Exit codes: 0 every entry found is verified, 3 an entry is damaged,\n"
               "partial or would not be saved, or one the directory lists did not come\n"
               "back verified (or an archive was read only in part), 1 nothing could be\n"
               "read (an archive missing, not readable, or no ZIP entries in it),\n"
               "2 usage, 130 interrupted. An empty archive (or an empty file) is said to\n"
               "be one, with 0.\n",
};

constexpr CommandOption kAnalyseOptions[] = {
    {kAdvanced, kAdvancedHelp},
    {kJson, "print one JSON object with the texts and their raw values"},
    {kLog, kLogHelp},
    {kNameEncodingOption, "code page of names not in UTF-8 (default: the registry\n"
                          "store's NameEncoding, else CP437)"},
};

constexpr Command kAnalyse{
    .id = CommandId::analyse,
    .name = "analyse",
    .alias = "analyze",
    .synopsis = "[OPTIONS] ARCHIVE...",
    .summary = "the desktop program's analysis of each\n"
               "archive, as its preview lists it",
    .usage = "Usage: kvzip analyse [--advanced] [--json] [--log FILE] [--name-encoding NAME]\n"
             "                     ARCHIVE...\n"
             "\n"
             "Runs the analysis of the desktop program on each ARCHIVE in turn: finds\n"
             "out whether it still holds ZIP entries, rebuilds its entry table with the\n"
             "recovery scan and lists every entry the preview would show, with its\n"
             "sizes, compression ratio, modification time (UTC) and CRC-32, then the\n"
             "number of entries listed. Entries that are debris (no name, control\n"
             "characters in it, nothing but separators and dots, or a compression\n"
             "method no ZIP writer uses) are not listed: the list holds exactly the\n"
             "entries that saving tries to write.\n"
             "The activity log gets the same lines as in the desktop program.\n"
             "\n",
    .helpColumn = 14,
    .options = kAnalyseOptions,
    .closing = "\n"
               "Progress goes to stderr. Ctrl+C stops at the next safe point.\n"
               "Exit codes: 0 every archive analysed, 1 an archive could not be read,\n"
               "2 usage, 130 interrupted.\n",
};

constexpr CommandOption kRepairOptions[] = {
    {kAdvanced, kAdvancedHelp},
    {kDest, "the destination folder, made when missing"},
    {kCurrent, "save only archive number N (1-based), as Save Current\n"
               "File does; default: all archives, as Save All does"},
    {kOverwrite, "when an archive's output folder exists already:\n"
                 "ask (default; needs a terminal), yes or no (for each\n"
                 "folder), yes-to-all or no-to-all"},
    {kLog, kLogHelp},
    {kQuiet, "print no summary of the run"},
    {kVerbose, kVerboseHelp},
    {kJobs, "save on N threads (default: one per core); the\n"
            "lines and the log keep the order of the entries"},
    {kNameEncodingOption, kStoreNameEncodingHelp},
    {kPasswordFile, "the password of encrypted entries: the first line of\n"
                    "FILE ('-': standard input); else the variable\n"
                    "KVZIP_PASSWORD, else it is asked on the terminal, once\n"
                    "for all archives it fits"},
    {kKeepLinksAsFiles, "write symbolic links as files holding the path they\n"
                        "point to (see kvzip extract --help)"},
};

constexpr Command kRepair{
    .id = CommandId::repair,
    .name = "repair",
    .synopsis = "-d DIR [OPTIONS] ARCHIVE...",
    .summary = "the desktop program's saving pass:\n"
               "DIR/Repair/<archive name>/...",
    .usage = "Usage: kvzip repair [--advanced] --dest DIR [--current N]\n"
             "                    [--overwrite ask|yes|no|yes-to-all|no-to-all] [--log FILE]\n"
             "                    [-q|-v] [-j N] [--name-encoding NAME]\n"
             "                    [--password-file FILE] [--keep-links-as-files] ARCHIVE...\n"
             "\n"
             "Runs the saving pass of the desktop program: every entry that can still be\n"
             "read from each ARCHIVE is written to DIR/Repair/<archive name>/ (the name\n"
             "without its extension), partial files kept. The archives are only read.\n"
             "\n",
    .helpColumn = 21,
    .options = kRepairOptions,
    .closing = "\n"
               "Progress goes to stderr, with a line for each entry that is not verified\n"
               "(damaged, partial or not saved, see kvzip extract --help) and a summary\n"
               "for each archive and for the run: N files: A verified, B damaged,\n"
               "C partial, D not saved. Links already below DIR are not followed, and no\n"
               "archive of the run is ever written over. Ctrl+C writes the abort banner\n"
               "to the log and stops at the next safe point, inside an entry too (its\n"
               "partial file is kept); files already written stay, and a second Ctrl+C\n"
               "ends at once.\n"
               "Exit codes: 0 every entry saved and verified, 3 something saved but not\n"
               "everything verified, 1 nothing could be read or written, 2 usage,\n"
               "130 interrupted.\n",
};

} // namespace

std::span<const Command> Commands() {
    static constexpr Command commands[] = {kList, kExtract, kCheck, kAnalyse, kRepair};
    return commands;
}

const ProgramHelp& Program() {
    return kProgram;
}

std::span<const Option* const> ProgramOptions() {
    return kProgramOptions;
}

std::string Option::Label() const {
    std::string label;
    if (letter != 0)
        label = std::string{'-', letter} + ", ";
    label += name;
    if (!argument.empty())
        label += " " + std::string(argument);
    return label;
}

bool Option::Is(std::string_view word) const {
    return word == name || (letter != 0 && word == std::string{'-', letter});
}

const CommandOption* Command::Find(std::string_view optionName) const {
    const auto found = std::find_if(options.begin(), options.end(), [optionName](const auto& o) {
        return o.option.name == optionName;
    });
    return found == options.end() ? nullptr : &*found;
}

const Command* FindCommand(std::string_view name) {
    for (const Command& command : Commands())
        if (command.name == name || (!command.alias.empty() && command.alias == name))
            return &command;
    return nullptr;
}

const Option* OptionByLetter(char letter) {
    for (const Command& command : Commands())
        for (const CommandOption& taken : command.options)
            if (taken.option.letter == letter)
                return &taken.option;
    return nullptr;
}
