#pragma once

#include <ostream>
#include <string>

#include "control/ProfileFiles.h"

// Reading profile files for kavelo-cli with one clear line per refusal.
namespace kavelo::cli {

// True for a name ending in ".wpf" (any case).
bool IsWholeProfilePath(const std::string& path);

// Reads a scene or whole profile; on refusal prints why and returns the exit
// code (3), otherwise 0.
int LoadSceneProfile(const std::string& path, DspState& state, std::ostream& err);
int LoadWholeProfile(const std::string& path, WholeProfile& whole, std::ostream& err);

}  // namespace kavelo::cli
