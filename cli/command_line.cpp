#include "cli/command_line.h"

std::string ParseCommandOptions(const std::vector<std::string>& words, CommandOptions& options) {
    bool operandsOnly = false;
    for (const std::string& word : words) {
        if (operandsOnly || word.empty() || word[0] != '-' || word == "-") {
            options.operands.push_back(word);
        } else if (word == "--") {
            operandsOnly = true;
        } else if (word == "--advanced") {
            options.advanced = true;
        } else if (word == "--json") {
            options.json = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else {
            return "unknown option '" + word + "'";
        }
    }
    return {};
}
