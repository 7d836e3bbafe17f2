// kavelo-cli: the device stack of the tuning application without a window.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "RunCli.h"
#include "app/Log.h"
#include "sim/VirtualAmplifier.h"

int main(int argc, char** argv) {
    kavelo::StartLogIfMarked();
    kavelo::cli::CliEnvironment env;
    env.showProgress = isatty(STDERR_FILENO) == 1;
    env.portFactory = [](bool demo) -> std::shared_ptr<kavelo::HidPort> {
        if (demo) return std::make_shared<kavelo::VirtualAmplifier>();
        return std::make_shared<kavelo::HidapiPort>();
    };
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int code = kavelo::cli::RunCli(args, std::cout, std::cerr, env);
    std::cout.flush();
    kavelo::LogShutdown();
    return code;
}
