// The options of the commands, parsed once for all of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CommandOptions {
    bool advanced = false;
    bool json = false;
    bool help = false;
    bool verbose = false;
    bool quiet = false;    // no summary
    bool keep = false;     // extract: never write over an existing file
    bool noResync = false; // --no-resync: no decoding past damage
    bool keepLinksAsFiles = false;
    std::string dest;
    std::string current; // 1-based archive number, as given
    std::string overwrite = "ask";
    std::string log;
    std::string nameEncoding; // the legacy code page of entry names, as given
    std::string jobs;         // threads that extract, as given
    unsigned jobCount = 0;    // --jobs checked; 0 when not given
    std::string passwordFile;
    std::vector<std::string> operands;
};

struct Command;

// Parses the words after the command name, accepting only the options that
// `command` takes (cli/command_table.cpp); a short option ("-v", "-j 2",
// "-j2") stands for its long one. Returns an error text for a usage error,
// empty when the words are good. A --name-encoding that iconv knows is put
// in force here, for every command alike.
std::string ParseCommandOptions(const std::vector<std::string>& words, const Command& command,
                                CommandOptions& options);

// A usage error ends the command: "kvzip COMMAND: ERROR" on stderr, then
// where to find the help. Returns exitUsage, or nothing when `error` is empty.
std::optional<int> RefuseUsage(const Command& command, const std::string& error);

// What every command does before its work: --help prints its help and ends
// it with exitOk; else a usage error ends it as RefuseUsage does. Returns
// nothing when the command goes on.
std::optional<int> EndBeforeTheWork(const Command& command, const CommandOptions& options,
                                    const std::string& usageError);

// `kvzip COMMAND --help` and `kvzip --help`, printed from the command table.
std::string CommandHelp(const Command& command);
std::string ProgramHelpText();

// More threads than this only queue for the same cores and disk.
constexpr unsigned kMaxJobs = 64;

// Exit codes of every command.
// exitProblems: kvzip check found an entry that is not verified.
enum ExitCode {
    exitOk = 0,
    exitUnreadable = 1,
    exitUsage = 2,
    exitProblems = 3,
    exitInterrupted = 130
};
