#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device/HidPort.h"
#include "device/LinkClock.h"

// What every part of kavelo-cli shares: exit codes, the environment a run
// gets from its caller and the options of the command line.
namespace kavelo::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,
    kExitDevice = 2,   // no amplifier, or it does not answer
    kExitInput = 3,    // a file or the amplifier's model is refused
    kExitRefused = 4,  // the amplifier refused or did not apply a request
};

// Builds the port a run talks through: the virtual amplifier for --demo,
// otherwise the real one. Shared so that tests keep their amplifier.
using PortFactory = std::function<std::shared_ptr<HidPort>(bool demo)>;

struct CliEnvironment {
    PortFactory portFactory;
    // The link's clock; null for the real one. Tests pass one whose sleeps
    // return at once.
    LinkClock* clock = nullptr;
    // Progress lines go to the error stream (only useful on a terminal).
    bool showProgress = false;
};

struct CliOptions {
    bool demo = false;
    bool trace = false;
    // Echo the diagnostic log on standard error (it always goes to save.log
    // when the marker file is present; never to standard output).
    bool logToStderr = false;
    // Longest wait for one reply in ms; 0 keeps the amplifier's own time-outs.
    int replyTimeoutMs = 0;
    std::vector<std::string> command;  // the command and its arguments
};

// Prints "kavelo-cli: <message>" as one line on `err` and returns `code`.
int Fail(std::ostream& err, int code, const std::string& message);

}  // namespace kavelo::cli
