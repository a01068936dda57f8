#include "cli/command_line.h"

#include "engine/entry_name.h"

#include <algorithm>
#include <cstdio>

namespace {

// The options that take a value, and where it goes.
std::string* ValueSlot(const std::string& name, CommandOptions& options) {
    if (name == "--dest")
        return &options.dest;
    if (name == "--current")
        return &options.current;
    if (name == "--overwrite")
        return &options.overwrite;
    if (name == "--log")
        return &options.log;
    if (name == "--name-encoding")
        return &options.nameEncoding;
    if (name == "--jobs")
        return &options.jobs;
    if (name == "--password-file")
        return &options.passwordFile;
    return nullptr;
}

bool ParseJobs(const std::string& text, unsigned& jobs) {
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    jobs = static_cast<unsigned>(std::stoul(text));
    return jobs >= 1 && jobs <= kMaxJobs;
}

} // namespace

std::string ParseCommandOptions(const std::vector<std::string>& words,
                                std::initializer_list<std::string_view> allowed,
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
        if (word == "--help" || word == "-h") {
            options.help = true;
            continue;
        }
        std::string name = word;
        std::string value;
        bool hasValue = false;
        if (const std::size_t equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
            hasValue = true;
        }
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            return "unknown option '" + name + "'";
        options.given.push_back(name);
        if (std::string* slot = ValueSlot(name, options)) {
            if (!hasValue) {
                if (i + 1 >= words.size())
                    return "option '" + name + "' needs a value";
                value = words[++i];
            }
            *slot = value;
        } else if (hasValue) {
            return "option '" + name + "' takes no value";
        } else if (name == "--advanced") {
            options.advanced = true;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--keep-links-as-files") {
            options.keepLinksAsFiles = true;
        }
    }
    if (!options.jobs.empty() && !ParseJobs(options.jobs, options.jobCount))
        return "--jobs takes a number from 1 to " + std::to_string(kMaxJobs);
    if (!options.nameEncoding.empty() && !SetNameEncoding(options.nameEncoding))
        return "unknown name encoding '" + options.nameEncoding + "' (see iconv --list)";
    return {};
}

std::optional<int> RefuseUsage(const char* command, const std::string& error, const char* usage) {
    if (error.empty())
        return std::nullopt;
    std::fprintf(stderr, "kvzip %s: %s\n%s", command, error.c_str(), usage != nullptr ? usage : "");
    return exitUsage;
}

std::optional<int> EndBeforeTheWork(const char* command, const CommandOptions& options,
                                    const std::string& usageError, const char* usage) {
    if (options.help) {
        std::fputs(usage, stdout);
        return exitOk;
    }
    return RefuseUsage(command, usageError, usage);
}
