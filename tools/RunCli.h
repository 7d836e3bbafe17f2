#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "CliTypes.h"

// kavelo-cli as a library function, so that tests run it in-process.
namespace kavelo::cli {

// `args` are the words after the program name. Returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env);
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const PortFactory& portFactory);

}  // namespace kavelo::cli
