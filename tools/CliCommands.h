#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "CliTypes.h"

// The commands of kavelo-cli. Each takes the words after its name and
// returns an exit code; results go to `out`, errors (one line each) and
// progress to `err`.
namespace kavelo::cli {

struct CliContext {
    const CliOptions& options;
    const CliEnvironment& env;
    std::ostream& out;
    std::ostream& err;
};

// Device commands (CliDeviceCommands.cpp).
int RunInfo(CliContext& ctx, const std::vector<std::string>& args);
int RunScene(CliContext& ctx, const std::vector<std::string>& args);
int RunSource(CliContext& ctx, const std::vector<std::string>& args);
int RunVolume(CliContext& ctx, const std::vector<std::string>& args);
int RunMem(CliContext& ctx, const std::vector<std::string>& args);

// Profiles (CliProfileCommands.cpp).
int RunDump(CliContext& ctx, const std::vector<std::string>& args);
int RunApply(CliContext& ctx, const std::vector<std::string>& args);

// One output's EQ from and to filter lists (CliEqCommands.cpp).
int RunEq(CliContext& ctx, const std::vector<std::string>& args);

// Two setups compared (CliDiffCommand.cpp); 0 equal, 1 different.
int RunDiff(CliContext& ctx, const std::vector<std::string>& args);

// Offline computation (CliResponseCommand.cpp).
int RunResponse(CliContext& ctx, const std::vector<std::string>& args);

// Firmware (CliFirmwareCommands.cpp).
int RunFirmware(CliContext& ctx, const std::vector<std::string>& args);

}  // namespace kavelo::cli
