#include "RunCli.h"

#include <map>

#include "CliArgs.h"
#include "CliCommands.h"
#include "CliUsage.h"
#include "base/ProgramInfo.h"

namespace kavelo::cli {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env) {
    CliOptions options;
    std::string error;
    switch (ParseGlobalOptions(args, options, error)) {
        case GlobalParse::Help:
            out << UsageText();
            return kExitOk;
        case GlobalParse::Version:
            out << VersionText("kavelo-cli");
            return kExitOk;
        case GlobalParse::Error:
            return Fail(err, kExitUsage, error + " (see kavelo-cli --help)");
        case GlobalParse::Run:
            break;
    }
    using Command = int (*)(CliContext&, const std::vector<std::string>&);
    static const std::map<std::string, Command> kCommands = {
        {"info", RunInfo},         {"dump", RunDump},     {"apply", RunApply},
        {"scene", RunScene},       {"source", RunSource}, {"volume", RunVolume},
        {"response", RunResponse}, {"fw", RunFirmware},   {"mem", RunMem},
        {"eq", RunEq},             {"diff", RunDiff},
    };
    const auto it = kCommands.find(options.command[0]);
    if (it == kCommands.end()) {
        return Fail(err, kExitUsage,
                    "unknown command " + options.command[0] + " (see kavelo-cli --help)");
    }
    CliContext ctx{options, env, out, err};
    const std::vector<std::string> rest(options.command.begin() + 1, options.command.end());
    return it->second(ctx, rest);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const PortFactory& portFactory) {
    CliEnvironment env;
    env.portFactory = portFactory;
    return RunCli(args, out, err, env);
}

}  // namespace kavelo::cli
