// What kvzip's commands take, declared once: the parser reads their options
// from here, the help texts are printed from here, and a test holds the
// manual page and the shell completion to it. A new option is a row in
// cli/command_table.cpp.
#pragma once

#include "cli/command_line.h"

#include <span>
#include <string_view>

// An option as the parser reads it, the same in every command that takes it.
struct Option {
    char letter = 0;             // its short form ("-j"), or 0
    std::string_view name;       // its long form, "--jobs"
    std::string_view argument{}; // what its value is called ("N"); empty: a switch
    // Where it goes: the value of an option that takes one, else the flag a
    // switch sets to `flagValue`.
    std::string CommandOptions::*value = nullptr;
    bool CommandOptions::*flag = nullptr;
    bool flagValue = true;

    // "-j, --jobs N", as the help shows it.
    std::string Label() const;
    // Whether `word` is the option, in its long or its short form.
    bool Is(std::string_view word) const;
};

// An option as one command takes it, with the help that command prints for
// it (lines joined by '\n'). An option without help is taken but not shown.
struct CommandOption {
    const Option& option;
    std::string_view help;
};

enum class CommandId { list, extract, check, analyse, repair };

struct Command {
    CommandId id;
    std::string_view name;
    std::string_view alias{}; // another name it answers to, or empty
    // What follows the name in `kvzip --help`, and the lines it gets there.
    std::string_view synopsis;
    std::string_view summary;
    // `kvzip NAME --help`: the usage and what the command does, then its
    // options with their help from `helpColumn` on, then the closing text.
    std::string_view usage;
    std::size_t helpColumn;
    std::span<const CommandOption> options;
    std::string_view closing;

    // The option `name` ("--jobs") as this command takes it, or null.
    const CommandOption* Find(std::string_view name) const;
};

// What `kvzip --help` prints around the list of commands.
struct ProgramHelp {
    std::string_view usage;
    std::string_view closing;
};

// Printed by every command, and not an option of any: the parser knows it.
extern const CommandOption kHelpOption;
// What kvzip takes before a command word.
extern const Option kNameEncodingOption;
extern const Option kVersionOption;
std::span<const Option* const> ProgramOptions();

std::span<const Command> Commands();
const ProgramHelp& Program();

// The command called `name` (or by its alias), or null.
const Command* FindCommand(std::string_view name);
// The option that the letter stands for in any command ("-q" in a command
// without --quiet is refused as --quiet), or null.
const Option* OptionByLetter(char letter);
