// The options of the commands, parsed once for all of them.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CommandOptions {
    bool advanced = false;
    bool json = false;
    bool help = false;
    bool verbose = false;
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
    // The long options given, in order, to refuse those a command lacks.
    std::vector<std::string> given;
};

// Parses the words after the command name, accepting only the options in
// `allowed` (e.g. "--advanced", "--dest"). Returns an error text for a
// usage error, empty when the words are good. A --name-encoding that iconv
// knows is put in force here, for every command alike.
std::string ParseCommandOptions(const std::vector<std::string>& words,
                                std::initializer_list<std::string_view> allowed,
                                CommandOptions& options);

// A usage error ends the command: "kvzip COMMAND: ERROR" on stderr, then
// `usage` when given. Returns exitUsage, or nothing when `error` is empty.
std::optional<int> RefuseUsage(const char* command, const std::string& error,
                               const char* usage = nullptr);

// What every command does before its work: --help prints `usage` and ends
// it with exitOk; else a usage error ends it as RefuseUsage does. Returns
// nothing when the command goes on.
std::optional<int> EndBeforeTheWork(const char* command, const CommandOptions& options,
                                    const std::string& usageError, const char* usage);

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
