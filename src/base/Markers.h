#pragma once

#include <string>

namespace kavelo {

inline constexpr char MARKER_SAVELOG[] = "savelog.ini";
inline constexpr char MARKER_DEBUG[] = "debug.ini";
inline constexpr char MARKER_NO_FORCE_UPDATE[] = "noForceUpdate.ini";

// True when a file or directory of exactly this name exists in the current
// working directory at the moment of the call. The content is never read.
bool MarkerFileExists(const std::string& name);

}  // namespace kavelo
