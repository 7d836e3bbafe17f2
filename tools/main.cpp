// kavelo-cli: the device stack of the tuning application without a window.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "RunCli.h"
#include "base/Log.h"
#include "base/Platform.h"
#include "sim/DemoAmplifier.h"

int main(int argc, char** argv) {
    // A dump is written byte for byte; arguments (file names) arrive as UTF-8.
    kavelo::UseBinaryStandardStreams();
    const std::vector<std::string> args = kavelo::ProgramArguments(argc, argv);
    // Standard output carries the result only (a dump is a file): the log is
    // echoed on standard error when asked, else it goes to save.log alone.
    kavelo::cli::CliOptions options;
    std::string ignored;
    kavelo::cli::ParseGlobalOptions(args, options, ignored);
    kavelo::SetLogConsole(options.logToStderr ? stderr : nullptr);
    kavelo::StartLogIfMarked();
    kavelo::cli::CliEnvironment env;
    env.showProgress = kavelo::IsTerminal(stderr);
    env.portFactory = [](bool demo) -> std::shared_ptr<kavelo::HidPort> {
        if (demo) {
            // The demo amplifier keeps its memory in the application's state
            // file; the port shares its lifetime.
            auto amp = std::make_shared<kavelo::DemoAmplifier>();
            if (!amp->LoadError().empty() && kavelo::PathExists(amp->StatePath())) {
                std::cerr << "kavelo-cli: demo amplifier starts from factory settings ("
                          << amp->LoadError() << ")\n";
            }
            return std::shared_ptr<kavelo::HidPort>(amp, &amp->Amplifier());
        }
        return std::make_shared<kavelo::HidapiPort>();
    };
    const int code = kavelo::cli::RunCli(args, std::cout, std::cerr, env);
    std::cout.flush();
    kavelo::LogShutdown();
    return code;
}
