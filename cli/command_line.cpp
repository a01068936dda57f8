#include "cli/command_line.h"

#include "cli/command_table.h"
#include "engine/entry_name.h"

#include <algorithm>
#include <cstdio>

namespace {

bool ParseJobs(const std::string& text, unsigned& jobs) {
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    jobs = static_cast<unsigned>(std::stoul(text));
    return jobs >= 1 && jobs <= kMaxJobs;
}

// "  LABEL  help", the help from `column` on, its further lines below it; a
// label too wide for the column gets a line of its own.
void AppendHelpLines(std::string& text, std::string_view label, std::string_view help,
                     std::size_t column) {
    std::string line = "  " + std::string(label);
    if (line.size() + 1 > column) {
        text += line + "\n";
        line.clear();
    }
    for (std::size_t start = 0; start <= help.size();) {
        const std::size_t end = std::min(help.find('\n', start), help.size());
        line.resize(column, ' ');
        text += line;
        text.append(help.substr(start, end - start));
        text += "\n";
        line.clear();
        start = end + 1;
    }
}

} // namespace

std::string ParseCommandOptions(const std::vector<std::string>& words, const Command& command,
                                CommandOptions& options) {
    bool operandsOnly = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (operandsOnly || word.empty() || word[0] != '-' || word == "-") {
            options.operands.push_back(word);
            continue;
        }
        if (word == "--") {
            operandsOnly = true;
            continue;
        }
        if (kHelpOption.option.Is(word)) {
            options.help = true;
            continue;
        }
        std::string name = word;
        std::string value;
        bool hasValue = false;
        if (word.size() >= 2 && word[1] != '-') {
            const Option* byLetter = OptionByLetter(word[1]);
            if (byLetter == nullptr)
                return "unknown option '" + word.substr(0, 2) + "'";
            name = byLetter->name;
            // "-j2": the value follows the letter.
            if (word.size() > 2) {
                value = word.substr(2);
                hasValue = true;
            }
        } else if (const std::size_t equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
            hasValue = true;
        }
        const CommandOption* taken = command.Find(name);
        if (taken == nullptr)
            return "unknown option '" + name + "'";
        const Option& option = taken->option;
        if (option.value != nullptr) {
            if (!hasValue) {
                if (i + 1 >= words.size())
                    return "option '" + name + "' needs a value";
                value = words[++i];
            }
            options.*option.value = value;
        } else if (hasValue) {
            return "option '" + name + "' takes no value";
        } else {
            options.*option.flag = option.flagValue;
        }
    }
    if (!options.jobs.empty() && !ParseJobs(options.jobs, options.jobCount))
        return "--jobs takes a number from 1 to " + std::to_string(kMaxJobs);
    if (!options.nameEncoding.empty() && !SetNameEncoding(options.nameEncoding))
        return "unknown name encoding '" + options.nameEncoding + "' (see iconv --list)";
    return {};
}

std::optional<int> RefuseUsage(const Command& command, const std::string& error) {
    if (error.empty())
        return std::nullopt;
    const std::string name(command.name);
    std::fprintf(stderr, "kvzip %s: %s\nTry 'kvzip %s --help' for more information.\n",
                 name.c_str(), error.c_str(), name.c_str());
    return exitUsage;
}

std::optional<int> EndBeforeTheWork(const Command& command, const CommandOptions& options,
                                    const std::string& usageError) {
    if (options.help) {
        std::fputs(CommandHelp(command).c_str(), stdout);
        return exitOk;
    }
    return RefuseUsage(command, usageError);
}

std::string CommandHelp(const Command& command) {
    std::string text(command.usage);
    for (const CommandOption& taken : command.options)
        if (!taken.help.empty())
            AppendHelpLines(text, taken.option.Label(), taken.help, command.helpColumn);
    // Its -h goes without saying.
    AppendHelpLines(text, kHelpOption.option.name, kHelpOption.help, command.helpColumn);
    return text.append(command.closing);
}

std::string ProgramHelpText() {
    // The column where the commands' summaries begin.
    constexpr std::size_t kSummaryColumn = 34;
    std::string text(Program().usage);
    for (const Command& command : Commands())
        AppendHelpLines(text, std::string(command.name) + " " + std::string(command.synopsis),
                        command.summary, kSummaryColumn);
    return text.append(Program().closing);
}
