#include "base/ProgramInfo.h"

#include "base/BuildConstants.h"

namespace kavelo {

std::string VersionText(const char* program) {
    // The build constant carries a leading "v"; version lines give the bare number.
    const char* number = VERSION[0] == 'v' ? VERSION + 1 : VERSION;
    return std::string(program) + " (" + PACKAGE_NAME + ") " + number + "\nFor the " +
           MODEL_NAME + " amplifier, firmware " + std::to_string(INNER_FW.major) + "." +
           std::to_string(INNER_FW.minor) + ".\n";
}

}  // namespace kavelo
