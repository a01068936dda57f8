// The manual page, the bash completion and the usage lines of each help say
// what cli/command_table.cpp declares: every command and every option it
// shows are in each, with the same short form and argument, and none offers
// one it lacks.
#include "cli/command_table.h"
#include "subprocess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

// The long options `command --help` shows, --help included.
Names ShownOptions(const Command& command) {
    Names shown = {std::string(kHelpOption.option.name)};
    for (const CommandOption& taken : command.options)
        if (!taken.help.empty())
            shown.emplace(taken.option.name);
    return shown;
}

// The long options that the "Usage:" lines of `command --help` name, in
// either form.
Names UsageOptions(const Command& command) {
    const std::string usage(command.usage.substr(0, command.usage.find("\n\n")));
    const std::regex option(R"((^|[ \[|])(--?[a-z][a-z0-9-]*))");
    Names named = {std::string(kHelpOption.option.name)};
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
        const std::string name = (*it)[2];
        const Option* byLetter = name.size() == 2 ? OptionByLetter(name[1]) : nullptr;
        named.insert(byLetter != nullptr ? std::string(byLetter->name) : name);
    }
    return named;
}

const Option* DeclaredOption(std::string_view name) {
    for (const Option* option : ProgramOptions())
        if (option->name == name)
            return option;
    for (const Command& command : Commands())
        if (const CommandOption* taken = command.Find(name))
            return &taken->option;
    return nullptr;
}

// What kvzip(1) says of the commands and their options.
struct ManualPage {
    Names commands;                     // the entries under COMMANDS
    std::map<std::string, Names> usage; // a command's options in its SYNOPSIS
    // The commands that an entry under OPTIONS names at its end, as
    // "(extract, check)", for each option.
    std::map<std::string, Names> takenBy;
    std::map<std::string, std::string> shortForm; // "--jobs" -> "-j", as the entry's tag has it
    Names takesValue;                             // tags in bold and italic: ".BI --log file"

    explicit ManualPage(const fs::path& path) {
        std::ifstream in(path);
        std::string line;
        std::string section;
        std::string synopsisOf; // the command of the SYNOPSIS block read
        bool tag = false;       // the line after .TP
        int nesting = 0;        // inside .RS: a list within an entry
        std::vector<std::string> entry;
        const std::regex option(R"((^|[ "])(--?[a-zA-Z][a-z0-9-]*))");
        const std::regex commandList(R"(\(([a-z]+(, [a-z]+)*)\))");
        while (std::getline(in, line)) {
            line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
            std::istringstream words(line);
            std::string macro, first;
            words >> macro >> first;
            std::vector<std::string> named;
            for (std::sregex_iterator it(line.begin(), line.end(), option), end; it != end; ++it)
                named.push_back((*it)[2]);
            if (macro == ".SH") {
                section = first;
            } else if (macro == ".RS" || macro == ".RE") {
                nesting += macro == ".RS" ? 1 : -1;
            } else if (section == "SYNOPSIS") {
                if (macro == ".SY")
                    synopsisOf.clear();
                else if (macro == ".B" && synopsisOf.empty() && !first.starts_with("-"))
                    synopsisOf = first;
                else if ((macro == ".OP" || macro == ".B") && first.starts_with("--") &&
                         !synopsisOf.empty())
                    usage[synopsisOf].insert(first);
            } else if (section == "COMMANDS" && tag) {
                commands.insert(first);
            } else if (section == "OPTIONS" && tag && nesting == 0) {
                // ".BI -j " n\fR, " --jobs " n"": the long forms and their short one.
                entry.clear();
                std::string shortName;
                for (const std::string& name : named) {
                    if (name.starts_with("--"))
                        entry.push_back(name);
                    else
                        shortName = name;
                }
                for (const std::string& longName : entry) {
                    takenBy[longName];
                    shortForm[longName] = shortName;
                    if (macro == ".BI")
                        takesValue.insert(longName);
                }
            } else if (section == "OPTIONS" && std::regex_match(line, commandList)) {
                std::istringstream list(line.substr(1, line.size() - 2));
                for (std::string name; std::getline(list >> std::ws, name, ',');)
                    for (const std::string& longName : entry)
                        takenBy[longName].insert(name);
            }
            tag = macro == ".TP";
        }
    }
};

// What the bash completion offers for `line`, the cursor at its end.
Names Completions(const std::string& framework, const std::string& line) {
    const RunResult run = RunProgram(
        {"/bin/bash", "--norc", "--noprofile", "-c",
         "source \"$1\"; source \"$2\"\n"
         "COMP_LINE=$3; COMP_POINT=${#COMP_LINE}\n"
         "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
         "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
         "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
         "_kvzip \"$4\" \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
         "printf '%s\\n' \"${COMPREPLY[@]}\"",
         "_", framework, KVZIP_SOURCE_DIR "/packaging/completion/kvzip.bash", line, KVZIP_BINARY});
    EXPECT_EQ(run.exitCode, 0) << line << ": " << run.err;
    Names offered;
    std::istringstream lines(run.out);
    for (std::string word; std::getline(lines, word);)
        if (!word.empty())
            offered.insert(word);
    return offered;
}

void ExpectFitsEightyColumns(const std::vector<std::string>& helpCommand) {
    const RunResult help = RunProgram(helpCommand);
    EXPECT_EQ(help.exitCode, 0);
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80U) << line;
}

TEST(CommandTable, IsWhatTheHelpTheManualAndTheCompletionSay) {
    const ManualPage page(KVZIP_SOURCE_DIR "/docs/man/kvzip.1");
    Names commands;
    for (const Command& command : Commands())
        commands.emplace(command.name);
    EXPECT_EQ(page.commands, commands) << "the COMMANDS of kvzip(1)";

    // Every option documented is declared, with the same short form and argument.
    for (const auto& [name, users] : page.takenBy) {
        SCOPED_TRACE(name);
        const Option* option = DeclaredOption(name);
        ASSERT_NE(option, nullptr) << "kvzip(1) documents an option no command takes";
        EXPECT_EQ(page.shortForm.at(name),
                  option->letter != 0 ? "-" + std::string(1, option->letter) : "");
        EXPECT_EQ(page.takesValue.count(name) == 1, !option->argument.empty());
    }
    for (const Option* option : ProgramOptions())
        EXPECT_EQ(page.takenBy.count(std::string(option->name)), 1U) << option->name;

    for (const Command& command : Commands()) {
        SCOPED_TRACE(command.name);
        const std::string name(command.name);
        const Names shown = ShownOptions(command);
        Names documented = {std::string(kHelpOption.option.name)};
        for (const auto& [option, users] : page.takenBy)
            if (users.count(name) == 1)
                documented.insert(option);
        EXPECT_EQ(documented, shown) << "the OPTIONS of kvzip(1) that end naming " << name;
        Names synopsis = page.usage.count(name) ? page.usage.at(name) : Names{};
        synopsis.insert(std::string(kHelpOption.option.name));
        EXPECT_EQ(synopsis, shown) << "the SYNOPSIS of kvzip(1)";
        EXPECT_EQ(UsageOptions(command), shown) << "the Usage: lines of its help";

        ExpectFitsEightyColumns({KVZIP_BINARY, name, "--help"});
    }
    ExpectFitsEightyColumns({KVZIP_BINARY, "--help"});

    const std::string framework = "/usr/share/bash-completion/bash_completion";
    if (!fs::exists(framework))
        GTEST_SKIP() << "bash-completion is not installed: the completion is not checked";
    EXPECT_EQ(Completions(framework, "kvzip "), commands);
    Names programOptions;
    for (const Option* option : ProgramOptions())
        programOptions.emplace(option->name);
    EXPECT_EQ(Completions(framework, "kvzip --"), programOptions);
    for (const Command& command : Commands())
        EXPECT_EQ(Completions(framework, "kvzip " + std::string(command.name) + " --"),
                  ShownOptions(command))
            << command.name;
}

} // namespace
