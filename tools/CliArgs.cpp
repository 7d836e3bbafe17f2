#include "CliArgs.h"

#include <cerrno>
#include <cstdlib>

namespace kavelo::cli {

GlobalParse ParseGlobalOptions(const std::vector<std::string>& args, CliOptions& options,
                               std::string& error) {
    std::size_t i = 0;
    bool deviceChosen = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") return GlobalParse::Help;
        if (a == "--version") return GlobalParse::Version;
        if (a == "--demo" || a == "--device") {
            const bool demo = a == "--demo";
            if (deviceChosen && options.demo != demo) {
                error = "--demo and --device exclude each other";
                return GlobalParse::Error;
            }
            deviceChosen = true;
            options.demo = demo;
        } else if (a == "--trace") {
            options.trace = true;
        } else if (a == "--log") {
            options.logToStderr = true;
        } else if (a == "--timeout") {
            if (i + 1 >= args.size() ||
                !ParseIntInRange(args[i + 1], 1, 600000, options.replyTimeoutMs)) {
                error = "--timeout needs a number of milliseconds (1 ... 600000)";
                return GlobalParse::Error;
            }
            ++i;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return GlobalParse::Error;
        } else {
            break;
        }
    }
    options.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (options.command.empty()) {
        error = "no command given";
        return GlobalParse::Error;
    }
    if (options.command[0] == "help") return GlobalParse::Help;
    return GlobalParse::Run;
}

const std::string* CommandArgs::Value(const std::string& option) const {
    const auto it = values.find(option);
    return it == values.end() ? nullptr : &it->second;
}

bool ParseCommandArgs(const std::vector<std::string>& words,
                      const std::set<std::string>& valueOptions,
                      const std::set<std::string>& flagOptions, std::size_t minPositional,
                      std::size_t maxPositional, CommandArgs& out, std::string& error) {
    out = CommandArgs{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        // "-" alone is a positional (standard output or input), as is a
        // negative-looking number such as a value.
        const bool option = w.size() > 1 && w[0] == '-' && !(w[1] >= '0' && w[1] <= '9');
        if (!option) {
            out.positional.push_back(w);
        } else if (valueOptions.count(w)) {
            if (i + 1 >= words.size()) {
                error = w + " needs a value";
                return false;
            }
            out.values[w] = words[++i];
        } else if (flagOptions.count(w)) {
            out.flags.insert(w);
        } else {
            error = "unknown option " + w;
            return false;
        }
    }
    if (out.positional.size() < minPositional) {
        error = "missing argument";
        return false;
    }
    if (out.positional.size() > maxPositional) {
        error = "unexpected argument " + out.positional[maxPositional];
        return false;
    }
    return true;
}

bool ParseIntInRange(const std::string& text, int min, int max, int& out) {
    if (text.empty() || text.size() > 12) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!(c >= '0' && c <= '9') && !(i == 0 && c == '-' && text.size() > 1)) return false;
    }
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || value < min || value > max) return false;
    out = static_cast<int>(value);
    return true;
}

}  // namespace kavelo::cli
