#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "CliTypes.h"

// Command-line parsing: the global options before the command, then each
// command's own positional arguments and options.
namespace kavelo::cli {

enum class GlobalParse { Run, Help, Version, Error };

// Reads --demo, --device, --trace, --log, --timeout MS, -h/--help and --version
// up to the first
// word that is not an option; the rest is the command.
GlobalParse ParseGlobalOptions(const std::vector<std::string>& args, CliOptions& options,
                               std::string& error);

struct CommandArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // options that take a value
    std::set<std::string> flags;                // options without a value

    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
    const std::string* Value(const std::string& option) const;
};

// Splits a command's words. `valueOptions` take the next word as their value,
// `flagOptions` stand alone; any other word starting with "-" is an error, as
// is a count of positional arguments outside [minPositional, maxPositional].
bool ParseCommandArgs(const std::vector<std::string>& words,
                      const std::set<std::string>& valueOptions,
                      const std::set<std::string>& flagOptions, std::size_t minPositional,
                      std::size_t maxPositional, CommandArgs& out, std::string& error);

// A whole decimal number in [min, max], nothing else around it.
bool ParseIntInRange(const std::string& text, int min, int max, int& out);

}  // namespace kavelo::cli
